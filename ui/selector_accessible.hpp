// SPDX-License-Identifier: MIT
#pragma once

#include "read_only_text.hpp"

class QComboBox;

namespace tavik::ui {

// A drop-down list as a screen reader sees it: its name says what it is for (Qt on Linux would
// give the current item instead), its value and its text are the current item, its one child is
// the list of items, and its action opens that list.
class SelectorAccessible : public ReadOnlyTextAccessible {
  public:
    explicit SelectorAccessible(QComboBox* box);

    // Raises the text-changed event of a new current item, so that it is heard.
    static void announceItem(QComboBox* box, const QString& previous);

    QString wholeText() const override;
    QString text(QAccessible::Text t) const override;
    using ReadOnlyTextAccessible::text;  // the text interface's, by offsets
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

    // QAccessibleWidget is the action interface too.
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

  private:
    QComboBox* box() const;
};

}  // namespace tavik::ui
