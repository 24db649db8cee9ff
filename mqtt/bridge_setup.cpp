// SPDX-License-Identifier: MIT
#include "bridge_setup.hpp"

#include <algorithm>
#include <cctype>

namespace tavik::mqtt {

std::optional<BrokerAddress> parseBrokerUrl(std::string_view url) {
    BrokerAddress address;
    if (url.substr(0, 7) == "mqtt://") {
        url.remove_prefix(7);
    } else if (url.substr(0, 8) == "mqtts://") {
        url.remove_prefix(8);
        address.tls = true;
        address.port = 8883;
    } else {
        return std::nullopt;
    }
    if (!url.empty() && url.back() == '/') {
        url.remove_suffix(1);
    }
    std::string_view port;
    if (!url.empty() && url.front() == '[') {
        const auto close = url.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        address.host = url.substr(1, close - 1);
        const std::string_view rest = url.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return std::nullopt;
        }
        port = rest.empty() ? rest : rest.substr(1);
        if (!rest.empty() && port.empty()) {
            return std::nullopt;
        }
    } else {
        const auto colon = url.find(':');
        address.host = url.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = url.substr(colon + 1);
            if (port.empty()) {
                return std::nullopt;
            }
        }
    }
    const auto hostChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' ||
               c == '_' || c == ':';
    };
    if (address.host.empty() || !std::all_of(address.host.begin(), address.host.end(), hostChar)) {
        return std::nullopt;
    }
    if (!port.empty()) {
        if (port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        address.port = std::stoi(std::string(port));
        if (address.port < 1 || address.port > 65535) {
            return std::nullopt;
        }
    }
    return address;
}

bool isRoomName(std::string_view name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}

std::string defaultRoom(std::string_view hostName) {
    const std::string_view label = hostName.substr(0, hostName.find('.'));
    return isRoomName(label) ? std::string(label) : std::string();
}

std::filesystem::path stateDirectory(
    const std::function<std::optional<std::string>(const char*)>& environment) {
    const auto set = [&](const char* name) {
        std::optional<std::string> value = environment(name);
        return value && !value->empty() ? value : std::nullopt;
    };
    if (const auto systemd = set("STATE_DIRECTORY")) {
        return systemd->substr(0, systemd->find(':'));
    }
    if (const auto xdg = set("XDG_STATE_HOME")) {
        return std::filesystem::path(*xdg) / "tavik";
    }
    if (const auto local = set("LOCALAPPDATA")) {
        return std::filesystem::path(*local) / "tavik";
    }
    if (const auto home = set("HOME")) {
        return std::filesystem::path(*home) / ".local" / "state" / "tavik";
    }
    return {};
}

}  // namespace tavik::mqtt
