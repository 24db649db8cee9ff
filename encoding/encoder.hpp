#pragma once

#include <cstdint>

#include "code_packet.hpp"
#include "system_id.hpp"

namespace tavik {

inline constexpr std::int32_t kBadSongNumber = -2;  // character not allowed, key missing, too long
inline constexpr std::int32_t kBadFunction = -3;    // unknown function name or function missing

// Encodes `text` (zero-terminated; a function name or a song number) for `system` with system
// number `number` (-1 when none) into `packet`, in place, without allocating. Returns the element
// count w (5..16), also stored in packet.count, or kBadSongNumber / kBadFunction; after a negative
// result the elements are meaningless. Never writes past the packet's 16 elements. Calls for
// ALISA3 (No->Op) with a number 0..4 change that system's confirm code for later calls.
std::int32_t encodeCommand(CodePacket& packet, SystemId system, std::int32_t number,
                           const char* text);

}  // namespace tavik
