// SPDX-License-Identifier: MIT
#include "full_width.hpp"

#include <gtest/gtest.h>

namespace tavik {
namespace {

TEST(AsciiFromFullWidth, MapsOnlyTheFullWidthFormsOfAscii) {
    const struct {
        const char* text;
        const char* ascii;
    } cases[] = {
        {"１２３４－５６", "1234-56"},
        {"Ｔ３", "T3"},
        {"ＫＵ", "KU"},
        {"ｋｕ", "ku"},
        {"1２a", "12a"},
        {"！～", "!~"},  // the first and last of the range
        {"\xEF\xBC\x80\xEF\xBD\x9F", "\xEF\xBC\x80\xEF\xBD\x9F"},  // one below, one above
        {"　", "　"},  // the ideographic space is not in the range
        {"ｱ", "ｱ"},    // nor half-width katakana
        {"デバイス", "デバイス"},
        {"\xEF\xBC", "\xEF\xBC"},  // cut short
        {"\xEF\xBC\x12"
         "3",
         "\xEF\xBC\x12"
         "3"},  // no continuation byte
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(asciiFromFullWidth(c.text), c.ascii) << c.text;
    }
}

}  // namespace
}  // namespace tavik
