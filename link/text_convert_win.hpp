// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace tavik {

// UTF-8 and the UTF-16 of the Windows wide-character API.
std::string utf8FromWide(std::wstring_view wide);
std::wstring wideFromUtf8(std::string_view utf8);
// The system's own words for a Win32 error code, in UTF-8 without the line end or the final
// full stop; "error N" when it has none.
std::string systemErrorText(unsigned long code);

}  // namespace tavik
