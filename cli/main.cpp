// SPDX-License-Identifier: MIT
#include <iostream>
#include <string>
#include <vector>

#include "cli_app.hpp"
#include "console.hpp"
#include "platform_hid.hpp"

int main(int argc, char** argv) {
    tavik::cli::prepareStandardStreams();
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args = tavik::cli::programArguments(argc, argv);
    const auto backend = tavik::createPlatformHidBackend();
    return tavik::cli::runCli(args, std::cin, std::cout, std::cerr, backend.get());
}
