// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tavik {

// Appends each byte as two upper-case hex digits followed by a blank ("%02X ").
void appendHexBytes(std::string& out, std::span<const std::uint8_t> bytes);

// A transmitter's version number as the log shows it: "Rev.0105".
std::string revisionText(std::uint16_t version);

// The bytes as two upper-case hex digits each, single blanks between.
std::string hexJoined(std::span<const std::uint8_t> bytes);

}  // namespace tavik
