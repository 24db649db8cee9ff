// SPDX-License-Identifier: MIT
#include "minimised_dialog.hpp"

#include <QWidget>
#include <QWindow>

namespace tavik::ui {

void closeWhenMinimised(QWidget& dialog) {
    dialog.winId();  // creates the window handle whose state changes are watched
    QObject::connect(dialog.windowHandle(), &QWindow::windowStateChanged, &dialog,
                     [&dialog](Qt::WindowState state) {
                         if (state == Qt::WindowMinimized) {
                             dialog.close();
                         }
                     });
}

}  // namespace tavik::ui
