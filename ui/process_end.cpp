// SPDX-License-Identifier: MIT
#include "process_end.hpp"

#include <cstdio>
#include <cstdlib>

namespace tavik::ui {

void endWithoutToolkitTeardown(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace tavik::ui
