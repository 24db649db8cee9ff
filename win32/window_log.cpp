// SPDX-License-Identifier: MIT
#include "window_log.hpp"

#include "resource.h"
#include "text_convert_win.hpp"

namespace tavik::win32 {
namespace {

// A window program has no standard error of its own; started from a console, it borrows the
// console's, and a redirect hands it a handle.
HANDLE errorHandle() {
    static const HANDLE handle = [] {
        HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
        if (h != nullptr && h != INVALID_HANDLE_VALUE) {
            return h;
        }
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
            return INVALID_HANDLE_VALUE;
        }
        return CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    }();
    return handle;
}

}  // namespace

bool writeErrorLine(std::string_view line) {
    const HANDLE h = errorHandle();
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(h, &mode)) {
        const std::wstring wide = wideFromUtf8(line) + L"\r\n";
        WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        const std::string bytes = std::string(line) + "\n";
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    return true;
}

WindowLog::WindowLog()
    : m_handOff([this](const std::string& line) { insert(line); },
                [this] {
                    // On the reader's thread: the window's thread takes the line in.
                    PostMessageW(m_dialog, kLogLinePending, 0, 0);
                }) {}

void WindowLog::bind(HWND dialog, HWND list) {
    m_dialog = dialog;
    m_list = list;
    m_newest = GetDlgItem(dialog, IDC_LOG_NEWEST);
}

void WindowLog::appendLog(std::string_view line) {
    m_handOff.appendLog(line);
}

void WindowLog::insert(const std::string& line) {
    writeErrorLine(line);
    if (m_list == nullptr) {
        return;
    }
    const std::wstring wide = wideFromUtf8(line);
    const LRESULT index = SendMessageW(m_list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(wide.c_str()));
    // Selecting scrolls the line into view; then nothing stays selected.
    SendMessageW(m_list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(m_list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    // Its name is the line: what a live region's change is announced with (Windows 8 and on;
    // earlier ones ignore the event). The focus stays where it is.
    if (m_newest != nullptr) {
        SetWindowTextW(m_newest, wide.c_str());
        NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, m_newest, OBJID_CLIENT, CHILDID_SELF);
    }
}

}  // namespace tavik::win32
