// SPDX-License-Identifier: MIT
// A bare Win32 dialog that ends as soon as it exists: what tavik.exe's start is measured against.
#include <windows.h>

namespace {

INT_PTR CALLBACK endAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // DLGTEMPLATE, then empty menu, class and title.
    alignas(DWORD) WORD tmpl[16] = {};
    auto* header = reinterpret_cast<DLGTEMPLATE*>(tmpl);
    header->style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header->cx = 182;
    header->cy = 115;
    return static_cast<int>(DialogBoxIndirectParamW(instance, header, nullptr, endAtOnce, 0));
}
