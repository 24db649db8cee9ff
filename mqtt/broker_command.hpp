// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavik::mqtt {

// The longest payload taken; a longer one is refused unread.
inline constexpr std::size_t kMaxPayload = 4096;
// The longest id a sender may give; ids are kept on disk, one a line.
inline constexpr std::size_t kMaxId = 128;

// One command as a sender published it on the room's send topic.
struct BrokerCommand {
    std::optional<std::string> id;  // the sender's, echoed in its result
    std::string system;             // a token as send takes it ("T3"); empty: the room's
    std::string command;
    // When the sender made it, from its "sent_at" (Unix seconds or ISO 8601 with a zone).
    std::optional<std::chrono::system_clock::time_point> sentAt;
};

// A payload read: the command, or the line that refuses it (with the id when it was readable).
struct ParsedPayload {
    BrokerCommand command;
    std::string refusal;  // non-empty: refused before anything was sent
};

// Reads a send payload: a JSON object {"command": "12", "system": "T3", "id": "…",
// "sent_at": …} (system, id and sent_at optional; other keys ignored) or a plain-text batch line
// ("T3 12", or "12" for the room's system). UTF-8 only; no control characters but JSON's
// whitespace and one trailing line end.
ParsedPayload parsePayload(std::string_view payload);

// "2026-12-10T16:00:00Z", "…T16:00:00.250+09:00": the time, or nullopt when it is not that.
std::optional<std::chrono::system_clock::time_point> parseIsoTime(std::string_view text);

// The result of one command: {"id": …, "status": …, "lines": […]}; id null when it had none.
std::string resultPayload(const std::optional<std::string>& id, std::string_view status,
                          const std::vector<std::string>& lines);

bool isValidUtf8(std::string_view text);

}  // namespace tavik::mqtt
