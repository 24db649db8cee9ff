// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace tavik {

// Row index of the catalogue and of the code tables: 0..17.
using SystemId = std::int32_t;

inline constexpr SystemId kSystemCount = 18;

// The systems the encoder treats specially, by their catalogue row.
namespace systems {
inline constexpr SystemId kX2000 = 0;
inline constexpr SystemId kUkara = 1;
inline constexpr SystemId kGiga = 2;
inline constexpr SystemId kSegaKara = 6;
inline constexpr SystemId kDam = 7;
inline constexpr SystemId kBkara = 10;
inline constexpr SystemId kMac21 = 11;
inline constexpr SystemId kAlisaNoOp = 12;
inline constexpr SystemId kAlisaMkNo = 13;
inline constexpr SystemId kAlisaOpNo = 14;
inline constexpr SystemId kToei = 15;
inline constexpr SystemId kSigma = 16;
inline constexpr SystemId kTetsujin = 17;
}  // namespace systems

constexpr bool isValidSystemId(SystemId id) {
    return id >= 0 && id < kSystemCount;
}

}  // namespace tavik
