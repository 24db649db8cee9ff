// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace tavik::ui {

// Qt draws the focus only after a Tab, and forgets it again when the window is shown or
// activated; this keeps it drawn in `window` from the start, as the Win32 window does, since
// its keys work before any Tab.
void showFocusFromTheStart(QWidget& window);

}  // namespace tavik::ui
