// SPDX-License-Identifier: MIT
#include "combo_box_list.hpp"

#include "text_convert_win.hpp"

namespace tavik::win32 {

int ComboBoxList::addItem(std::string_view text, int data) {
    const std::wstring wide = wideFromUtf8(text);
    const auto index = static_cast<int>(
        SendMessageW(m_box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
    if (index >= 0) {
        SendMessageW(m_box, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
    }
    return index;
}

int ComboBoxList::itemData(int index) const {
    return index < 0 ? -1
                     : static_cast<int>(
                           SendMessageW(m_box, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

int ComboBoxList::selection() const {
    return static_cast<int>(SendMessageW(m_box, CB_GETCURSEL, 0, 0));
}

void ComboBoxList::select(int index) {
    SendMessageW(m_box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void ComboBoxList::clear() {
    SendMessageW(m_box, CB_RESETCONTENT, 0, 0);
}

int ComboBoxList::find(std::string_view text) const {
    const std::wstring wide = wideFromUtf8(text);
    const auto index =
        static_cast<int>(SendMessageW(m_box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(wide.c_str())));
    return index == CB_ERR ? -1 : index;
}

void ComboBoxList::setEnabled(bool enabled) {
    EnableWindow(m_box, enabled ? TRUE : FALSE);
}

bool ComboBoxList::isEnabled() const {
    return IsWindowEnabled(m_box) != 0;
}

}  // namespace tavik::win32
