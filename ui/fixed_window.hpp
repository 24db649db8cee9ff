// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace tavik::ui {

// For the fixed-size windows. On Wayland, Qt draws its own title bar, and the one of Qt 6.4
// shows the maximise and minimise buttons whatever the window's flags say. A maximise is taken
// back at once, before the compositor's maximised state would be acknowledged with the fixed
// size (a protocol error that ends the program). Wayland offers no way to bring a minimised
// window back, so a dialog that is minimised while it blocks its owner is closed instead, when
// `closeWhenMinimised`.
void keepWindowStateNormal(QWidget& window, bool closeWhenMinimised);

}  // namespace tavik::ui
