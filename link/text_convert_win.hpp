// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace tavik {

// UTF-8 and the UTF-16 of the Windows wide-character API.
std::string utf8FromWide(std::wstring_view wide);
std::wstring wideFromUtf8(std::string_view utf8);

}  // namespace tavik
