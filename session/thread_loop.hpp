// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "owner_loop.hpp"

namespace tavik {

// An owner loop for a thread without a toolkit (tavik-cli): run() carries out posted tasks and
// due timers on the calling thread until quit(). post and quit are thread-safe; run and
// runAfter are for the thread that runs the loop. What is still queued when run returns stays
// for the next run; the loop's destruction drops it.
class ThreadLoop : public OwnerLoop {
  public:
    void post(std::function<void()> task) override;
    void runAfter(std::chrono::milliseconds delay, std::function<void()> task) override;

    // Runs tasks until quit() (at once when quit came before it), then forgets that quit.
    void run();
    void quit();

  private:
    using Clock = std::chrono::steady_clock;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_posted;
    std::multimap<Clock::time_point, std::function<void()>> m_timers;  // owner's thread only
    bool m_quit = false;
};

}  // namespace tavik
