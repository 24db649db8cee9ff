// SPDX-License-Identifier: MIT
#include "command_line.hpp"

#include "catalogue.hpp"
#include "full_width.hpp"

namespace tavik {
namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string_view argumentText(std::string_view commandLine) {
    if (!commandLine.empty() && commandLine.front() == '"') {
        const std::size_t close = commandLine.find('"', 1);
        return close == std::string_view::npos ? std::string_view() : commandLine.substr(close + 1);
    }
    std::size_t end = 0;
    while (end < commandLine.size() && !isSeparator(commandLine[end])) {
        ++end;
    }
    return commandLine.substr(end);
}

std::vector<std::string_view> splitTokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSeparator(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && !isSeparator(text[i])) {
            ++i;
        }
        if (i > start) {
            tokens.push_back(text.substr(start, i - start));
        }
    }
    return tokens;
}

std::vector<std::string> splitArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> tokens;
    for (const std::string& argument : arguments) {
        for (std::string_view piece : splitTokens(argument)) {
            tokens.emplace_back(piece);
        }
    }
    return tokens;
}

bool isDecimalTextOf(std::string_view text, std::int32_t number) {
    return text == std::to_string(number);
}

SystemSelection resolveSystemToken(std::string_view typed) {
    const std::string ascii = asciiFromFullWidth(typed);
    const std::string_view token = ascii;
    SystemSelection selection;
    const auto id = token.empty() ? std::nullopt : systemByLetter(token.front());
    if (!id) {
        selection.error = SelectionError::kUnknownSystem;
        return selection;
    }
    selection.systemId = *id;
    const MakerEntry& entry = catalogueEntry(*id);
    const std::string_view numberText = token.substr(1);
    if (!entry.hasNumbers()) {
        if (!numberText.empty()) {
            selection.error = SelectionError::kUnknownNumber;
        }
        return selection;
    }
    if (numberText.empty()) {
        selection.number = entry.numberMin;
        return selection;
    }
    for (std::int32_t n = entry.numberMin; n <= entry.numberMax; ++n) {
        if (isDecimalTextOf(numberText, n)) {
            selection.number = n;
            return selection;
        }
    }
    selection.error = SelectionError::kUnknownNumber;
    return selection;
}

std::string sendLogLine(SystemId system, std::int32_t number, std::string_view text) {
    std::string line = "tavik ";
    line += catalogueEntry(system).letter;
    if (number >= 0) {
        line += std::to_string(number);
    }
    line += ' ';
    line += text;
    return line;
}

}  // namespace tavik
