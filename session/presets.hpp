// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace tavik {

// What the command line preselects in the main dialog, as the bytes were typed.
struct Presets {
    std::string presetLetter;   // empty, or the first character of the first token
    std::string presetNumber;   // the rest of the first token
    std::string presetCommand;  // the second token, whole
};

// The command line's arguments (without the program name) to the presets: split at blanks and
// tabs; tokens after the second are ignored.
Presets presetsFromArguments(const std::vector<std::string>& arguments);

}  // namespace tavik
