// SPDX-License-Identifier: MIT
#include "focus_cue.hpp"

#include <QEvent>
#include <QWidget>

namespace tavik::ui {
namespace {

class FocusCue : public QObject {
  public:
    explicit FocusCue(QWidget& window) : QObject(&window), m_window(window) {
        m_window.setAttribute(Qt::WA_KeyboardFocusChange);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window &&
            (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate)) {
            m_window.setAttribute(Qt::WA_KeyboardFocusChange);
        }
        return false;
    }

  private:
    QWidget& m_window;
};

}  // namespace

void showFocusFromTheStart(QWidget& window) {
    window.installEventFilter(new FocusCue(window));
}

}  // namespace tavik::ui
