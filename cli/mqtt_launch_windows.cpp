// SPDX-License-Identifier: MIT
#include "mqtt_command.hpp"

namespace tavik::cli {

// Built in: Windows' libmosquitto is built without TLS, so it costs no other start anything.
int launchMqttBridge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     HidBackend* backend) {
    return runMqttBridge(args, out, err, backend);
}

}  // namespace tavik::cli
