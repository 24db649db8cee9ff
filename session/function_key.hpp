// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace tavik {

// The five functions that the window has a button for.
enum class FunctionKey { kKeyUp, kKeyDown, kStart, kStop, kClear };

// The command text that sends `key`, as the encoder knows it.
constexpr std::string_view functionName(FunctionKey key) {
    switch (key) {
        case FunctionKey::kKeyUp:
            return "KU";
        case FunctionKey::kKeyDown:
            return "KD";
        case FunctionKey::kStart:
            return "ST";
        case FunctionKey::kStop:
            return "SP";
        case FunctionKey::kClear:
            return "CL";
    }
    return {};
}

}  // namespace tavik
