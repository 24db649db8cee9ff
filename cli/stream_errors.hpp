// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>

namespace tavik::cli {

// Flushes `out`; when that or an earlier write failed, says so on `err` in one line (with the
// system's reason) and returns false.
bool outputWritten(std::ostream& out, std::ostream& err);

// One line on `err` for a read error of standard input.
void reportReadError(std::ostream& err, const std::string& reason);

}  // namespace tavik::cli
