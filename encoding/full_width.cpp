// SPDX-License-Identifier: MIT
#include "full_width.hpp"

namespace tavik {

std::string asciiFromFullWidth(std::string_view text) {
    std::string ascii;
    ascii.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // U+FF01..U+FF3F is EF BC 81..BF, U+FF40..U+FF5E is EF BD 80..9E.
        if (i + 2 < text.size() && text[i] == '\xEF') {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            const auto third = static_cast<unsigned char>(text[i + 2]);
            const unsigned codePoint = 0xF000U | ((second & 0x3FU) << 6U) | (third & 0x3FU);
            const bool continuation = (third & 0xC0U) == 0x80U;
            if ((second == 0xBC || second == 0xBD) && continuation && codePoint >= 0xFF01U &&
                codePoint <= 0xFF5EU) {
                ascii += static_cast<char>(codePoint - 0xFF01U + 0x21U);
                i += 2;
                continue;
            }
        }
        ascii += text[i];
    }
    return ascii;
}

}  // namespace tavik
