// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace tavik::win32 {

// The main dialog's controls that have no visible label have a hidden one just before them, which
// names them to screen readers and gives them a mnemonic. The dialog manager passes over hidden
// labels' mnemonics, so Alt and a letter that no menu item has (WM_MENUCHAR) comes here: moves
// the focus to the control that the label with mnemonic `key` (any case) names. False when no
// label has it.
bool focusByHiddenLabel(HWND dialog, wchar_t key);

// A screen reader names an edit control after the static text before it among its siblings, and
// reads that label's mnemonic as its shortcut; the edit of a simple combo box has no such
// sibling, so it gets a copy of the combo's hidden `label` there, of no size.
void labelComboEdit(HWND combo, HWND edit, HWND label);

}  // namespace tavik::win32
