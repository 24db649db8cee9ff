// SPDX-License-Identifier: MIT
// Platforms whose HID paths say nothing about the port.
#include "device_location.hpp"

namespace tavik {

std::string deviceLocation(const std::string&) {
    return {};
}

std::string deviceNode(const std::string& name) {
    return name;
}

}  // namespace tavik
