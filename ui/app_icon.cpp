#include "app_icon.hpp"

namespace tavik::ui {

QIcon appIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/tavik-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/tavik-32.png"), QSize(32, 32));
    return icon;
}

}  // namespace tavik::ui
