// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "code_packet.hpp"
#include "system_id.hpp"

namespace tavik {

inline constexpr std::int32_t kBadSongNumber = -2;  // character not allowed, key missing, too long
inline constexpr std::int32_t kBadFunction = -3;    // unknown function name or function missing

// The encoder with its one lasting effect: the confirm (SE) code of ALISA3 (No->Op), which a call
// for that system with a number 0..4 rewrites for every later call. One encoder belongs to one
// send session; it is used by one thread at a time.
class Encoder {
  public:
    // Encodes `text` (zero-terminated; a function name or a song number) for `system` with system
    // number `number` (-1 when none) into `packet`, in place, without allocating. Returns the
    // element count w (5..16), also stored in packet.count, or kBadSongNumber / kBadFunction;
    // after a negative result the elements are meaningless. Never writes past the packet's 16
    // elements.
    std::int32_t encodeCommand(CodePacket& packet, SystemId system, std::int32_t number,
                               const char* text);

  private:
    std::int32_t m_alisaConfirmCode = kInitialAlisaConfirmCode;

    static constexpr std::int32_t kInitialAlisaConfirmCode = 0x12;
};

}  // namespace tavik
