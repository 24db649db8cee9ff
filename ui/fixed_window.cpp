// SPDX-License-Identifier: MIT
#include "fixed_window.hpp"

#include <QWidget>
#include <QWindow>

namespace tavik::ui {

void keepWindowStateNormal(QWidget& window, bool closeWhenMinimised) {
    window.winId();  // creates the window handle whose state changes are watched
    QWindow* handle = window.windowHandle();
    // Direct: the request to undo goes out with the one it undoes, before any reply.
    QObject::connect(handle, &QWindow::windowStateChanged, &window,
                     [&window, handle, closeWhenMinimised](Qt::WindowState state) {
                         if (state == Qt::WindowMaximized) {
                             handle->setWindowStates(Qt::WindowNoState);
                         } else if (state == Qt::WindowMinimized && closeWhenMinimised) {
                             window.close();
                         }
                     });
}

}  // namespace tavik::ui
