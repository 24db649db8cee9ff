// SPDX-License-Identifier: MIT
#include "qr_code.hpp"

#include <qrcodegen.hpp>
#include <stdexcept>

namespace tavik::phone {
namespace {

constexpr int kQuietZone = 4;  // modules of light border that scanners need

}  // namespace

QrMatrix qrMatrix(std::string_view text) {
    QrMatrix matrix;
    try {
        const std::string zeroTerminated(text);
        const auto code =
            qrcodegen::QrCode::encodeText(zeroTerminated.c_str(), qrcodegen::QrCode::Ecc::MEDIUM);
        matrix.size = code.getSize();
        matrix.dark.reserve(static_cast<std::size_t>(matrix.size) *
                            static_cast<std::size_t>(matrix.size));
        for (int y = 0; y < matrix.size; ++y) {
            for (int x = 0; x < matrix.size; ++x) {
                matrix.dark.push_back(code.getModule(x, y));
            }
        }
    } catch (const std::length_error&) {
        return {};  // longer than any QR code holds
    }
    return matrix;
}

std::string qrHalfBlocks(const QrMatrix& matrix, bool colours) {
    if (matrix.size == 0) {
        return {};
    }
    std::string out;
    const int first = -kQuietZone;
    const int end = matrix.size + kQuietZone;
    for (int y = first; y < end; y += 2) {
        if (colours) {
            out += "\x1b[97;40m";
        }
        for (int x = first; x < end; ++x) {
            const bool topLight = !matrix.isDark(x, y);
            const bool bottomLight = y + 1 < end && !matrix.isDark(x, y + 1);
            out += topLight ? (bottomLight ? "█" : "▀") : (bottomLight ? "▄" : " ");
        }
        if (colours) {
            out += "\x1b[0m";
        }
        out += '\n';
    }
    return out;
}

}  // namespace tavik::phone
