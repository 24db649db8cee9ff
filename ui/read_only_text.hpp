// SPDX-License-Identifier: MIT
#pragma once

#include <QAccessibleWidget>

namespace tavik::ui {

// A widget's interface with a read-only text for screen readers: no caret, no selection, one run
// without attributes. Over AT-SPI, Qt 6.4 carries a changed text itself only in text-changed
// events, which need this interface; that is why the log and the selectors have it.
class ReadOnlyTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    using QAccessibleWidget::QAccessibleWidget;

    // The whole text.
    virtual QString wholeText() const = 0;

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int /*startOffset*/, int /*endOffset*/) override {}
    void removeSelection(int /*selectionIndex*/) override {}
    void setSelection(int /*selectionIndex*/, int /*startOffset*/, int /*endOffset*/) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int /*position*/) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override { return static_cast<int>(wholeText().size()); }
    // The widget's area: finer than that, these texts are not drawn as one.
    QRect characterRect(int /*offset*/) const override { return rect(); }
    int offsetAtPoint(const QPoint& /*point*/) const override { return 0; }
    void scrollToSubstring(int /*startIndex*/, int /*endIndex*/) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // QAccessibleWidget's text() is the name, description and so on.
    using QAccessibleWidget::text;
};

}  // namespace tavik::ui
