// SPDX-License-Identifier: MIT
#pragma once

#include <QComboBox>

namespace tavik::ui {

// A drop-down list whose open list, closed part included, is at most `totalHeight` pixels tall
// and scrolls, in every style (some styles would otherwise open a menu with every item). A new
// current item is announced to screen readers (SelectorAccessible).
class DropDownList : public QComboBox {
  public:
    DropDownList(QWidget* parent, int totalHeight);

    void showPopup() override;

  private:
    int m_totalHeight;
    QString m_shownText;
};

}  // namespace tavik::ui
