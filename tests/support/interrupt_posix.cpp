// SPDX-License-Identifier: MIT
#include <csignal>

#include "interrupt.hpp"

namespace tavik::test {

bool interruptThisProcess() {
    return std::raise(SIGINT) == 0;
}

}  // namespace tavik::test
