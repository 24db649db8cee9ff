// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace tavik::ui {

// Dialog units of a font: a horizontal unit is a quarter of its average character width, a
// vertical unit an eighth of its height, so layouts keep their proportions with any font.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);

    QRect rect(int x, int y, int width, int height) const;
    QSize size(int width, int height) const;

    int baseWidth() const { return m_baseWidth; }
    int baseHeight() const { return m_baseHeight; }

  private:
    int toX(int units) const { return (units * m_baseWidth + 2) / 4; }
    int toY(int units) const { return (units * m_baseHeight + 4) / 8; }

    int m_baseWidth;
    int m_baseHeight;
};

// The fonts of the two dialogs: the named Windows face first, then an installed Japanese UI face.
QFont mainDialogFont();
QFont aboutDialogFont();

}  // namespace tavik::ui
