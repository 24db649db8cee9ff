// SPDX-License-Identifier: MIT
// The Win32 window over the scripted transmitter: run modally on a virtual display and driven
// from a thread timer inside its modal loop.
#include "remote_dialog.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cwchar>
#include <string>
#include <vector>

#include "control_ids.hpp"
#include "support/fake_hid_backend.hpp"
#include "text_convert_win.hpp"

namespace tavik::win32 {
namespace {

using Clock = std::chrono::steady_clock;

// What the timer works on; a timer procedure has no context of its own.
struct Script {
    test::FakeHidBackend backend;
    HWND dialog = nullptr;
    Clock::time_point unplugged;
    int handlesBeforeLoss = -1;
    int handlesAfterLoss = -1;
    std::string lastLine;
};
Script* g_script = nullptr;

std::string lastLogLine(HWND dialog) {
    HWND list = GetDlgItem(dialog, ids::kLogList);
    const LRESULT last = SendMessageW(list, LB_GETCOUNT, 0, 0) - 1;
    if (last < 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, last, 0)), L'\0');
    SendMessageW(list, LB_GETTEXT, last, reinterpret_cast<LPARAM>(text.data()));
    return utf8FromWide(text);
}

// Clicks KeyUP and pulls the transmitter out; then, once the window has closed what was left of
// the connection (or after 5 s), closes the window.
void CALLBACK tick(HWND, UINT, UINT_PTR timer, DWORD) {
    Script& s = *g_script;
    if (s.dialog == nullptr) {
        s.dialog = FindWindowW(L"#32770", L"TAVIK");
        if (s.dialog != nullptr) {
            SendMessageW(s.dialog, WM_COMMAND, MAKEWPARAM(ids::kKeyUp, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(s.dialog, ids::kKeyUp)));
            s.handlesBeforeLoss = s.backend.openHandles();
            s.backend.unplug("t");
            s.unplugged = Clock::now();
        }
        return;
    }
    if (s.backend.openHandles() > 0 && Clock::now() - s.unplugged < std::chrono::seconds(5)) {
        return;
    }
    s.handlesAfterLoss = s.backend.openHandles();
    s.lastLine = lastLogLine(s.dialog);
    KillTimer(nullptr, timer);
    PostMessageW(s.dialog, WM_CLOSE, 0, 0);
}

TEST(Win32Window, ALostConnectionIsClosedWithoutASend) {
    Script script;
    g_script = &script;
    script.backend.plug({.path = "t"});
    CRemoteDlg dialog(GetModuleHandleW(nullptr), script.backend, presetsFromArguments({"J"}));
    SetTimer(nullptr, 0, 10, tick);
    EXPECT_EQ(dialog.runModal(), IDCANCEL) << "the window did not open";
    EXPECT_EQ(script.handlesBeforeLoss, 2);
    EXPECT_EQ(script.handlesAfterLoss, 0) << "the write handle outlived the loss";
    EXPECT_EQ(script.lastLine, "デバイスからの受信に失敗しました。");
    g_script = nullptr;
}

void setClipboard(HWND owner, const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::wcscpy(static_cast<wchar_t*>(GlobalLock(data)), text.c_str());
    GlobalUnlock(data);
    SetClipboardData(CF_UNICODETEXT, data);
    CloseClipboard();
}

// What the command field holds after pasting each text into it, emptied before each.
std::vector<std::string> g_pasted;

void CALLBACK pasteEach(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"#32770", L"TAVIK");
    if (dialog == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    COMBOBOXINFO field{};
    field.cbSize = sizeof field;
    GetComboBoxInfo(GetDlgItem(dialog, ids::kCommandField), &field);
    for (const wchar_t* text : {L"123456789012", L"1234", L"12\r\n34"}) {
        SetWindowTextW(field.hwndItem, L"");
        setClipboard(dialog, text);
        SendMessageW(field.hwndItem, WM_PASTE, 0, 0);
        wchar_t got[32] = {};
        GetWindowTextW(field.hwndItem, got, 32);
        g_pasted.push_back(utf8FromWide(got));
    }
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

// The field does not scroll: a paste it cannot take whole is refused, not cut.
TEST(Win32Window, APasteThatDoesNotFitIsRefusedWhole) {
    test::FakeHidBackend backend;
    CRemoteDlg dialog(GetModuleHandleW(nullptr), backend, presetsFromArguments({"J"}));
    SetTimer(nullptr, 0, 10, pasteEach);
    EXPECT_EQ(dialog.runModal(), IDCANCEL);
    EXPECT_EQ(g_pasted, (std::vector<std::string>{"", "1234", ""}));
}

}  // namespace
}  // namespace tavik::win32
