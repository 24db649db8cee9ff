// SPDX-License-Identifier: MIT
#pragma once

namespace tavik::ui {

// Ends the process with `status` once its windows are gone, flushing only the standard streams.
// Nothing of Qt's own teardown is needed then, it costs every command-line send its time, and
// on Wayland Qt 6.4's can deadlock (its event thread waits for a read that never comes).
[[noreturn]] void endWithoutToolkitTeardown(int status);

}  // namespace tavik::ui
