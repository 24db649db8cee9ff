// SPDX-License-Identifier: MIT
#include "phone_api.hpp"

#include <nlohmann/json.hpp>

#include "catalogue.hpp"
#include "phone_messages.hpp"

namespace tavik::phone {
namespace {

using nlohmann::json;

json systemJson(const MakerEntry& row, std::int32_t onlyNumber) {
    json numbers = json::array();
    for (std::int32_t n = row.numberMin; row.hasNumbers() && n <= row.numberMax; ++n) {
        if (onlyNumber < 0 || n == onlyNumber) {
            numbers.push_back(n);
        }
    }
    return {
        {"letter", std::string(1, row.letter)}, {"name", row.displayName}, {"numbers", numbers}};
}

}  // namespace

std::string onlySystemMessage(const SystemSelection& fixed) {
    std::string name(catalogueEntry(fixed.systemId).displayName);
    if (fixed.number >= 0) {
        name += " " + std::to_string(fixed.number);
    }
    return std::string(messages::kOnlySystem) + name + " だけです。";
}

std::string catalogueJson(const std::optional<SystemSelection>& fixed,
                          const std::optional<SystemSelection>& host) {
    json systems = json::array();
    if (fixed) {
        systems.push_back(systemJson(catalogueEntry(fixed->systemId), fixed->number));
        return systems.dump();
    }
    for (const MakerEntry& row : kCatalogue) {
        if (row.systemId < 0) {
            break;
        }
        json entry = systemJson(row, -1);
        if (host && host->systemId == row.systemId) {
            entry["current"] = host->number >= 0 ? json(host->number) : json(nullptr);
        }
        systems.push_back(std::move(entry));
    }
    return systems.dump();
}

SendRequest parseSendRequest(std::string_view text, const std::optional<SystemSelection>& fixed) {
    const json body = json::parse(text, nullptr, false);
    const auto isText = [&](const char* key) {
        return body.contains(key) && body[key].is_string();
    };
    if (!body.is_object() || body.size() != 2 || !isText("system") || !isText("command")) {
        return {{}, {}, std::string(messages::kBadRequest)};
    }
    SendRequest request{body["system"].get<std::string>(), body["command"].get<std::string>(), {}};
    if (fixed) {
        const SystemSelection asked = resolveSystemToken(request.system);
        // A token that names no system is refused by the session, in its own words.
        if (asked.error == SelectionError::kNone &&
            (asked.systemId != fixed->systemId || asked.number != fixed->number)) {
            request.refusal = onlySystemMessage(*fixed);
        }
    }
    return request;
}

SendAnswer answerOf(const SendResult& result) {
    if (result.badInput()) {
        return {{},
                result.lines.empty() ? std::string(messages::kBadRequest) : result.lines.front()};
    }
    const json answer = {{"lines", result.lines}, {"delivered", result.delivered()}};
    return {answer.dump(-1, ' ', false, json::error_handler_t::replace), {}};
}

std::string errorBody(std::string_view message) {
    return json{{"error", message}}.dump();
}

}  // namespace tavik::phone
