// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace tavik::ui {

// The application icon: its 16x16 and 32x32 images (16 colours) and the larger ones for higher
// scale factors.
QIcon appIcon();

}  // namespace tavik::ui
