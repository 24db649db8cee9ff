// SPDX-License-Identifier: MIT
// tavik-mqtt: the MQTT bridge, which `tavik-cli mqtt` runs.
#include <iostream>
#include <string>
#include <vector>

#include "console.hpp"
#include "mqtt_command.hpp"
#include "platform_hid.hpp"

int main(int argc, char** argv) {
    tavik::cli::prepareStandardStreams();
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args = tavik::cli::programArguments(argc, argv);
    args.front() = "tavik-cli mqtt";
    const auto backend = tavik::createPlatformHidBackend();
    return tavik::cli::runMqttBridge(args, std::cout, std::cerr, backend.get());
}
