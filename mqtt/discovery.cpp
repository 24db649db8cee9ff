// SPDX-License-Identifier: MIT
#include "discovery.hpp"

#include <array>
#include <nlohmann/json.hpp>

#include "catalogue.hpp"
#include "command_line.hpp"
#include "function_key.hpp"
#include "version.hpp"

namespace tavik::mqtt {
namespace {

using nlohmann::json;

struct KeyButton {
    FunctionKey key;
    std::string_view component;  // also the end of its unique id
    std::string_view name;
};

constexpr std::array<KeyButton, 5> kButtons{{
    {FunctionKey::kKeyUp, "key_up", "キー上げ"},
    {FunctionKey::kKeyDown, "key_down", "キー下げ"},
    {FunctionKey::kStart, "start", "演奏開始"},
    {FunctionKey::kStop, "stop", "演奏中止"},
    {FunctionKey::kClear, "clear", "取消"},
}};

// What a song number may hold: digits, A, B and '-', full-width ones too, up to the 15 characters
// the window's field takes.
constexpr std::string_view kSongPattern = "^[0-9AaBb\\-０-９ＡＢａｂ－]{1,15}$";
constexpr int kSongMax = 15;

std::string tokenOf(const MakerEntry& row, std::int32_t number) {
    std::string token(1, row.letter);
    if (number >= 0) {
        token += std::to_string(number);
    }
    return token;
}

}  // namespace

const std::vector<SystemOption>& systemOptions() {
    static const std::vector<SystemOption> options = [] {
        std::vector<SystemOption> all;
        for (const MakerEntry& row : catalogueRows()) {
            if (!row.hasNumbers()) {
                all.push_back(
                    {tokenOf(row, -1), tokenOf(row, -1) + " " + std::string(row.displayName)});
                continue;
            }
            for (std::int32_t number = row.numberMin; number <= row.numberMax; ++number) {
                all.push_back({tokenOf(row, number),
                               tokenOf(row, number) + " " + std::string(row.displayName)});
            }
        }
        return all;
    }();
    return options;
}

std::optional<SystemOption> systemOption(std::string_view text) {
    const std::vector<std::string_view> tokens = splitTokens(text);
    if (tokens.empty()) {
        return std::nullopt;
    }
    const SystemSelection selection = resolveSystemToken(tokens.front());
    if (selection.error != SelectionError::kNone) {
        return std::nullopt;
    }
    const std::string token = tokenOf(catalogueEntry(selection.systemId), selection.number);
    for (const SystemOption& option : systemOptions()) {
        if (option.token == token) {
            return option;
        }
    }
    return std::nullopt;
}

std::string discoveryTopic(const DiscoveredDevice& device) {
    return device.prefix + "/device/tavik_" + device.room + "/config";
}

std::string discoveryPayload(const DiscoveredDevice& device, const RoomTopics& topics) {
    const std::string id = "tavik_" + device.room;
    json deviceInfo = {{"ids", json::array({id})},
                       {"name", "tavik " + device.room},
                       {"mdl", "USB IR transmitter 0bfe:2022"},
                       {"sw", std::string(kVersion)}};
    if (!device.serial.empty()) {
        deviceInfo["sn"] = device.serial;
    }
    json components = json::object();
    for (const KeyButton& button : kButtons) {
        const std::string unique = id + "_" + std::string(button.component);
        components[std::string(button.component)] = {
            {"p", "button"},
            {"name", button.name},
            {"unique_id", unique},
            {"default_entity_id", "button." + unique},
            {"command_topic", topics.send},
            {"payload_press", json{{"command", functionName(button.key)}}.dump()},
        };
    }
    components["song"] = {
        {"p", "text"},
        {"name", "曲番号"},
        {"unique_id", id + "_song"},
        {"default_entity_id", "text." + id + "_song"},
        {"command_topic", topics.send},
        // tojson: a value with quotes or backslashes still makes valid JSON.
        {"command_template", "{{ {'command': value} | tojson }}"},
        {"pattern", kSongPattern},
        {"min", 1},
        {"max", kSongMax},
        {"icon", "mdi:music-box"},
    };
    json options = json::array();
    for (const SystemOption& option : systemOptions()) {
        options.push_back(option.label);
    }
    components["system"] = {
        {"p", "select"},
        {"name", "システム"},
        {"unique_id", id + "_system"},
        {"default_entity_id", "select." + id + "_system"},
        {"command_topic", topics.systemSet},
        {"state_topic", topics.system},
        {"value_template", "{{ value_json.option }}"},
        {"options", options},
        {"entity_category", "config"},
    };
    const json payload = {
        {"dev", deviceInfo},
        {"o", {{"name", "tavik"}, {"sw", std::string(kVersion)}}},
        {"cmps", components},
        {"availability_topic", topics.state},
        {"availability_template", "{{ value_json.state }}"},
        {"payload_available", "online"},
        {"payload_not_available", "offline"},
        {"qos", 2},
    };
    // The serial comes from the device, which may not give UTF-8.
    return payload.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace tavik::mqtt
