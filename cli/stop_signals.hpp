// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <thread>

namespace tavik::cli {

// While it lives, SIGINT and SIGTERM (Ctrl+C, Ctrl+Break and the console's close on Windows)
// call `onStop` once, on a thread of its own (a signal handler may do almost nothing, so it only
// wakes that thread). One at a time per process; made before the threads it must not disturb.
class StopSignals {
  public:
    explicit StopSignals(std::function<void()> onStop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    std::function<void()> m_onStop;
    std::thread m_watcher;
};

}  // namespace tavik::cli
