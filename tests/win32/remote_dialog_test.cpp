// SPDX-License-Identifier: MIT
// The Win32 window over the scripted transmitter: run modally on a virtual display and driven
// from a thread timer inside its modal loop.
#include "remote_dialog.hpp"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cwchar>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "control_ids.hpp"
#include "phone_messages.hpp"
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

constexpr const wchar_t* kPhoneItem = L"スマホで操作(&Q)...";

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
            const UINT item = dialog != nullptr ? menuItem(dialog, kPhoneItem) : 0;
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
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);  // Escape: ignored, and said so
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
    EXPECT_EQ(script.pageAfterEnter, 200)
        << "Escape or Enter closed the window or the box, or stopped the serving";
    EXPECT_EQ(script.log, (std::vector<std::string>{
                              "tavik T3 12", std::string(phone::messages::kEscapeWhileServing),
                              "スマホからの操作の受付を終了しました。"}));
    EXPECT_EQ(script.pageAfterStop, -1) << "the port stays open";
    g_phones = nullptr;
}

// The access key of a window menu item ('&' before it), upper case; 0 when it has none.
wchar_t accessKey(HMENU menu, UINT id) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, id, text, 64, MF_BYCOMMAND);
    const wchar_t* key = std::wcschr(text, L'&');
    return key != nullptr ? static_cast<wchar_t>(std::towupper(key[1])) : 0;
}

// Whether tavik's items of the window menu have access keys that none of the system's items
// takes, so that Alt+Space and the key opens them (R was Restore's).
bool menuKeysAreOwn(HWND window, UINT phoneItem) {
    HMENU menu = GetSystemMenu(window, FALSE);
    std::wstring taken;
    for (UINT id : {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE}) {
        if (const wchar_t key = accessKey(menu, id)) {
            taken += key;
        }
    }
    const auto own = [&](UINT id) {
        return accessKey(menu, id) != 0 && taken.find(accessKey(menu, id)) == std::wstring::npos;
    };
    return taken.size() >= 4 && own(phoneItem) && own(ids::kAboutCommand);
}

std::wstring windowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// What of `box` would not show whole: a static text that needs more than its rectangle in its
// font, a read-only edit with a line wider or more lines than it shows or scrolled away from its
// start, a control that reaches outside the box.
std::vector<std::string> clippedTexts(HWND box) {
    std::vector<std::string> clipped;
    RECT client{};
    GetClientRect(box, &client);
    for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        const std::wstring text = windowText(c);
        const std::string name = utf8FromWide(text);
        RECT where{};
        GetWindowRect(c, &where);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&where), 2);
        if (where.left < 0 || where.top < 0 || where.right > client.right ||
            where.bottom > client.bottom) {
            clipped.push_back("outside the box: " + name);
        }
        wchar_t kind[16] = {};
        GetClassNameW(c, kind, 16);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(c, GWL_STYLE));
        RECT area{};
        GetClientRect(c, &area);
        HDC dc = GetDC(c);
        const HGDIOBJ font =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(c, WM_GETFONT, 0, 0)));
        if (_wcsicmp(kind, L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT && !text.empty()) {
            RECT needed{0, 0, area.right, 0};
            DrawTextW(dc, text.c_str(), -1, &needed,
                      DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS |
                          ((style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0U));
            if (needed.right > area.right || needed.bottom > area.bottom) {
                clipped.push_back(name);
            }
        } else if (_wcsicmp(kind, L"Edit") == 0 && (style & ES_MULTILINE) != 0) {
            RECT shown{};
            SendMessageW(c, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
            int lines = 0;
            for (std::size_t start = 0; start <= text.size(); ++lines) {
                const std::size_t end = std::min(text.find(L"\r\n", start), text.size());
                RECT needed{};
                DrawTextW(dc, text.c_str() + start, static_cast<int>(end - start), &needed,
                          DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
                if (needed.right > shown.right - shown.left) {
                    clipped.push_back("wider than its field: " + name);
                }
                start = end + 2;
            }
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            const LRESULT first = SendMessageW(c, EM_POSFROMCHAR, 0, 0);
            if (lines * metrics.tmHeight > shown.bottom - shown.top ||
                static_cast<short>(LOWORD(first)) < shown.left ||
                SendMessageW(c, EM_GETFIRSTVISIBLELINE, 0, 0) != 0) {
                clipped.push_back("not all shown from its start: " + name);
            }
        }
        SelectObject(dc, font);
        ReleaseDC(c, dc);
    }
    return clipped;
}

// Opens the About box, then the phones' box, and notes what does not show whole in each; then
// chooses the system with the longest name, whose text in the phones' box is longer.
struct LayoutScript {
    int step = 0;
    std::vector<std::string> clipped;
    bool menuKeysOwn = false;
    std::string systemText;
};
LayoutScript* g_layout = nullptr;

void choose(HWND dialog, int id, const wchar_t* item) {
    HWND list = GetDlgItem(dialog, id);
    SendMessageW(list, CB_SETCURSEL,
                 static_cast<WPARAM>(SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(item))),
                 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void CALLBACK checkLayout(HWND, UINT, UINT_PTR timer, DWORD) {
    LayoutScript& s = *g_layout;
    HWND dialog = FindWindowW(L"#32770", L"TAVIK");
    if (dialog == nullptr) {
        return;
    }
    const auto note = [&s](const char* box, HWND window) {
        for (const std::string& text : clippedTexts(window)) {
            s.clipped.push_back(std::string(box) + ": " + text);
        }
    };
    if (s.step == 0) {
        s.menuKeysOwn = menuKeysAreOwn(dialog, menuItem(dialog, kPhoneItem));
        PostMessageW(dialog, WM_SYSCOMMAND, ids::kAboutCommand, 0);
        s.step = 1;
        return;
    }
    if (s.step == 1) {
        HWND about = FindWindowW(L"#32770", L"ﾊﾞｰｼﾞｮﾝ情報 tavik");
        if (about == nullptr) {
            return;
        }
        note("About", about);
        SendMessageW(about, WM_COMMAND, IDOK, 0);
        s.step = 2;
        return;
    }
    KillTimer(nullptr, timer);
    SendMessageW(dialog, WM_SYSCOMMAND, menuItem(dialog, kPhoneItem), 0);
    if (HWND box = FindWindowW(L"#32770", L"スマホで操作")) {
        note("phones", box);
        choose(dialog, IDC_SYSTEM, L"ALISA3 (Mk→No)");
        choose(dialog, IDC_NUMBER, L"9");
        s.systemText = dialogItemText(box, IDC_PHONE_SYSTEM);
        note("phones, ALISA3 9", box);
        s.step = 3;
    }
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

// No text of the About box or the phones' box is cut, in the Japanese font that stands in for
// the templates' (their second lines, their ends, the links' start were), and the window menu's
// items have access keys of their own.
TEST(Win32Window, NoTextNeedsMoreThanItsRectangle) {
    test::FakeHidBackend backend;
    LayoutScript script;
    g_layout = &script;
    CRemoteDlg dialog(GetModuleHandleW(nullptr), backend, presetsFromArguments({"T3"}));
    SetTimer(nullptr, 0, 20, checkLayout);
    EXPECT_EQ(dialog.runModal(), IDCANCEL);
    ASSERT_EQ(script.step, 3) << "the boxes did not open";
    EXPECT_TRUE(script.menuKeysOwn);
    EXPECT_NE(script.systemText.find("ALISA3 (Mk→No) 9"), std::string::npos) << script.systemText;
    EXPECT_EQ(script.clipped, std::vector<std::string>{});
    g_layout = nullptr;
}

}  // namespace
}  // namespace tavik::win32
