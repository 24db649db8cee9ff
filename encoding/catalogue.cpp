// SPDX-License-Identifier: MIT
#include "catalogue.hpp"

namespace tavik {
namespace {

// letter, systemId, displayName, numberMin, numberMax
constexpr std::array<MakerEntry, kSystemCount + 1> kRows{{
    {'X', 0, "X2000", -1, -1},
    {'U', 1, "U-kara", 1, 2},
    {'G', 2, "GIGA", -1, -1},
    {'J', 3, "JOYSOUND", -1, -1},
    {'H', 4, "HyperJOY", -1, -1},
    {'B', 5, "東映BeMAX'S", -1, -1},
    {'P', 6, "セガカラ", -1, -1},
    {'D', 7, "DAM", -1, -1},
    {'S', 8, "孫悟空/Syncom", -1, -1},
    {'N', 9, "NET7000", -1, -1},
    {'K', 10, "B-kara", -1, -1},
    {'M', 11, "Mac21", 1, 1},
    {'A', 12, "ALISA3 (No→Op)", 0, 4},
    {'L', 13, "ALISA3 (Mk→No)", 0, 9},
    {'Z', 14, "ALISA3 (Op→No)", 1, 4},
    {'T', 15, "TOEI システム", 1, 8},
    {'C', 16, "Σシステム", 0, 15},
    {'I', 17, "カラオケの鉄人", 0, 9},
    {'\0', -1, "", -1, -1},
}};

constexpr bool rowsAreIndexed() {
    for (SystemId i = 0; i < kSystemCount; ++i) {
        if (kRows[i].systemId != i) {
            return false;
        }
    }
    return kRows[kSystemCount].systemId < 0;
}

constexpr bool lettersAreUniqueUpperCase() {
    for (SystemId i = 0; i < kSystemCount; ++i) {
        if (kRows[i].letter < 'A' || kRows[i].letter > 'Z') {
            return false;
        }
        for (SystemId j = 0; j < i; ++j) {
            if (kRows[i].letter == kRows[j].letter) {
                return false;
            }
        }
    }
    return true;
}

static_assert(rowsAreIndexed(), "row i must have SystemId i, then the terminating row");
static_assert(lettersAreUniqueUpperCase(), "letters must be unique upper-case ASCII");

}  // namespace

const std::array<MakerEntry, kSystemCount + 1> kCatalogue = kRows;

std::span<const MakerEntry, kSystemCount> catalogueRows() {
    return std::span(kCatalogue).first<kSystemCount>();
}

const MakerEntry& catalogueEntry(SystemId id) {
    return kCatalogue[static_cast<std::size_t>(id)];
}

std::optional<SystemId> systemByLetter(char c) {
    const char folded = static_cast<char>(static_cast<unsigned char>(c) & ~0x20U);
    for (const MakerEntry& row : catalogueRows()) {
        if (row.letter == folded) {
            return row.systemId;
        }
    }
    return std::nullopt;
}

}  // namespace tavik
