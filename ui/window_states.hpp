// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace tavik::ui {

// On Wayland, Qt draws its own title bar, and the one of Qt 6.4 shows minimise and maximise
// buttons whatever the window's flags say.

// Wayland offers no way to bring a minimised window back, so a dialog that is minimised (while
// it blocks its owner, say) is closed instead.
void closeWhenMinimised(QWidget& dialog);

// A maximised window must take the size the compositor gives it, or the compositor ends the
// connection and with it the program. So a fixed-size window gives up its bounds while it is
// maximised (its controls keep their places) and takes them back when it is restored.
void yieldSizeWhenMaximised(QWidget& window);

}  // namespace tavik::ui
