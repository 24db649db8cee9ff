// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

// The program's user-visible lines, UTF-8. Shared by the window, the link and tavik-cli so that
// every front end says the same thing.
namespace tavik::messages {

inline constexpr std::string_view kUnknownSystem = "システム指定が間違っています。";
inline constexpr std::string_view kUnknownNumber = "メーカー選択が間違っています。";
inline constexpr std::string_view kEncodingFailed =
    "曲番号が間違っているか、非対応の機能キーです。";
inline constexpr std::string_view kDeviceNotFound = "デバイスが見付かりません。";
inline constexpr std::string_view kReceiveFailed = "デバイスからの受信に失敗しました。";
inline constexpr std::string_view kSendFailed = "デバイスへの送信に失敗しました。";

}  // namespace tavik::messages
