// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "log_sink.hpp"

namespace tavik {

// A log whose lines are inserted on one thread, the owner (the window's thread). Other threads
// hand their line over and wait until the owner has inserted it; the owner inserts handed-over
// lines whenever it calls deliverPending or appends a line of its own. While the owner blocks in
// whileBlocked, handing threads do not wait, so the wait can never turn into a deadlock.
class CrossThreadLog : public LogSink {
  public:
    using Insert = std::function<void(const std::string& line)>;
    // Called from the handing thread: ask the owner to call deliverPending soon.
    using Wake = std::function<void()>;

    // The constructing thread becomes the owner.
    CrossThreadLog(Insert insert, Wake wake);

    void appendLog(std::string_view line) override;
    void whileBlocked(const std::function<void()>& wait) override;
    // Owner's thread only: inserts the lines other threads have handed over.
    void deliverPending();

  private:
    Insert m_insert;
    Wake m_wake;
    std::thread::id m_owner;
    std::mutex m_mutex;
    std::condition_variable m_delivered;
    std::deque<std::string> m_pending;
    std::uint64_t m_handedOver = 0;
    std::uint64_t m_inserted = 0;
    bool m_ownerBlocked = false;
};

}  // namespace tavik
