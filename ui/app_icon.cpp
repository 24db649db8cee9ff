// SPDX-License-Identifier: MIT
#include "app_icon.hpp"

// The resources live in a static library: nothing references them, so the linker would drop
// them unless they are initialised explicitly. Outside any namespace, as Qt requires.
static void initialiseResources() {
    Q_INIT_RESOURCE(tavik);
}

namespace tavik::ui {

QIcon appIcon() {
    initialiseResources();
    QIcon icon;
    // Each size drawn for itself; Qt picks the one that fits the scale factor.
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/tavik-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace tavik::ui
