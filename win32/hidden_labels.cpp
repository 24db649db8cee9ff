// SPDX-License-Identifier: MIT
#include "hidden_labels.hpp"

#include <cwchar>
#include <cwctype>
#include <initializer_list>

#include "resource.h"

namespace tavik::win32 {

bool focusByHiddenLabel(HWND dialog, wchar_t key) {
    for (const int id : {IDC_SYSTEM_LABEL, IDC_NUMBER_LABEL, IDC_COMMAND_LABEL, IDC_LOG_LABEL}) {
        HWND label = GetDlgItem(dialog, id);
        wchar_t text[64] = {};
        GetWindowTextW(label, text, 64);
        const wchar_t* amp = std::wcschr(text, L'&');
        if (amp == nullptr || std::towupper(amp[1]) != std::towupper(key)) {
            continue;
        }
        // The control is the next window after its label; the dialog's own way of moving the
        // focus keeps the default button right.
        HWND control = GetWindow(label, GW_HWNDNEXT);
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        return true;
    }
    return false;
}

void labelComboEdit(HWND combo, HWND edit, HWND label) {
    wchar_t text[64] = {};
    GetWindowTextW(label, text, 64);
    // Visible but of no size: screen readers take a shortcut only from a visible label, and the
    // one this copy names works (see focusByHiddenLabel). Disabled, so that the dialog manager
    // does not take its mnemonic as its own and move the focus past the field.
    HWND copy = CreateWindowExW(
        0, L"STATIC", text, WS_CHILD | WS_VISIBLE | WS_DISABLED, 0, 0, 0, 0, combo, nullptr,
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(edit, GWLP_HINSTANCE)), nullptr);
    // First among the combo's children, so that it comes before the edit.
    SetWindowPos(copy, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace tavik::win32
