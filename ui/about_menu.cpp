// SPDX-License-Identifier: MIT
#include "about_menu.hpp"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QWidget>

namespace tavik::ui {

AboutMenu::AboutMenu(QWidget& window, std::function<void()> openAbout)
    : QObject(&window),
      m_window(window),
      m_openAbout(std::move(openAbout)),
      m_about(new QAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(tavik) (&A)..."), &window)) {
    m_about->setObjectName(QStringLiteral("aboutAction"));
    connect(m_about, &QAction::triggered, this, [this] { m_openAbout(); });
    auto* separator = new QAction(&window);
    separator->setSeparator(true);
    window.addAction(separator);
    window.addAction(m_about);
    window.installEventFilter(this);
    for (QWidget* child : window.findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

bool AboutMenu::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) {
        return false;
    }
    if (event->type() == QEvent::ContextMenu) {
        showMenu(widget, static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            m_openAbout();
            return true;
        }
        const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
        if (shiftF10 || key->key() == Qt::Key_Menu) {
            showMenu(widget, widget->mapToGlobal(QPoint(0, widget->height())));
            return true;
        }
    }
    return false;
}

void AboutMenu::showMenu(QWidget* widget, QPoint globalPosition) {
    auto* field = qobject_cast<QLineEdit*>(widget);
    QMenu* menu = field != nullptr ? field->createStandardContextMenu() : new QMenu(&m_window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (!menu->isEmpty()) {
        menu->addSeparator();
    }
    // The window's own items (the phone remote's, if any), then the separator and About.
    menu->addActions(m_window.actions());
    menu->popup(globalPosition);
}

}  // namespace tavik::ui
