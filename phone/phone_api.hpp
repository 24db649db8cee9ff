// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "command_line.hpp"
#include "send_session.hpp"

namespace tavik::phone {

// The phones' API as JSON, apart from HTTP: the systems a page may offer, a send's request and
// its answer.

// Refuses a system other than the one fixed: "このパーティーで送れるのは TOEI システム 3
// だけです。"
std::string onlySystemMessage(const SystemSelection& fixed);

// GET /api/systems: every system with its numbers, or only the one phones may send to. With
// every system, the host's own selection, when given, carries "current": its number or null,
// so that a page first offers what the host's window shows.
std::string catalogueJson(const std::optional<SystemSelection>& fixed,
                          const std::optional<SystemSelection>& host = std::nullopt);

// What POST /api/send asked for, or why it was refused (the message for its 400).
struct SendRequest {
    std::string system;
    std::string command;
    std::string refusal;  // non-empty: refused before anything was sent
};
SendRequest parseSendRequest(std::string_view body, const std::optional<SystemSelection>& fixed);

// The answer to a send that was made: the log lines and whether it arrived; or, for a command
// refused before sending, the refusal's message (then `refusal` is set).
struct SendAnswer {
    std::string json;
    std::string refusal;
};
SendAnswer answerOf(const SendResult& result);

// `{"error": message}`, the body of every refusal.
std::string errorBody(std::string_view message);

}  // namespace tavik::phone
