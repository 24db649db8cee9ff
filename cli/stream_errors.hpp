// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>

namespace tavik::cli {

// Flushes `out`; when that or an earlier write failed, says so on `err` in one line and returns
// false. `reason` is the errno text of the failed write where the caller has it.
bool outputWritten(std::ostream& out, std::ostream& err);

// One line on `err` for a read error of standard input.
void reportReadError(std::ostream& err, const std::string& reason);

}  // namespace tavik::cli
