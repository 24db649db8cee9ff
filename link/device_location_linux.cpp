// SPDX-License-Identifier: MIT
// hidraw nodes: sysfs links each node to its HID device, whose parent is the USB interface
// named "BUS-PORT[.PORT...]:CONFIG.INTERFACE".
#include <filesystem>

#include "device_location.hpp"

namespace tavik {

std::string deviceLocation(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path node = fs::path(path).filename();
    const fs::path hid = fs::canonical(fs::path("/sys/class/hidraw") / node / "device", error);
    if (error) {
        return {};
    }
    const std::string interface = hid.parent_path().filename().string();
    const std::size_t colon = interface.find(':');
    if (colon == std::string::npos || colon == 0) {
        return {};
    }
    return "usb " + interface.substr(0, colon);
}

std::string deviceNode(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (const fs::path& candidate : {fs::path(name), fs::path("/dev") / name}) {
        if (fs::exists(candidate, error)) {
            return fs::canonical(candidate, error).string();
        }
    }
    return {};
}

}  // namespace tavik
