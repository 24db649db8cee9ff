// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavik::phone {

// A QR code's modules, row by row; the terminal and the window draw the same one.
struct QrMatrix {
    int size = 0;  // modules per side; 0 when the text does not fit a QR code
    std::vector<bool> dark;

    bool isDark(int x, int y) const {
        return x >= 0 && y >= 0 && x < size && y < size &&
               dark[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                    static_cast<std::size_t>(x)];
    }
};

QrMatrix qrMatrix(std::string_view text);

// The code as lines of UTF-8 half blocks, two module rows a line, with the quiet zone. The blocks
// draw the light modules, so that the usual light-on-dark terminal shows dark on light; with
// `colours` ANSI escapes make it so on any terminal.
std::string qrHalfBlocks(const QrMatrix& matrix, bool colours);

}  // namespace tavik::phone
