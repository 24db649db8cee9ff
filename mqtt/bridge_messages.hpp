// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

// What the broker's senders are told of a command that was not sent, besides the session's own
// lines; UTF-8, as the log shows them.
namespace tavik::mqtt::messages {

inline constexpr std::string_view kBadPayload = "コマンドの形式が正しくありません。";
inline constexpr std::string_view kTooLong = "コマンドが長すぎます。";
inline constexpr std::string_view kRetained = "保持メッセージのコマンドは送りません。";
inline constexpr std::string_view kDuplicate = "同じ ID のコマンドは送信済みです。";
inline constexpr std::string_view kExpired = "古いコマンドのため送りませんでした。";
inline constexpr std::string_view kBusy =
    "送信が混み合っています。少し待ってから送り直してください。";
inline constexpr std::string_view kStopped = "ブリッジが終了したため送りませんでした。";
inline constexpr std::string_view kNotRecorded = "ID を記録できないため送りませんでした。";

}  // namespace tavik::mqtt::messages
