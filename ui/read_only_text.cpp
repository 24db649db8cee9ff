// SPDX-License-Identifier: MIT
#include "read_only_text.hpp"

#include <algorithm>

namespace tavik::ui {

void* ReadOnlyTextAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State ReadOnlyTextAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    return s;
}

void ReadOnlyTextAccessible::selection(int /*selectionIndex*/, int* startOffset,
                                       int* endOffset) const {
    *startOffset = 0;
    *endOffset = 0;
}

QString ReadOnlyTextAccessible::text(int startOffset, int endOffset) const {
    const QString all = wholeText();
    if (endOffset < 0 || endOffset > all.size()) {
        endOffset = static_cast<int>(all.size());
    }
    startOffset = std::clamp(startOffset, 0, endOffset);
    return all.mid(startOffset, endOffset - startOffset);
}

QString ReadOnlyTextAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = offset < 0 ? -1 : 0;
    *endOffset = offset < 0 ? -1 : characterCount();
    return {};
}

}  // namespace tavik::ui
