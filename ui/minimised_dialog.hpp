// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace tavik::ui {

// On Wayland, Qt draws its own title bar, and the one of Qt 6.4 shows a minimise button whatever
// the window's flags say. Wayland offers no way to bring a minimised window back, so a dialog
// that is minimised (while it blocks its owner, say) is closed instead.
void closeWhenMinimised(QWidget& dialog);

}  // namespace tavik::ui
