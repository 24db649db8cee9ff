// SPDX-License-Identifier: MIT
#pragma once

#include <QLineEdit>

namespace tavik::ui {

// The command field. It never scrolls horizontally: typing stops at 15 characters, or when the
// next character would not be fully visible. A text the program sets may be longer.
class CommandField : public QLineEdit {
  public:
    static constexpr int kMaxTyped = 15;

    explicit CommandField(QWidget* parent);

    // True when `text` fits the visible area with the cursor after its last character.
    bool fits(const QString& text) const;
    // The area the text is drawn in, in the field's coordinates.
    QRect textArea() const;
    // Where the cursor is drawn, for tests of the rule above.
    QRect cursorArea() const { return cursorRect(); }
};

}  // namespace tavik::ui
