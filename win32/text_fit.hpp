// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <vector>

namespace tavik::win32 {

// Lays a dialog's controls out again for the texts they hold, so that none is cut whatever font
// stands in for the template's (a Japanese font's glyphs are wider than the template assumed).
// Only ever grows: the template's sizes are the least.
class TextFit {
  public:
    // Keeps the layout the dialog has now, from its template: call in WM_INITDIALOG.
    explicit TextFit(HWND dialog);

    // Each static text gets the height of the lines its text wraps to at its width, and a
    // read-only multi-line edit the width of its longest line (the dialog widens for it: links
    // read whole, never scrolled) and the height of its lines. What lies below a control that
    // grew moves down by as much, and the dialog grows to hold it all. Call again after a text
    // changed.
    void fit();

  private:
    enum class Kind { kText, kLines, kFixed };
    struct Item {
        HWND control;
        RECT rect;  // in the dialog's client area, as the template put it
        Kind kind;
    };

    HWND m_dialog;
    SIZE m_client{};     // the template's client area
    SIZE m_nonClient{};  // the frame and caption around it
    SIZE m_editFrame{};  // an edit's window size less its formatting rectangle
    std::vector<Item> m_items;
};

}  // namespace tavik::win32
