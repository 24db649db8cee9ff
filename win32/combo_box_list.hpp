// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include "remote_view.hpp"

namespace tavik::win32 {

// A drop-down list control (combo box) as the controller's list, through its messages.
class ComboBoxList : public ListControl {
  public:
    void bind(HWND box) { m_box = box; }

    int addItem(std::string_view text, int data) override;
    int itemData(int index) const override;
    int selection() const override;
    void select(int index) override;
    void clear() override;
    int find(std::string_view text) const override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;

  private:
    HWND m_box = nullptr;
};

}  // namespace tavik::win32
