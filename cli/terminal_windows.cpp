// SPDX-License-Identifier: MIT
#include <io.h>

#include <cstdio>

#include "terminal.hpp"

namespace tavik::cli {

bool standardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

}  // namespace tavik::cli
