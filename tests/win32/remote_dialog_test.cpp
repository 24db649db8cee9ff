// SPDX-License-Identifier: MIT
// The Win32 window over the scripted transmitter: run modally on a virtual display and driven
// from a thread timer inside its modal loop.
#include "remote_dialog.hpp"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <atomic>
#include <chrono>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "control_ids.hpp"
#include "resource.h"
#include "support/fake_hid_backend.hpp"
#include "support/http_client.hpp"
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

// What a screen reader is told of the command field over MSAA (Wine's oleacc models edit
// controls only): its name and shortcut from its label; the shortcut works though the dialog
// manager cannot see the label's mnemonic; each log line is raised as a live-region change of
// the hidden static that holds it.
struct ReaderScript {
    int step = 0;
    std::wstring name, shortcut, newest;
    bool focusedByMnemonic = false;
    std::vector<std::wstring> announced;  // the live static's text at each live-region event
};
ReaderScript* g_reader = nullptr;
// EVENT_OBJECT_LIVEREGIONCHANGED (Windows 8 on), whose name Boost's Windows 7 target hides here.
constexpr DWORD kLiveRegionChanged = 0x8019;

void CALLBACK liveRegionChanged(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    g_reader->announced.push_back(text);
}

std::wstring accessibleText(HWND window, HRESULT (IAccessible::*get)(VARIANT, BSTR*)) {
    IAccessible* accessible = nullptr;
    std::wstring text;
    if (SUCCEEDED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                             __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&accessible)))) {
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR got = nullptr;
        if (SUCCEEDED((accessible->*get)(self, &got)) && got != nullptr) {
            text = got;
            SysFreeString(got);
        }
        accessible->Release();
    }
    return text;
}

void CALLBACK readAsAScreenReader(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"#32770", L"TAVIK");
    if (dialog == nullptr) {
        return;
    }
    ReaderScript& s = *g_reader;
    COMBOBOXINFO field{};
    field.cbSize = sizeof field;
    GetComboBoxInfo(GetDlgItem(dialog, ids::kCommandField), &field);
    if (s.step++ == 0) {
        s.name = accessibleText(field.hwndItem, &IAccessible::get_accName);
        s.shortcut = accessibleText(field.hwndItem, &IAccessible::get_accKeyboardShortcut);
        SetFocus(GetDlgItem(dialog, ids::kSend));
        PostMessageW(GetFocus(), WM_SYSCHAR, L'c', 1 << 29);  // Alt+C, through the dialog's loop
        return;
    }
    KillTimer(nullptr, timer);
    s.focusedByMnemonic = GetFocus() == field.hwndItem;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(ids::kKeyUp, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, ids::kKeyUp)));
    wchar_t newest[64] = {};
    GetDlgItemTextW(dialog, IDC_LOG_NEWEST, newest, 64);
    s.newest = newest;
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

TEST(Win32Window, NamesTheCommandFieldToScreenReaders) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    test::FakeHidBackend backend;
    ReaderScript script;
    g_reader = &script;
    CRemoteDlg dialog(GetModuleHandleW(nullptr), backend, presetsFromArguments({"J"}));
    SetTimer(nullptr, 0, 10, readAsAScreenReader);
    HWINEVENTHOOK hook =
        SetWinEventHook(kLiveRegionChanged, kLiveRegionChanged, nullptr, liveRegionChanged,
                        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    EXPECT_EQ(dialog.runModal(), IDCANCEL);
    UnhookWinEvent(hook);
    EXPECT_EQ(utf8FromWide(script.name), "曲番号・機能(C)");
    EXPECT_EQ(utf8FromWide(script.shortcut), "Alt+C");
    EXPECT_TRUE(script.focusedByMnemonic);
    EXPECT_EQ(utf8FromWide(script.newest), "tavik J KU");
    ASSERT_EQ(script.announced.size(), 2U) << "one event a line";
    EXPECT_EQ(utf8FromWide(script.announced[1]), "tavik J KU");
    g_reader = nullptr;
    CoUninitialize();
}

// The phones' item, driven step by step from the window's own thread: a phone's send must run
// on that thread, so the phone waits on one of its own.
struct PhoneScript {
    int step = 0;
    HWND box = nullptr;
    bool besideWindow = false;
    bool codeDrawn = false;
    std::string system;
    std::atomic<int> sendStatus{0};
    std::thread phone;
    std::vector<std::string> log;  // after the send, after Enter, after the stop button
    int pageAfterEnter = 0;
    int pageAfterStop = 0;
    int port = 0;
};
PhoneScript* g_phones = nullptr;

std::string dialogItemText(HWND window, int id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(window, id, text, 512);
    return utf8FromWide(text);
}

