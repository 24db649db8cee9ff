// SPDX-License-Identifier: MIT
#pragma once

#include "remote_view.hpp"

class QComboBox;

namespace tavik::ui {

// A QComboBox as the controller's drop-down list.
class ComboList : public ListControl {
  public:
    explicit ComboList(QComboBox* box) : m_box(box) {}

    int addItem(std::string_view text, int data) override;
    int itemData(int index) const override;
    int selection() const override;
    void select(int index) override;
    void clear() override;
    int find(std::string_view text) const override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;

  private:
    QComboBox* m_box;
};

}  // namespace tavik::ui
