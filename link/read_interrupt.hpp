// SPDX-License-Identifier: MIT
#pragma once

#include <pthread.h>
#include <atomic>

namespace tavik {

// Ends one thread's blocking read from another thread, for a library whose read cannot be woken
// otherwise: a signal whose handler does nothing makes the read's system call return early.
class ReadInterrupt {
  public:
    ReadInterrupt();

    // The reading thread, around its read: false when cancelled already (then skip the read).
    bool enter();
    void leave();
    bool cancelled() const { return m_cancelled.load(); }

    // Another thread: every read from now on is cancelled; returns once the reading thread has
    // left a read that it is in.
    void cancel();

  private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_reading{false};
    std::atomic<pthread_t> m_reader{};
};

}  // namespace tavik
