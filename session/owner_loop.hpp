// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>

namespace tavik {

// The event loop of the thread that owns a send session (Qt's, the Win32 message loop, a plain
// thread's ThreadLoop), as the send pipeline reaches it.
class OwnerLoop {
  public:
    virtual ~OwnerLoop() = default;
    // Any thread: runs `task` on the owner's thread, after what was posted before it. A task
    // still waiting when the loop is destroyed is dropped.
    virtual void post(std::function<void()> task) = 0;
    // The owner's thread: runs `task` there once `delay` has passed: a timer, never a sleep.
    virtual void runAfter(std::chrono::milliseconds delay, std::function<void()> task) = 0;
};

}  // namespace tavik
