// SPDX-License-Identifier: MIT
#include "presets.hpp"

#include "command_line.hpp"

namespace tavik {

Presets presetsFromArguments(const std::vector<std::string>& arguments) {
    const std::vector<std::string> tokens = splitArguments(arguments);
    Presets presets;
    if (!tokens.empty()) {
        presets.presetLetter = tokens[0].substr(0, 1);
        presets.presetNumber = tokens[0].substr(1);
    }
    if (tokens.size() > 1) {
        presets.presetCommand = tokens[1];
    }
    return presets;
}

}  // namespace tavik
