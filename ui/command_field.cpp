// SPDX-License-Identifier: MIT
#include "command_field.hpp"

#include <QFontMetricsF>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>
#include <cmath>

namespace tavik::ui {
namespace {

// QLineEdit keeps this many pixels between the frame's contents and the text, on each side.
constexpr int kLineEditMargin = 2;
// The text cursor after the last character needs its pixel too, or the field scrolls.
constexpr int kCursorWidth = 1;

class TypingLimit : public QValidator {
  public:
    explicit TypingLimit(CommandField* field) : QValidator(field), m_field(field) {}

    State validate(QString& input, int&) const override {
        return input.size() <= CommandField::kMaxTyped && m_field->fits(input) ? Acceptable
                                                                               : Invalid;
    }

  private:
    CommandField* m_field;
};

}  // namespace

CommandField::CommandField(QWidget* parent) : QLineEdit(parent) {
    setValidator(new TypingLimit(this));
}

QRect CommandField::textArea() const {
    QStyleOptionFrame option;
    initStyleOption(&option);
    QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    area = area.marginsRemoved(textMargins());
    return area.adjusted(kLineEditMargin, 0, -kLineEditMargin, 0);
}

bool CommandField::fits(const QString& text) const {
    if (text.isEmpty()) {
        return true;
    }
    // The line edit scrolls once the cursor reaches the area's width; the last glyph may also
    // reach past its advance.
    const QFontMetricsF metrics(font());
    const qreal ink =
        metrics.horizontalAdvance(text) + std::max(0.0, -metrics.rightBearing(text.back()));
    return std::ceil(ink) + kCursorWidth <= textArea().width();
}

}  // namespace tavik::ui
