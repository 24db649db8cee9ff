// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

#include "system_id.hpp"

namespace tavik {

// Columns of a MakerCodes row.
enum CodeColumn : int {
    kH1 = 0,  // header class; the encoder ORs the packet length into its low bits
    kH2,      // first address byte
    kH3,      // second address byte
    kSE,      // confirm; also the trailer after a song number
    kKU,      // key up
    kKD,      // key down
    kSP,      // stop
    kST,      // start
    kCL,      // clear
    kD0,      // d0..d9 follow in order
    kA = kD0 + 10,
    kB,
    kColumnCount
};

inline constexpr std::int32_t kNoCode = -1;

// The transmitter codes of one system; kNoCode where the system lacks the key.
using MakerCodes = std::array<std::int32_t, kColumnCount>;

// Value of a column for a valid SystemId, as the table has it. Row 12's SE is only its initial
// value: the encoder that rewrites it keeps the current one.
std::int32_t codeOf(SystemId id, int column);

// Code of digit `digit` (0..9) for a valid SystemId; kNoCode for any other digit value.
std::int32_t digitCode(SystemId id, int digit);

// TOEI system number 1..8 and Tetsujin system number 0..9 to their codes; kNoCode outside.
std::int32_t toeiNumberCode(std::int32_t number);
std::int32_t tetsujinNumberCode(std::int32_t number);

}  // namespace tavik
