// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

// The lines that refuse a command, UTF-8; every front end says the same thing.
namespace tavik::messages {

inline constexpr std::string_view kUnknownSystem = "システム指定が間違っています。";
inline constexpr std::string_view kUnknownNumber = "メーカー選択が間違っています。";
inline constexpr std::string_view kEncodingFailed =
    "曲番号が間違っているか、非対応の機能キーです。";

}  // namespace tavik::messages
