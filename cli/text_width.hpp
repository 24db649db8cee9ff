// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace tavik::cli {

// Terminal columns of a UTF-8 text: East Asian wide and full-width characters take two.
int displayWidth(std::string_view utf8);

}  // namespace tavik::cli
