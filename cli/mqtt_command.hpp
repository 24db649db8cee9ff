// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tavik {
class HidBackend;
}

namespace tavik::cli {

// `tavik-cli mqtt`: the room's commands from an MQTT broker (and, with --listen, from phones)
// until SIGINT or SIGTERM. `args` are the options, the program's name first. Log lines on
// `out`; 0 after a stop by signal, 2 when it cannot start or serve (a bad option, the login
// refused, the room served by another bridge).
int runMqttBridge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  HidBackend* backend);

// How tavik-cli reaches it: in this process where the bridge is built in, else the program that
// holds it (which keeps its TLS library out of every other start).
int launchMqttBridge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     HidBackend* backend);

}  // namespace tavik::cli
