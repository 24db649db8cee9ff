// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace tavik::ui {

// The application icon: its 32x32 and 16x16 images (16 colours) and the scalable source.
QIcon appIcon();

}  // namespace tavik::ui
