// SPDX-License-Identifier: MIT
#pragma once

namespace tavik::cli {

// Standard output is a terminal (or console), where colour escapes are welcome.
bool standardOutputIsTerminal();

}  // namespace tavik::cli
