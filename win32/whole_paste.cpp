// SPDX-License-Identifier: MIT
#include "whole_paste.hpp"

#include <commctrl.h>

#include <string>

namespace tavik::win32 {
namespace {

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring clipboardText(HWND owner) {
    std::wstring text;
    if (!OpenClipboard(owner)) {
        return text;
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

LRESULT CALLBACK pasteWholeOrNothing(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR) {
    if (message != WM_PASTE) {
        return DefSubclassProc(edit, message, wParam, lParam);
    }
    const std::wstring before = windowText(edit);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const std::wstring whole = before.substr(0, start) + clipboardText(edit) + before.substr(end);
    const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
    if (windowText(edit) != whole) {
        SetWindowTextW(edit, before.c_str());
        SendMessageW(edit, EM_SETSEL, start, end);
        MessageBeep(MB_OK);
    }
    return result;
}

}  // namespace

void refusePartialPastes(HWND edit) {
    SetWindowSubclass(edit, pasteWholeOrNothing, 0, 0);
}

}  // namespace tavik::win32
