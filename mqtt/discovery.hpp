// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "room_topics.hpp"

namespace tavik::mqtt {

// One choice of the room's system: a system with one of its numbers, or one without numbers.
struct SystemOption {
    std::string token;  // "T3", "J"
    std::string label;  // "T3 TOEI システム", what a home automation's select shows and sends
};

// Every system with each of its numbers, in the catalogue's order.
const std::vector<SystemOption>& systemOptions();

// A token ("T3", "t3", "Ｔ３") or an option's label: the option, or nullopt when it names none.
std::optional<SystemOption> systemOption(std::string_view text);

struct DiscoveredDevice {
    std::string room;
    std::string prefix;  // the discovery prefix ("homeassistant")
    std::string serial;  // the transmitter's serial number; empty while unknown
};

// Where the room's device is announced: PREFIX/device/tavik_ROOM/config.
std::string discoveryTopic(const DiscoveredDevice& device);

// The device with its components: the five keys as buttons, a text for the song number, a select
// for the system; available while the room's state is online.
std::string discoveryPayload(const DiscoveredDevice& device, const RoomTopics& topics);

}  // namespace tavik::mqtt
