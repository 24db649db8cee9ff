// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include "read_only_text.hpp"

class QListWidget;

namespace tavik::ui {

// What a screen reader sees of the log list: a list whose rows are its lines, and a read-only
// text of every line, each ended by a newline, so that a new line reaches a screen reader as
// "text inserted" on the list (see announceLine), and as a notification (see notify), without
// moving the focus.
class LogAccessible : public ReadOnlyTextAccessible {
  public:
    explicit LogAccessible(QListWidget* list);
    ~LogAccessible() override;

    // Raises the text-changed event for the line at `row`, which was just appended.
    static void announceLine(QListWidget* list, int row);
    // Shows `lines` as a notification of the log: what Orca speaks without the focus moving (it
    // speaks a text change only in the object with the focus).
    static void notify(QListWidget* list, const QString& lines);

    QString wholeText() const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;

  private:
    QListWidget* list() const;
    int rowAtOffset(int offset) const;

    // The rows' interfaces, made when first asked for; Qt's cache owns them.
    mutable std::vector<QAccessible::Id> m_rows;
    // The latest notifications, oldest first; a screen reader may still ask for them a little
    // after they were shown.
    std::vector<QAccessible::Id> m_notices;
};

}  // namespace tavik::ui
