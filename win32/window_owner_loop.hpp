// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <mutex>

#include "owner_loop.hpp"

namespace tavik::win32 {

// A window's message loop as a send pipeline's owner loop: a posted message carries out the
// posted tasks, a window timer each delayed one. post is thread-safe; the rest is for the
// window's thread, which hands the two messages below to runPosted and runTimer.
class WindowOwnerLoop : public OwnerLoop {
  public:
    static constexpr UINT kRunPosted = WM_APP + 5;

    ~WindowOwnerLoop() override;

    // Tasks posted before the window exists wait for it.
    void bind(HWND window);

    void post(std::function<void()> task) override;
    void runAfter(std::chrono::milliseconds delay, std::function<void()> task) override;

    void runPosted();
    // False when the timer is not one of the loop's.
    bool runTimer(UINT_PTR id);

  private:
    // Far from the ids a dialog's own timers use.
    static constexpr UINT_PTR kFirstTimer = 0x7A00;

    HWND m_window = nullptr;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;  // under m_mutex
    std::map<UINT_PTR, std::function<void()>> m_timers;
    UINT_PTR m_nextTimer = kFirstTimer;
};

}  // namespace tavik::win32
