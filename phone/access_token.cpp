// SPDX-License-Identifier: MIT
#include "access_token.hpp"

#include <algorithm>
#include <array>

namespace tavik::phone {
namespace {

constexpr std::size_t kTokenBytes = 16;
constexpr std::size_t kTokenDigits = 2 * kTokenBytes;

}  // namespace

Result<std::string> newAccessToken() {
    std::array<unsigned char, kTokenBytes> bytes{};
    if (const Result<void> filled = fillRandom(bytes.data(), bytes.size()); !filled) {
        return Failure{"cannot get random bytes: " + filled.error()};
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char b : bytes) {
        token += kDigits[b >> 4];
        token += kDigits[b & 0x0F];
    }
    return token;
}

bool isAccessToken(std::string_view text) {
    return text.size() == kTokenDigits && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

Result<std::string> tokenFromFileText(std::string_view text, const std::string& path) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    if (!isAccessToken(text)) {
        return Failure{"token file " + path + " does not hold a token (32 hex digits)"};
    }
    return std::string(text);
}

bool tokensEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return differ == 0;
}

}  // namespace tavik::phone
