// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tavik::mqtt {

struct BrokerAddress {
    std::string host;
    int port = 1883;
    bool tls = false;
};

// "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]" (an IPv6 address in brackets); nullopt when it
// is not that. The port defaults to 1883, or 8883 with TLS.
std::optional<BrokerAddress> parseBrokerUrl(std::string_view url);

// A room's name is part of its topics and of the client id: ASCII letters, digits, '-' and '_',
// 1 to 64 of them.
bool isRoomName(std::string_view name);

// The room a box serves by default: its host name's first label, or empty when that is no room
// name.
std::string defaultRoom(std::string_view hostName);

// Where the bridge keeps what must survive a restart: $STATE_DIRECTORY (systemd's, its first
// entry), else $XDG_STATE_HOME/tavik, else %LOCALAPPDATA%\tavik (Windows), else
// ~/.local/state/tavik; empty when none is known. `environment` reads a variable (nullopt when
// unset).
std::filesystem::path stateDirectory(
    const std::function<std::optional<std::string>(const char*)>& environment);

}  // namespace tavik::mqtt
