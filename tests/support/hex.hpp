// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "code_packet.hpp"

namespace tavik::test {

// "80 39 2E" -> {0x80, 0x39, 0x2E}
inline std::vector<std::int32_t> parseHex(const std::string& text) {
    std::vector<std::int32_t> values;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        values.push_back(static_cast<std::int32_t>(std::stoul(item, nullptr, 16)));
    }
    return values;
}

// The low bytes of elements 0..count-1.
inline std::vector<std::int32_t> packetBytes(const CodePacket& packet) {
    std::vector<std::int32_t> bytes;
    for (int i = 0; i < packet.count; ++i) {
        bytes.push_back(packet.elements[static_cast<std::size_t>(i)] & 0xFF);
    }
    return bytes;
}

}  // namespace tavik::test
