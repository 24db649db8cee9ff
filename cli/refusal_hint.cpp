// SPDX-License-Identifier: MIT
#include "refusal_hint.hpp"

#include <algorithm>
#include <array>

#include "batch_input.hpp"
#include "catalogue.hpp"
#include "command_line.hpp"
#include "full_width.hpp"

namespace tavik::cli {
namespace {

bool isControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
}

bool isPrintableAscii(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b > 0x20 && b < 0x7F;
}

std::string numbersTaken(const MakerEntry& system) {
    const std::string letter(1, system.letter);
    if (!system.hasNumbers()) {
        return letter + " takes no number";
    }
    if (system.numberMin == system.numberMax) {
        return letter + " takes " + std::to_string(system.numberMin) + " only";
    }
    return letter + " takes " + std::to_string(system.numberMin) + " to " +
           std::to_string(system.numberMax);
}

constexpr std::array<std::string_view, 6> kFunctionNames = {"SE", "KU", "KD", "SP", "ST", "CL"};

// The function names the system has, as the encoder takes them.
std::string functionsOf(const SystemSelection& system) {
    CommandEncoder trial;  // its own: trying SE must not change a session's lasting state
    std::string names;
    for (std::string_view name : kFunctionNames) {
        if (trial.encode(system.systemId, system.number, name).status == EncodeStatus::kEncoded) {
            names += (names.empty() ? "" : " ") + std::string(name);
        }
    }
    return names;
}

}  // namespace

std::string refusalHint(EncodeStatus status, std::string_view systemToken,
                        std::string_view command) {
    const std::string token = asciiFromFullWidth(systemToken);
    switch (status) {
        case EncodeStatus::kUnknownSystem:
            if (!token.empty() && isPrintableAscii(token.front())) {
                return std::string("no system has the letter ") + token.front() +
                       " (see 'tavik-cli list')";
            }
            return "a system is a letter, then its number (see 'tavik-cli list')";
        case EncodeStatus::kUnknownNumber:
            return numbersTaken(catalogueEntry(resolveSystemToken(token).systemId));
        case EncodeStatus::kNotEncoded:
        case EncodeStatus::kEncoded:
            break;
    }
    if (std::any_of(command.begin(), command.end(), isControl)) {
        return "the command holds a control byte";
    }
    const SystemSelection system = resolveSystemToken(token);
    const std::string letter(1, catalogueEntry(system.systemId).letter);
    const std::string text = asciiFromFullWidth(command);
    if (text.empty()) {
        return "the command is missing: a song number or a function name";
    }
    if (text.front() >= '0' && text.front() <= '9') {
        return letter + " has no key for a character of this song number, or it is too long for " +
               "one packet";
    }
    std::string name = text;
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    const std::string functions = functionsOf(system);
    if (std::find(kFunctionNames.begin(), kFunctionNames.end(), name) != kFunctionNames.end()) {
        return letter + " has no " + name + "; it has " + functions;
    }
    return "neither a song number nor a function name (" + letter + " has " + functions +
           "; see 'tavik-cli --help')";
}

std::string refusalHint(SendStatus status, std::string_view systemToken, std::string_view command) {
    switch (status) {
        case SendStatus::kUnknownSystem:
            return refusalHint(EncodeStatus::kUnknownSystem, systemToken, command);
        case SendStatus::kUnknownNumber:
            return refusalHint(EncodeStatus::kUnknownNumber, systemToken, command);
        case SendStatus::kNotEncoded:
            return refusalHint(EncodeStatus::kNotEncoded, systemToken, command);
        default:
            return {};
    }
}

std::string tooLongHint() {
    return "the line is longer than " + std::to_string(kMaxBatchLine) + " bytes";
}

}  // namespace tavik::cli
