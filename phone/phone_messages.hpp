// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

// What the web remote tells a phone, besides the send's own log lines.
namespace tavik::phone::messages {

inline constexpr std::string_view kWrongToken =
    "接続用のリンクが違います。パソコンに表示された QR コードを読み取り直してください。";
inline constexpr std::string_view kTooManyWrongTokens =
    "違うリンクでの接続が続いたため、しばらく受け付けません。";
inline constexpr std::string_view kTooManySends =
    "送信が混み合っています。少し待ってから送り直してください。";
inline constexpr std::string_view kForbidden = "このページからは操作できません。";
inline constexpr std::string_view kBadRequest = "要求が正しくありません。";
inline constexpr std::string_view kNotFound = "ページが見付かりません。";
inline constexpr std::string_view kStopped = "リモコンの受付は終了しました。";
// Followed by the system's name (and number) and " だけです。".
inline constexpr std::string_view kOnlySystem = "このパーティーで送れるのは ";

// The window's log lines about serving; they never show the link, which holds the token.
inline constexpr std::string_view kServingStarted = "スマホからの操作を受け付けています。";
inline constexpr std::string_view kServingStopped = "スマホからの操作の受付を終了しました。";
inline constexpr std::string_view kCannotServe = "スマホからの操作を受け付けられません";
// When the port asked for is taken and another one serves: a firewall rule for the first does not
// cover the second.
inline std::string portTakenNote(int asked, int taken) {
    // Short enough for one line of the window's log.
    return "ポート " + std::to_string(asked) + " は使用中のため " + std::to_string(taken) +
           " で受付中です。";
}
// Escape while serving: it would end every guest's link without a word.
// Short enough for one line of the window's log.
inline constexpr std::string_view kEscapeWhileServing =
    "スマホの受付中は Esc で閉じません。× で閉じます。";

}  // namespace tavik::phone::messages
