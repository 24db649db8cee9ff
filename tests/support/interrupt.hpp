// SPDX-License-Identifier: MIT
#pragma once

namespace tavik::test {

// What Ctrl+C does to this process: SIGINT, or the console's Ctrl+C event. False where the
// platform could not deliver it (a Windows process without a console).
bool interruptThisProcess();

}  // namespace tavik::test
