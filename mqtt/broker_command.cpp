// SPDX-License-Identifier: MIT
#include "broker_command.hpp"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "bridge_messages.hpp"
#include "command_line.hpp"

namespace tavik::mqtt {
namespace {

using nlohmann::json;

bool hasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// Digits of `text` from `at`, exactly `count` of them; -1 when they are not.
int digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

ParsedPayload refused(std::string_view why, std::optional<std::string> id = std::nullopt) {
    ParsedPayload parsed;
    parsed.command.id = std::move(id);
    parsed.refusal = why;
    return parsed;
}

ParsedPayload parseJson(std::string_view payload) {
    const json body = json::parse(payload, nullptr, false);
    if (!body.is_object()) {
        return refused(messages::kBadPayload);
    }
    // The id first, so that every later refusal can name it.
    std::optional<std::string> id;
    if (const auto found = body.find("id"); found != body.end()) {
        if (!found->is_string() || found->get_ref<const std::string&>().empty() ||
            found->get_ref<const std::string&>().size() > kMaxId ||
            hasControl(found->get_ref<const std::string&>())) {
            return refused(messages::kBadPayload);
        }
        id = found->get<std::string>();
    }
    const auto text = [&](const char* key) -> std::optional<std::string> {
        const auto found = body.find(key);
        if (found == body.end() || !found->is_string() ||
            hasControl(found->get_ref<const std::string&>())) {
            return std::nullopt;
        }
        return found->get<std::string>();
    };
    ParsedPayload parsed;
    parsed.command.id = id;
    const std::optional<std::string> command = text("command");
    if (!command || (body.contains("system") && !text("system"))) {
        return refused(messages::kBadPayload, id);
    }
    parsed.command.command = *command;
    parsed.command.system = text("system").value_or("");
    if (const auto sent = body.find("sent_at"); sent != body.end()) {
        // Up to the year 9999: beyond, the time does not fit the clock (and is no sender's).
        constexpr double kLatest = 253402300799.0;
        if (sent->is_number() && sent->get<double>() >= 0 && sent->get<double>() <= kLatest) {
            const auto since = std::chrono::duration<double>(sent->get<double>());
            parsed.command.sentAt = std::chrono::system_clock::time_point(
                std::chrono::duration_cast<std::chrono::system_clock::duration>(since));
        } else if (sent->is_string()) {
            parsed.command.sentAt = parseIsoTime(sent->get_ref<const std::string&>());
        }
        if (!parsed.command.sentAt) {
            return refused(messages::kBadPayload, id);
        }
    }
    return parsed;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        std::uint32_t min = 0;
        std::uint32_t code = lead;
        if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, min = 0x10000, code = lead & 0x07U;
        } else if (lead >= 0xE0) {
            length = 3, min = 0x800, code = lead & 0x0FU;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, min = 0x80, code = lead & 0x1FU;
        } else if (lead >= 0x80) {
            return false;
        }
        if (lead > 0xF4 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0U) != 0x80) {
                return false;
            }
            code = (code << 6U) | (next & 0x3FU);
        }
        // Overlong forms, surrogates and beyond U+10FFFF are not UTF-8.
        if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return false;
        }
        i += length;
    }
    return true;
}

std::optional<std::chrono::system_clock::time_point> parseIsoTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60 || text[4] != '-' ||
        text[7] != '-' || (text[10] != 'T' && text[10] != ' ') || text[13] != ':' ||
        text[16] != ':') {
        return std::nullopt;
    }
    std::size_t at = 19;
    std::chrono::microseconds fraction{0};
    if (at < text.size() && text[at] == '.') {
        std::int64_t scale = 100000;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            fraction += std::chrono::microseconds((text[at] - '0') * scale);
            scale /= 10;
        }
    }
    std::chrono::minutes offset{0};
    if (text.substr(at) != "Z") {
        const int offsetHours = digits(text, at + 1, 2);
        const int offsetMinutes = digits(text, at + 4, 2);
        if (text.size() != at + 6 || (text[at] != '+' && text[at] != '-') || text[at + 3] != ':' ||
            offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59) {
            return std::nullopt;
        }
        offset = std::chrono::hours(offsetHours) + std::chrono::minutes(offsetMinutes);
        if (text[at] == '-') {
            offset = -offset;
        }
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
           std::chrono::seconds(second) + fraction - offset;
}

ParsedPayload parsePayload(std::string_view payload) {
    if (payload.size() > kMaxPayload) {
        return refused(messages::kTooLong);
    }
    if (!isValidUtf8(payload)) {
        return refused(messages::kBadPayload);
    }
    const auto start = payload.find_first_not_of(" \t\r\n");
    if (start != std::string_view::npos && payload[start] == '{') {
        return parseJson(payload);
    }
    // A plain line: one line end is let through, as `echo` leaves it.
    std::string_view line = payload;
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
    }
    std::string blanked(line);
    std::replace(blanked.begin(), blanked.end(), '\t', ' ');
    const std::vector<std::string_view> tokens = splitTokens(blanked);
    if (tokens.empty() || hasControl(blanked)) {
        return refused(messages::kBadPayload);
    }
    ParsedPayload parsed;
    if (tokens.size() == 1) {
        parsed.command.command = tokens[0];
    } else {
        parsed.command.system = tokens[0];
        parsed.command.command = tokens[1];
    }
    return parsed;
}

std::string resultPayload(const std::optional<std::string>& id, std::string_view status,
                          const std::vector<std::string>& lines) {
    const json result = {
        {"id", id ? json(*id) : json(nullptr)}, {"status", status}, {"lines", lines}};
    return result.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace tavik::mqtt
