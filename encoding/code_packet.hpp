// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

namespace tavik {

inline constexpr int kPacketCapacity = 16;

// Element 0 is 0x80 and never sent; element 1 is the header with the number of following
// elements in its low four bits. Only the low eight bits of an element are sent.
struct CodePacket {
    std::array<std::int32_t, kPacketCapacity> elements{};
    std::int32_t count = 0;  // w: elements in use, or the encoder's negative result
};

}  // namespace tavik
