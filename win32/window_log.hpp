// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include "cross_thread_log.hpp"

namespace tavik::win32 {

// Posted to the dialog when another thread has handed a log line over.
inline constexpr UINT kLogLinePending = WM_APP + 1;

// The log list box: each line goes to the end, is scrolled into view and left unselected, and
// also goes to standard error where the program has one (a console or a redirect). A line from
// another thread is handed to the window's thread by a posted message. Screen readers hear each
// line from a hidden static that holds the newest one and tells of it as a live region.
class WindowLog : public LogSink {
  public:
    // The constructing thread is the window's thread.
    WindowLog();

    // The dialog and its list box, once they exist; the hidden static for the newest line is the
    // dialog's IDC_LOG_NEWEST.
    void bind(HWND dialog, HWND list);

    void appendLog(std::string_view line) override;
    void whileBlocked(const std::function<void()>& wait) override { m_handOff.whileBlocked(wait); }
    // On kLogLinePending.
    void deliverPending() { m_handOff.deliverPending(); }

  private:
    void insert(const std::string& line);

    HWND m_dialog = nullptr;
    HWND m_list = nullptr;
    HWND m_newest = nullptr;
    CrossThreadLog m_handOff;
};

// Writes a line to the program's standard error, if it has one; UTF-8 to a redirect, wide
// characters to a console. False when there is none.
bool writeErrorLine(std::string_view line);

}  // namespace tavik::win32
