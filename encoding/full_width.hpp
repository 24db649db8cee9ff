// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace tavik {

// UTF-8 `text` with each full-width form of an ASCII character (U+FF01..U+FF5E, what a Japanese
// input method types for "１２", "Ｔ３" or "ＫＵ") replaced by that character, as NFKC maps it.
// Every other byte, a broken sequence included, is kept as it is.
std::string asciiFromFullWidth(std::string_view text);

}  // namespace tavik
