#pragma once

#include <istream>
#include <optional>
#include <string>

namespace tavik::cli {

// One line of a batch: the first two tokens; a missing command is the empty text.
struct BatchLine {
    std::string system;
    std::string command;
};

// The next line of `in` that holds a token, with trailing CR/LF removed and split at blanks and
// tabs; tokens after the second are ignored. nullopt at the end of the input.
std::optional<BatchLine> readBatchLine(std::istream& in);

}  // namespace tavik::cli