// The window menu's item whose text is `caption`, or 0.
UINT menuItem(HWND window, const wchar_t* caption) {
    HMENU menu = GetSystemMenu(window, FALSE);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        if (std::wcscmp(text, caption) == 0) {
            return GetMenuItemID(menu, i);
        }
    }
    return 0;
}

void CALLBACK drivePhones(HWND, UINT, UINT_PTR timer, DWORD) {
    PhoneScript& s = *g_phones;
    HWND dialog = FindWindowW(L"#32770", L"TAVIK");
    switch (s.step) {
        case 0: {
            const UINT item = dialog != nullptr ? menuItem(dialog, L"スマホで操作(&R)...") : 0;
            if (item == 0) {
                return;
            }
            SendMessageW(dialog, WM_SYSCOMMAND, item, 0);
            s.box = FindWindowW(L"#32770", L"スマホで操作");
            if (s.box == nullptr) {
                break;
            }
            RECT window{}, box{}, both{};
            GetWindowRect(dialog, &window);
            GetWindowRect(s.box, &box);
            s.besideWindow = IsWindowVisible(s.box) && !IntersectRect(&both, &window, &box);
            s.system = dialogItemText(s.box, IDC_PHONE_SYSTEM);
            // A link on loopback: http://127.0.0.1:PORT/#k=TOKEN
            const std::string links = dialogItemText(s.box, IDC_PHONE_LINKS);
            const std::size_t at = links.find("127.0.0.1:");
            if (at == std::string::npos) {
                break;
            }
            s.port = std::stoi(links.substr(at + 10));
            const std::size_t key = links.find("#k=", at);
            const std::string token = links.substr(key + 3, 32);
            s.phone = std::thread([&s, token] {
                s.sendStatus =
                    test::postSend(s.port, token, R"({"system":"T3","command":"12"})").status;
            });
            s.step = 1;
            return;
        }
        case 1: {
            if (s.sendStatus.load() == 0) {
                return;
            }
            s.phone.join();
            // The code's modules are drawn: the control holds both dark and light pixels.
            HWND code = GetDlgItem(s.box, IDC_PHONE_QR);
            RedrawWindow(code, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            RECT area{};
            GetClientRect(code, &area);
            HDC dc = GetDC(code);
            int dark = 0;
            int light = 0;
            for (int y = 0; y < area.bottom; y += 3) {
                for (int x = 0; x < area.right; x += 3) {
                    if (GetPixel(dc, x, y) == RGB(0, 0, 0)) {
                        ++dark;
                    } else {
                        ++light;
                    }
                }
            }
            ReleaseDC(code, dc);
            s.codeDrawn = dark > 50 && light > dark;
            s.log.push_back(lastLogLine(dialog));
            SendMessageW(s.box, WM_COMMAND, IDOK, 0);  // Enter
            s.pageAfterEnter = IsWindow(s.box) ? test::httpRequest(s.port, "GET", "/").status : 0;
            SendDlgItemMessageW(s.box, IDC_PHONE_STOP, BM_CLICK, 0, 0);
            s.step = 2;
            return;
        }
        default:
            if (IsWindow(s.box)) {
                return;
            }
            s.log.push_back(lastLogLine(dialog));
            s.pageAfterStop = test::httpRequest(s.port, "GET", "/").status;
            break;
    }
    KillTimer(nullptr, timer);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

// The window serves phones from its menu: the box beside it with the code and the links, a phone's
// send in the window's log, Enter stopping nothing, the box's button stopping the serving.
TEST(Win32Window, ServesPhonesFromItsMenu) {
    test::FakeHidBackend backend;
    PhoneScript script;
    g_phones = &script;
    CRemoteDlg dialog(GetModuleHandleW(nullptr), backend, presetsFromArguments({"T3"}));
    SetTimer(nullptr, 0, 20, drivePhones);
    EXPECT_EQ(dialog.runModal(), IDCANCEL);
    if (script.phone.joinable()) {
        script.phone.join();
    }
    ASSERT_EQ(script.step, 2) << "no box, or no loopback link in it";
    EXPECT_TRUE(script.besideWindow);
    EXPECT_TRUE(script.codeDrawn);
    EXPECT_NE(script.system.find("TOEI システム 3"), std::string::npos) << script.system;
    EXPECT_EQ(script.sendStatus.load(), 200);
    EXPECT_EQ(script.pageAfterEnter, 200) << "Enter closed the box or stopped the serving";
    EXPECT_EQ(script.log,
              (std::vector<std::string>{"tavik T3 12", "スマホからの操作の受付を終了しました。"}));
    EXPECT_EQ(script.pageAfterStop, -1) << "the port stays open";
    g_phones = nullptr;
}

}  // namespace
}  // namespace tavik::win32
