// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "system_id.hpp"

namespace tavik {

// The argument text of a whole Windows command line: what follows the program name, which ends
// right after its closing quote when it starts with one, else at the first blank or tab.
std::string_view argumentText(std::string_view commandLine);

// Maximal runs of characters that are neither a blank nor a tab; quotes mean nothing.
std::vector<std::string_view> splitTokens(std::string_view text);

// The same, over arguments the platform has already split: an argument holding blanks or tabs is
// split further; empty pieces vanish.
std::vector<std::string> splitArguments(const std::vector<std::string>& arguments);

enum class SelectionError { kNone, kUnknownSystem, kUnknownNumber };

struct SystemSelection {
    SelectionError error = SelectionError::kNone;
    SystemId systemId = -1;
    std::int32_t number = -1;  // -1: the system has no numbers
};

// Reads a first token: a catalogue letter (case ignored), directly followed by an optional
// number. An empty number picks the system's first number, or -1 when it has none; a non-empty
// one must be exactly the "%d" text of a number in the system's range. Full-width letters and
// digits ("Ｔ３") stand for their ASCII ones.
SystemSelection resolveSystemToken(std::string_view token);

// The "%d" text of `number` matches `text` exactly (no sign, no leading zeros, no blanks).
bool isDecimalTextOf(std::string_view text, std::int32_t number);

// The log line of a send, which repeats it as a command line: "tavik T3 12" or "tavik X 123".
std::string sendLogLine(SystemId system, std::int32_t number, std::string_view text);

}  // namespace tavik
