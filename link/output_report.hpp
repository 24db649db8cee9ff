// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

#include "code_packet.hpp"

namespace tavik {

inline constexpr int kReportSize = 9;  // report ID 0, then eight bytes
inline constexpr int kReportPayload = 8;

using OutputReport = std::array<std::uint8_t, kReportSize>;

// The reports that carry one packet, in the order they are written.
struct ReportSplit {
    std::array<OutputReport, 2> reports{};
    std::array<int, 2> payloadLength{};  // packet bytes in each report (the rest is filler)
    int count = 0;
};

// Splits elements 1..w-1 (their low bytes) into one report (w <= 9) or two (10 <= w <= 16). One
// buffer serves both reports and is not cleared in between, so a second report's filler repeats
// the first report's bytes at those positions; the first report's filler is zero. A w below 2
// gives no report; a w above 16 is taken as 16.
ReportSplit splitIntoReports(const CodePacket& packet, std::int32_t w);

}  // namespace tavik
