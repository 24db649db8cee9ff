// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "system_id.hpp"

namespace tavik {

// One karaoke system the transmitter can address. Names are UTF-8.
struct MakerEntry {
    char letter;  // upper-case ASCII; key on the command line and in the log
    SystemId systemId;
    std::string_view displayName;
    std::int32_t numberMin;  // -1 together with numberMax: the system has no numbers
    std::int32_t numberMax;

    constexpr bool hasNumbers() const { return numberMin != -1 || numberMax != -1; }
};

// The eighteen systems in SystemId order, then a terminating row whose systemId is -1.
extern const std::array<MakerEntry, kSystemCount + 1> kCatalogue;

// The eighteen systems alone, for walks over the catalogue.
std::span<const MakerEntry, kSystemCount> catalogueRows();

// The row of a valid SystemId.
const MakerEntry& catalogueEntry(SystemId id);

// The system whose letter equals `c` with bit 0x20 cleared (so a-z match A-Z and nothing else
// matches); nullopt when none does.
std::optional<SystemId> systemByLetter(char c);

}  // namespace tavik
