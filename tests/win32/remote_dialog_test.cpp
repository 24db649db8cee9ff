// SPDX-License-Identifier: MIT
// The Win32 window over the scripted transmitter: run modally on a virtual display and driven
// from a thread timer inside its modal loop.
#include "remote_dialog.hpp"

#include <gtest/gtest.h>

#include <chrono>

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

}  // namespace
}  // namespace tavik::win32
