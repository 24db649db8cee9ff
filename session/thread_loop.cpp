// SPDX-License-Identifier: MIT
#include "thread_loop.hpp"

#include <utility>

namespace tavik {

void ThreadLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(task));
    }
    m_changed.notify_one();
}

void ThreadLoop::runAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    m_timers.emplace(Clock::now() + delay, std::move(task));
}

void ThreadLoop::quit() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_one();
}

void ThreadLoop::run() {
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (!m_posted.empty()) {
            std::function<void()> task = std::move(m_posted.front());
            m_posted.pop_front();
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        if (!m_timers.empty() && m_timers.begin()->first <= Clock::now()) {
            std::function<void()> task = std::move(m_timers.begin()->second);
            m_timers.erase(m_timers.begin());
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        // The loop's own wait: woken by a post, a quit or the next timer.
        if (m_timers.empty()) {
            m_changed.wait(lock);
        } else {
            m_changed.wait_until(lock, m_timers.begin()->first);
        }
    }
    m_quit = false;
}

}  // namespace tavik
