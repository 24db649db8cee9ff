// SPDX-License-Identifier: MIT
#include "selector_accessible.hpp"

#include <QAbstractItemView>
#include <QComboBox>

namespace tavik::ui {

SelectorAccessible::SelectorAccessible(QComboBox* box)
    : ReadOnlyTextAccessible(box, QAccessible::ComboBox) {}

void SelectorAccessible::announceItem(QComboBox* box, const QString& previous) {
    if (!QAccessible::isActive() ||
        dynamic_cast<SelectorAccessible*>(QAccessible::queryAccessibleInterface(box)) == nullptr) {
        return;
    }
    QAccessibleTextUpdateEvent event(box, 0, previous, box->currentText());
    QAccessible::updateAccessibility(&event);
}

QComboBox* SelectorAccessible::box() const {
    return static_cast<QComboBox*>(widget());
}

QString SelectorAccessible::wholeText() const {
    return box()->currentText();
}

QString SelectorAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) {
        return box()->currentText();
    }
    if (t == QAccessible::Name && box()->accessibleName().isEmpty()) {
        return box()->currentText();
    }
    return ReadOnlyTextAccessible::text(t);
}

int SelectorAccessible::childCount() const {
    return 1;
}

QAccessibleInterface* SelectorAccessible::child(int index) const {
    return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
}

int SelectorAccessible::indexOfChild(const QAccessibleInterface* child) const {
    return child != nullptr && child->object() == box()->view() ? 0 : -1;
}

QStringList SelectorAccessible::actionNames() const {
    return {showMenuAction(), pressAction()};
}

void SelectorAccessible::doAction(const QString& actionName) {
    if (actionName == showMenuAction() || actionName == pressAction()) {
        box()->showPopup();
    }
}

QStringList SelectorAccessible::keyBindingsForAction(const QString& /*actionName*/) const {
    return {};
}

}  // namespace tavik::ui
