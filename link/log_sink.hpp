// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string_view>

namespace tavik {

// Where the link's (and the window's) log lines go: one line of text per event.
class LogSink {
  public:
    virtual ~LogSink() = default;
    // Adds `line` after every line added before it. May be called from any thread; a call from a
    // thread other than the owner's returns once the line is in, or once the owner has said that
    // it blocks (see whileBlocked).
    virtual void appendLog(std::string_view line) = 0;
    // Owner's thread only: runs `wait`, which blocks until another thread has ended. Lines that
    // other threads hand over meanwhile are queued without making their callers wait, and are
    // inserted, in order, once `wait` has returned. So joining a reader that logs never deadlocks.
    virtual void whileBlocked(const std::function<void()>& wait) { wait(); }
};

}  // namespace tavik
