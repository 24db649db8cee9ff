// SPDX-License-Identifier: MIT
#include "encoder.hpp"

#include <gtest/gtest.h>

#include <string>

#include "catalogue.hpp"
#include "code_tables.hpp"
#include "support/hex.hpp"

namespace tavik {
namespace {

using test::packetBytes;
using test::parseHex;

struct Vector {
    const char* name;
    SystemId system;
    std::int32_t number;
    const char* text;
    const char* packet;  // elements 0..w-1 in hex
};

void PrintTo(const Vector& v, std::ostream* os) {
    *os << "system " << v.system << " number " << v.number << " text '" << v.text << "'";
}

class EncoderVectors : public ::testing::TestWithParam<Vector> {};

TEST_P(EncoderVectors, ProducesPacket) {
    const Vector& v = GetParam();
    CodePacket packet;
    const std::int32_t w = Encoder{}.encodeCommand(packet, v.system, v.number, v.text);
    const auto expected = parseHex(v.packet);
    ASSERT_EQ(w, static_cast<std::int32_t>(expected.size()))
        << "system " << v.system << " number " << v.number << " text '" << v.text << "'";
    EXPECT_EQ(packetBytes(packet), expected) << "text '" << v.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Documented, EncoderVectors,
    ::testing::Values(
        Vector{"X2000_12345", 0, -1, "12345", "80 39 2E D1 10 14 18 17 11 15 17"},
        Vector{"X2000_123", 0, -1, "123", "80 37 2E D1 10 17 14 18 17"},
        Vector{"X2000_two_digits", 0, -1, "12", "80 36 2E D1 17 10 14 17"},
        Vector{"Ukara_plain", 1, 1, "123", "80 36 98 67 00 01 02 0C"},
        Vector{"Ukara_framed", 1, 2, "123", "80 78 98 67 F0 00 01 02 0C F7"},
        Vector{"Ukara_framed_KU", 1, 2, "KU", "80 75 98 67 F0 13 F7"},
        Vector{"Giga_123", 2, -1, "123", "80 18 84 10 60 70 80 F0 F0 F0"},
        Vector{"Giga_12345", 2, -1, "12345", "80 18 84 10 60 70 80 90 A0 F0"},
        Vector{"Giga_long_no_padding", 2, -1, "1234567", "80 19 84 10 60 70 80 90 A0 B0 C0"},
        Vector{"Sega_123456", 6, -1, "123456", "80 1A 81 B0 48 2C 6A 33 48 2C 6A 33"},
        Vector{"Sega_1", 6, -1, "1", "80 1A 81 B0 00 00 80 33 00 00 80 33"},
        Vector{"Sega_1234567_in_place", 6, -1, "1234567", "80 1A 81 B0 C4 A2 06 33 C4 A2 06 33"},
        Vector{"Dam_separator", 7, -1, "1234-56", "80 1B D1 2D 08 31 32 33 34 3C 35 36 09"},
        Vector{"Dam_plain", 7, -1, "123456", "80 1B D1 2D 08 31 32 33 34 3C 35 36 09"},
        Vector{"Dam_five", 7, -1, "12345", "80 1B D1 2D 08 30 31 32 33 3C 34 35 09"},
        Vector{"Dam_letter", 7, -1, "1234A5", "80 1B D1 2D 08 31 32 33 34 3A 30 35 09"},
        Vector{"Bkara_separator", 10, -1, "1234-56", "80 1C 2E D1 F0 41 42 43 44 3D 45 46 4C F7"},
        Vector{"Bkara_KU", 10, -1, "KU", "80 15 2E D1 F0 35 F7"},
        Vector{"Sigma_12", 16, 12, "123456", "80 1C 55 AA 0F 4F 0F 4F 4E 07 51 47 46 3E"},
        Vector{"Sigma_KU_no_prefix", 16, 0, "KU", "80 13 55 AA 08"},
        Vector{"AlisaNoOp_3", 12, 3, "12", "80 35 87 56 04 05 15"},
        Vector{"AlisaMkNo_5", 13, 5, "12", "80 37 87 56 08 10 04 05 12"},
        Vector{"AlisaOpNo_2", 14, 2, "12", "80 36 87 56 14 04 05 12"},
        Vector{"Toei_3", 15, 3, "12", "80 36 00 FF 0C 0F 4F 41"},
        Vector{"Tetsujin_dash_is_SE", 17, 4, "12-3", "80 48 AE 51 D9 81 82 DC 83 DC"},
        Vector{"Mac21_1", 11, 1, "123", "80 37 80 00 10 0C 0D 0E 03"},
        Vector{"Joysound_se_any_case", 3, -1, "se", "80 43 81 16 1F"},
        Vector{"Joysound_Se_mixed", 3, -1, "sE", "80 43 81 16 1F"},
        Vector{"Joy_dash_skipped", 3, -1, "1-2", "80 45 81 16 07 0A 1F"},
        Vector{"Toei_out_of_range_no_prefix", 15, 9, "12", "80 35 00 FF 0F 4F 41"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Failure {
    const char* name;
    SystemId system;
    std::int32_t number;
    const char* text;
    std::int32_t result;
};

void PrintTo(const Failure& f, std::ostream* os) {
    *os << "system " << f.system << " number " << f.number << " text '" << f.text << "'";
}

class EncoderFailures : public ::testing::TestWithParam<Failure> {};

TEST_P(EncoderFailures, Refuses) {
    const Failure& f = GetParam();
    CodePacket packet;
    EXPECT_EQ(Encoder{}.encodeCommand(packet, f.system, f.number, f.text), f.result)
        << "'" << f.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Documented, EncoderFailures,
    ::testing::Values(Failure{"empty_text", 3, -1, "", kBadFunction},
                      Failure{"Giga_has_no_SE", 2, -1, "SE", kBadFunction},
                      Failure{"Net7000_has_no_ST", 9, -1, "st", kBadFunction},
                      Failure{"unknown_name", 3, -1, "XY", kBadFunction},
                      Failure{"name_with_suffix", 3, -1, "SEX", kBadFunction},
                      Failure{"name_prefix_only", 3, -1, "S", kBadFunction},
                      Failure{"leading_blank", 3, -1, " 12", kBadFunction},
                      Failure{"leading_dash", 17, 0, "-12", kBadFunction},
                      Failure{"Dam_stray_letter", 7, -1, "12X", kBadSongNumber},
                      Failure{"X2000_has_no_A", 0, -1, "1A", kBadSongNumber},
                      Failure{"blank_inside_number", 3, -1, "1 2", kBadSongNumber},
                      Failure{"X2000_single_digit", 0, -1, "5", kBadSongNumber},
                      Failure{"X2000_single_digit_dash", 0, -1, "5-", kBadSongNumber},
                      Failure{"invalid_system", 18, -1, "12", kBadFunction}),
    [](const auto& info) { return std::string(info.param.name); });

// Every system, every song-number length: a number that does not fit is refused, and nothing is
// ever written past the sixteen elements (ASan catches a stray write into the guard).
TEST(EncoderBound, LongNumbersNeverOverflowThePacket) {
    struct Guarded {
        CodePacket packet;
        std::array<std::int32_t, 8> guard;
    };
    for (SystemId system = 0; system < kSystemCount; ++system) {
        const MakerEntry& entry = catalogueEntry(system);
        for (int length = 1; length <= 20; ++length) {
            const std::string text(static_cast<std::size_t>(length), '7');
            Guarded g{};
            g.guard.fill(0x5A5A5A5A);
            const std::int32_t w =
                Encoder{}.encodeCommand(g.packet, system, entry.numberMax, text.c_str());
            EXPECT_TRUE(w == kBadSongNumber || (w >= 5 && w <= kPacketCapacity))
                << "system " << system << " length " << length << " gave " << w;
            for (std::int32_t word : g.guard) {
                ASSERT_EQ(word, 0x5A5A5A5A) << "system " << system << " length " << length;
            }
        }
        const std::string huge(20, '7');
        CodePacket packet;
        EXPECT_EQ(Encoder{}.encodeCommand(packet, system, entry.numberMax, huge.c_str()),
                  kBadSongNumber)
            << "system " << system;
    }
}

TEST(EncoderBound, HeaderCountMatchesLength) {
    for (SystemId system = 0; system < kSystemCount; ++system) {
        for (const char* text : {"1", "12", "123456", "12345678", "KU", "SE"}) {
            CodePacket packet;
            const std::int32_t w =
                Encoder{}.encodeCommand(packet, system, catalogueEntry(system).numberMin, text);
            if (w > 0) {
                EXPECT_EQ(packet.elements[1] & 0x0F, w - 2) << system << " '" << text << "'";
                EXPECT_EQ(packet.elements[0], 0x80);
            }
        }
    }
}

TEST(EncoderAlisaConfirm, LastNumberLastsAcrossCalls) {
    Encoder encoder;
    CodePacket packet;
    ASSERT_EQ(encoder.encodeCommand(packet, 12, -1, "12"), 7);
    EXPECT_EQ(packet.elements[6], 0x12) << "starts at 0x12";

    ASSERT_EQ(encoder.encodeCommand(packet, 12, 3, "12"), 7);
    ASSERT_EQ(encoder.encodeCommand(packet, 12, -1, "12"), 7);
    EXPECT_EQ(packet.elements[6], 0x15) << "kept after a send with number 3";
    ASSERT_EQ(encoder.encodeCommand(packet, 12, 7, "SE"), 5);
    EXPECT_EQ(packet.elements[4], 0x15) << "out-of-range number keeps it; SE uses it";

    ASSERT_EQ(encoder.encodeCommand(packet, 13, 0, "12"), 9);
    EXPECT_EQ(packet.elements[8], 0x12) << "the other ALISA3 rows are not affected";
    ASSERT_EQ(Encoder{}.encodeCommand(packet, 12, -1, "SE"), 5);
    EXPECT_EQ(packet.elements[4], 0x12) << "another encoder starts afresh";
}

TEST(EncoderTables, MissingCellsAreRefused) {
    // Every "—" cell: as a function it gives -3, as an A/B key it gives -2.
    const struct {
        const char* name;
        int column;
    } functions[] = {{"SE", kSE}, {"KU", kKU}, {"KD", kKD}, {"SP", kSP}, {"ST", kST}, {"CL", kCL}};
    for (SystemId system = 0; system < kSystemCount; ++system) {
        for (const auto& f : functions) {
            CodePacket packet;
            const std::int32_t w = Encoder{}.encodeCommand(packet, system, -1, f.name);
            EXPECT_EQ(w == kBadFunction, codeOf(system, f.column) == kNoCode)
                << system << " " << f.name;
        }
        CodePacket packet;
        EXPECT_EQ(Encoder{}.encodeCommand(packet, system, -1, "12A4") == kBadSongNumber,
                  codeOf(system, kA) == kNoCode)
            << system;
    }
}

TEST(EncoderTables, DigitColumnsFollowTheirPatterns) {
    for (int d = 0; d <= 9; ++d) {
        EXPECT_EQ(codeOf(7, kD0 + d), 0x30 + d);
        const int reversed = ((d & 1) << 3) | ((d & 2) << 1) | ((d & 4) >> 1) | ((d & 8) >> 3);
        EXPECT_EQ(codeOf(6, kD0 + d), reversed) << d;
    }
    EXPECT_EQ(digitCode(7, 10), kNoCode);
    EXPECT_EQ(toeiNumberCode(0), kNoCode);
    EXPECT_EQ(toeiNumberCode(3), 0x0C);
    EXPECT_EQ(tetsujinNumberCode(5), 0xDE);
    EXPECT_EQ(tetsujinNumberCode(10), kNoCode);
}

}  // namespace
}  // namespace tavik
