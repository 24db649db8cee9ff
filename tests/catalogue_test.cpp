// SPDX-License-Identifier: MIT
#include "catalogue.hpp"

#include <gtest/gtest.h>

#include <set>

namespace tavik {
namespace {

TEST(Catalogue, WalkStopsAtTerminatingRowAfterEighteen) {
    int rows = 0;
    for (const MakerEntry& row : kCatalogue) {
        if (row.systemId < 0) {
            break;
        }
        EXPECT_EQ(row.systemId, rows) << "row " << rows;
        EXPECT_EQ(&catalogueEntry(row.systemId), &row);
        ++rows;
    }
    EXPECT_EQ(rows, 18);
}

TEST(Catalogue, NumberRanges) {
    const struct {
        char letter;
        int count;  // 0: no numbers
        std::int32_t first;
    } expected[] = {{'X', 0, -1}, {'U', 2, 1}, {'M', 1, 1},  {'A', 5, 0}, {'L', 10, 0},
                    {'Z', 4, 1},  {'T', 8, 1}, {'C', 16, 0}, {'I', 10, 0}};
    for (const auto& e : expected) {
        const auto id = systemByLetter(e.letter);
        ASSERT_TRUE(id) << e.letter;
        const MakerEntry& row = catalogueEntry(*id);
        EXPECT_EQ(row.hasNumbers(), e.count > 0) << e.letter;
        if (e.count > 0) {
            EXPECT_EQ(row.numberMax - row.numberMin + 1, e.count) << e.letter;
            EXPECT_EQ(row.numberMin, e.first) << e.letter;
        }
    }
}

TEST(Catalogue, LetterLookupIgnoresCaseOfAsciiLettersOnly) {
    std::set<char> letters;
    for (SystemId id = 0; id < kSystemCount; ++id) {
        const char letter = catalogueEntry(id).letter;
        letters.insert(letter);
        EXPECT_EQ(systemByLetter(letter), id);
        EXPECT_EQ(systemByLetter(static_cast<char>(letter | 0x20)), id);
    }
    EXPECT_EQ(letters.size(), 18U);
    // Bit 0x20 cleared, these bytes look like nothing in the catalogue.
    for (char c : {'\0', '3', '-', ' ', '@', '[', '\x98', '\xD4'}) {
        EXPECT_FALSE(systemByLetter(c)) << static_cast<int>(c);
    }
}

}  // namespace
}  // namespace tavik
