// SPDX-License-Identifier: MIT
#include "output_report.hpp"

#include <gtest/gtest.h>

#include "encoder.hpp"
#include "hex_text.hpp"
#include "support/hex.hpp"

namespace tavik {
namespace {

CodePacket packetOf(const char* hex) {
    CodePacket packet;
    const auto values = test::parseHex(hex);
    for (std::size_t i = 0; i < values.size(); ++i) {
        packet.elements[i] = values[i];
    }
    packet.count = static_cast<std::int32_t>(values.size());
    return packet;
}

std::vector<std::string> reportsOf(const CodePacket& packet) {
    const ReportSplit split = splitIntoReports(packet, packet.count);
    std::vector<std::string> reports;
    for (int r = 0; r < split.count; ++r) {
        reports.push_back(hexJoined(split.reports[static_cast<std::size_t>(r)]));
    }
    return reports;
}

TEST(SplitIntoReports, DocumentedVectors) {
    const struct {
        const char* packet;
        std::vector<std::string> reports;
    } cases[] = {
        {"80 43 81 16 1F", {"00 43 81 16 1F 00 00 00 00"}},
        {"80 37 2E D1 10 17 14 18 17", {"00 37 2E D1 10 17 14 18 17"}},
        {"80 18 84 10 60 70 80 90 A0 F0",
         {"00 18 84 10 60 70 80 90 A0", "00 F0 84 10 60 70 80 90 A0"}},
        {"80 39 2E D1 10 14 18 17 11 15 17",
         {"00 39 2E D1 10 14 18 17 11", "00 15 17 D1 10 14 18 17 11"}},
        {"80 4E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E",
         {"00 4E 01 02 03 04 05 06 07", "00 08 09 0A 0B 0C 0D 0E 07"}},
        {"80", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reportsOf(packetOf(c.packet)), c.reports) << c.packet;
    }
}

TEST(SplitIntoReports, SendsOnlyTheLowByteAndCountsPayload) {
    CodePacket packet = packetOf("80 1A 81 B0");
    packet.elements[4] = 0x1C4;
    packet.count = 5;
    const ReportSplit split = splitIntoReports(packet, packet.count);
    ASSERT_EQ(split.count, 1);
    EXPECT_EQ(split.reports[0][4], 0xC4);
    EXPECT_EQ(split.payloadLength[0], 4);

    CodePacket full;
    ASSERT_EQ(Encoder{}.encodeCommand(full, 7, -1, "123456"), 13);
    const ReportSplit two = splitIntoReports(full, full.count);
    EXPECT_EQ(two.payloadLength, (std::array<int, 2>{8, 4}));
}

}  // namespace
}  // namespace tavik
