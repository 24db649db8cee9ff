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
    icon.addFile(QStringLiteral(":/icons/tavik-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/tavik-32.png"), QSize(32, 32));
    return icon;
}

}  // namespace tavik::ui
