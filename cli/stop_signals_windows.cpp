// SPDX-License-Identifier: MIT
// windows.h must come first, in a block of its own so that sorting keeps it there.
#include <windows.h>

#include <atomic>

#include "stop_signals.hpp"

namespace tavik::cli {
namespace {

// Where the console's handler, which Windows runs on a thread of its own, finds its call.
std::atomic<const std::function<void()>*> g_onStop{nullptr};

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            if (const std::function<void()>* onStop = g_onStop.exchange(nullptr)) {
                (*onStop)();
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onStop) : m_onStop(std::move(onStop)) {
    g_onStop = &m_onStop;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    g_onStop = nullptr;
}

}  // namespace tavik::cli
