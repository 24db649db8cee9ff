// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class QAction;
class QWidget;

namespace tavik::ui {

// The About item "ﾊﾞｰｼﾞｮﾝ情報(tavik) (&A)...", reachable from anywhere in a window: the context
// menu of the window and of every control in it (by the mouse, the menu key or Shift+F10) ends
// with a separator and the item (the command field's after its edit items), and F1 opens the
// About box directly. Belongs to the window; install it once its controls exist.
class AboutMenu : public QObject {
  public:
    AboutMenu(QWidget& window, std::function<void()> openAbout);

    QAction* aboutAction() const { return m_about; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showMenu(QWidget* widget, QPoint globalPosition);

    QWidget& m_window;
    std::function<void()> m_openAbout;
    QAction* m_about;
};

}  // namespace tavik::ui
