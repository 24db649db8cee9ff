// SPDX-License-Identifier: MIT
#include "hex_text.hpp"

namespace tavik {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void appendByte(std::string& out, std::uint8_t b) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
}

}  // namespace

void appendHexBytes(std::string& out, std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) {
        appendByte(out, b);
        out += ' ';
    }
}

std::string revisionText(std::uint16_t version) {
    std::string text = "Rev.";
    appendByte(text, static_cast<std::uint8_t>(version >> 8));
    appendByte(text, static_cast<std::uint8_t>(version & 0xFF));
    return text;
}

std::string hexJoined(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out += ' ';
        }
        appendByte(out, bytes[i]);
    }
    return out;
}

}  // namespace tavik
