// SPDX-License-Identifier: MIT
#include "window_states.hpp"

#include <QEvent>
#include <QLayout>
#include <QWidget>
#include <QWindow>

namespace tavik::ui {
namespace {

// The window handle whose state changes are watched, created when it is not there yet.
QWindow& handleOf(QWidget& widget) {
    widget.winId();
    return *widget.windowHandle();
}

// A request to maximise reports the new state at once, before the compositor's answer with the
// size arrives: the bounds are gone by then. They come back with the window's own size, that is
// with the compositor's answer to the restore, not with the request: until that answer, the
// window must keep the size it was given.
class SizeYield : public QObject {
  public:
    explicit SizeYield(QWidget& window) : QObject(&window), m_window(window) {
        connect(&handleOf(window), &QWindow::windowStateChanged, this,
                [this](Qt::WindowState state) { stateChanged(state); });
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Resize && m_fixed.isValid()) {
            if (m_window.size() != m_fixed) {
                m_grown = true;
            } else if (m_restoring) {
                fix();
            }
        }
        return false;
    }

  private:
    void stateChanged(Qt::WindowState state) {
        const bool large = state == Qt::WindowMaximized || state == Qt::WindowFullScreen;
        if (large && !m_fixed.isValid()) {
            m_fixed = m_window.size();
            QLayout* layout = m_window.layout();
            m_byLayout = layout && layout->sizeConstraint() == QLayout::SetFixedSize;
            // No least size either: a screen smaller than the window must not end it.
            if (m_byLayout) {
                layout->setSizeConstraint(QLayout::SetNoConstraint);
            }
            m_window.setMinimumSize(0, 0);
            m_window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        } else if (large) {
            m_restoring = false;
        } else if (m_fixed.isValid()) {
            m_restoring = true;
            if (!m_grown) {  // never given another size: nothing to wait for
                fix();
            }
        }
    }

    void fix() {
        if (m_byLayout) {
            m_window.layout()->setSizeConstraint(QLayout::SetFixedSize);
        } else {
            m_window.setFixedSize(m_fixed);
        }
        m_fixed = QSize();
        m_grown = m_restoring = false;
    }

    QWidget& m_window;
    QSize m_fixed;  // valid while the bounds are lifted
    bool m_byLayout = false;
    bool m_grown = false;
    bool m_restoring = false;
};

}  // namespace

void closeWhenMinimised(QWidget& dialog) {
    QObject::connect(&handleOf(dialog), &QWindow::windowStateChanged, &dialog,
                     [&dialog](Qt::WindowState state) {
                         if (state == Qt::WindowMinimized) {
                             dialog.close();
                         }
                     });
}

void yieldSizeWhenMaximised(QWidget& window) {
    new SizeYield(window);
}

}  // namespace tavik::ui
