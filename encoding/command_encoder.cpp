// SPDX-License-Identifier: MIT
#include "command_encoder.hpp"

#include <algorithm>
#include <string>

#include "catalogue.hpp"
#include "command_line.hpp"
#include "messages.hpp"

namespace tavik {
namespace {

// 0x00-0x1F and 0x7F. A tab never reaches here: it separates tokens.
bool hasControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

}  // namespace

Encoding CommandEncoder::encode(SystemId system, std::int32_t number, std::string_view text) {
    if (!isValidSystemId(system)) {
        return {EncodeStatus::kUnknownSystem, -1};
    }
    // Only a refused number leaves a system that has numbers without one; a send then would not
    // be the one its log line repeats.
    if (number < 0 && catalogueEntry(system).hasNumbers()) {
        return {EncodeStatus::kUnknownNumber, -1};
    }
    if (hasControlByte(text)) {
        return {};  // a NUL must never end the text early, nor another byte pass as a key
    }
    const std::string zeroTerminated(text);
    const std::int32_t count =
        m_encoder.encodeCommand(m_packet, system, number, zeroTerminated.c_str());
    return count > 0 ? Encoding{EncodeStatus::kEncoded, count} : Encoding{};
}

Encoding CommandEncoder::encode(std::string_view systemToken, std::string_view text) {
    const SystemSelection selection = resolveSystemToken(systemToken);
    switch (selection.error) {
        case SelectionError::kUnknownSystem:
            return {EncodeStatus::kUnknownSystem, -1};
        case SelectionError::kUnknownNumber:
            return {EncodeStatus::kUnknownNumber, -1};
        case SelectionError::kNone:
            break;
    }
    return encode(selection.systemId, selection.number, text);
}

std::string_view refusalMessage(EncodeStatus status) {
    switch (status) {
        case EncodeStatus::kUnknownSystem:
            return messages::kUnknownSystem;
        case EncodeStatus::kUnknownNumber:
            return messages::kUnknownNumber;
        case EncodeStatus::kNotEncoded:
            return messages::kEncodingFailed;
        case EncodeStatus::kEncoded:
            break;
    }
    return {};
}

}  // namespace tavik
