// SPDX-License-Identifier: MIT
#include <unistd.h>

#include "terminal.hpp"

namespace tavik::cli {

bool standardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

}  // namespace tavik::cli
