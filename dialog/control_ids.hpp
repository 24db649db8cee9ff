// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include "function_key.hpp"

// Identifiers of the main dialog's controls and commands, the same in both windows.
namespace tavik::ids {

inline constexpr int kSend = 1000;
inline constexpr int kKeyUp = 1001;
inline constexpr int kKeyDown = 1002;
inline constexpr int kStart = 1003;
inline constexpr int kStop = 1004;
inline constexpr int kClear = 1005;
inline constexpr int kSystemSelector = 1006;
inline constexpr int kNumberSelector = 1007;
inline constexpr int kCommandField = 1008;
inline constexpr int kLogList = 1010;

inline constexpr int kAboutOk = 1;        // the About box's OK button
inline constexpr int kAboutCommand = 16;  // the About item of the window menu

// The function that a button sends; none for SEND and for every other control.
constexpr std::optional<FunctionKey> functionOfButton(int id) {
    switch (id) {
        case kKeyUp:
            return FunctionKey::kKeyUp;
        case kKeyDown:
            return FunctionKey::kKeyDown;
        case kStart:
            return FunctionKey::kStart;
        case kStop:
            return FunctionKey::kStop;
        case kClear:
            return FunctionKey::kClear;
        default:
            return std::nullopt;
    }
}

}  // namespace tavik::ids
