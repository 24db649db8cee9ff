// SPDX-License-Identifier: MIT
#include "option_checks.hpp"

#include <string>

namespace tavik::cli {

CLI::Validator wholeNumber() {
    return {
        [](const std::string& input) {
            // A sign is left to the range check.
            const std::size_t start = input.rfind('+', 0) == 0 || input.rfind('-', 0) == 0 ? 1 : 0;
            const bool whole = input.size() > start &&
                               input.find_first_not_of("0123456789", start) == std::string::npos;
            return whole ? std::string() : input + " is not a whole number";
        },
        ""};
}

}  // namespace tavik::cli
