// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace tavik::cli {

// Flushes `out`; when that or an earlier write failed, says so on `err` in one line (with the
// system's reason) and returns false.
bool outputWritten(std::ostream& out, std::ostream& err);

// What a batch reads when no file is named.
inline constexpr std::string_view kStandardInput = "standard input";

// One line on `err` for a read error of `source` (kStandardInput or a file's name).
void reportReadError(std::ostream& err, std::string_view source, const std::string& reason);

}  // namespace tavik::cli
