// SPDX-License-Identifier: MIT
#include "qt_owner_loop.hpp"

#include <QTimer>

namespace tavik::ui {

void QtOwnerLoop::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&m_context, std::move(task), Qt::QueuedConnection);
}

void QtOwnerLoop::runAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    // A precise timer: the gap is a least time, and a coarse one may fire 5 % early.
    QTimer::singleShot(delay, Qt::PreciseTimer, &m_context, std::move(task));
}

}  // namespace tavik::ui
