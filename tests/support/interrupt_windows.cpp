// SPDX-License-Identifier: MIT
#include <windows.h>

#include "interrupt.hpp"

namespace tavik::test {

bool interruptThisProcess() {
    return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
}

}  // namespace tavik::test
