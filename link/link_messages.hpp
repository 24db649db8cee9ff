// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

// The link's lines for the log, UTF-8; every front end shows them as they are.
namespace tavik::messages {

inline constexpr std::string_view kDeviceNotFound = "デバイスが見付かりません。";
inline constexpr std::string_view kReceiveFailed = "デバイスからの受信に失敗しました。";
inline constexpr std::string_view kSendFailed = "デバイスへの送信に失敗しました。";

}  // namespace tavik::messages
