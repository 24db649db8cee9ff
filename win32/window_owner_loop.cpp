// SPDX-License-Identifier: MIT
#include "window_owner_loop.hpp"

#include <utility>

namespace tavik::win32 {

WindowOwnerLoop::~WindowOwnerLoop() {
    if (m_window != nullptr) {
        for (const auto& timer : m_timers) {
            KillTimer(m_window, timer.first);
        }
    }
}

void WindowOwnerLoop::bind(HWND window) {
    bool waiting = false;
    {
        std::lock_guard lock(m_mutex);
        m_window = window;
        waiting = !m_posted.empty();
    }
    if (waiting) {
        PostMessageW(window, kRunPosted, 0, 0);
    }
}

void WindowOwnerLoop::post(std::function<void()> task) {
    HWND window = nullptr;
    bool first = false;
    {
        std::lock_guard lock(m_mutex);
        first = m_posted.empty();
        m_posted.push_back(std::move(task));
        window = m_window;
    }
    // One message for all that wait: runPosted takes them all.
    if (first && window != nullptr) {
        PostMessageW(window, kRunPosted, 0, 0);
    }
}

void WindowOwnerLoop::runAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    const UINT_PTR id = m_nextTimer++;
    if (m_nextTimer == kFirstTimer + 0x100) {
        m_nextTimer = kFirstTimer;
    }
    m_timers[id] = std::move(task);
    // USER_TIMER_MINIMUM (10 ms) is the least a window timer waits; a zero delay is that.
    SetTimer(m_window, id, static_cast<UINT>(delay.count()), nullptr);
}

void WindowOwnerLoop::runPosted() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_posted);
    }
    for (auto& task : tasks) {
        task();
    }
}

bool WindowOwnerLoop::runTimer(UINT_PTR id) {
    const auto found = m_timers.find(id);
    if (found == m_timers.end()) {
        return false;
    }
    KillTimer(m_window, id);
    std::function<void()> task = std::move(found->second);
    m_timers.erase(found);
    task();
    return true;
}

}  // namespace tavik::win32
