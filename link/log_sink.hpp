#pragma once

#include <string_view>

namespace tavik {

// Where the link's (and the window's) log lines go: one line of text per event.
class LogSink {
  public:
    virtual ~LogSink() = default;
    // Adds `line` after every line added before it. May be called from any thread; a call from a
    // thread other than the owner's returns once the line is in (or the sink no longer waits).
    virtual void appendLog(std::string_view line) = 0;
    // Owner's thread only: takes in lines other threads are waiting to hand over. The link calls
    // it while it waits for a reader thread, so that a reader blocked in appendLog can finish.
    virtual void deliverPending() {}
};

}  // namespace tavik
