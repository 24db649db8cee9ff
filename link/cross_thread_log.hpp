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
// lines whenever it calls deliverPending, appends a line of its own, or waits for a reader, so
// the wait can never turn into a deadlock with a join.
class CrossThreadLog : public LogSink {
  public:
    using Insert = std::function<void(const std::string& line)>;
    // Called from the handing thread: ask the owner to call deliverPending soon.
    using Wake = std::function<void()>;

    // The constructing thread becomes the owner.
    CrossThreadLog(Insert insert, Wake wake);

    void appendLog(std::string_view line) override;
    void deliverPending() override;

  private:
    Insert m_insert;
    Wake m_wake;
    std::thread::id m_owner;
    std::mutex m_mutex;
    std::condition_variable m_delivered;
    std::deque<std::string> m_pending;
    std::uint64_t m_handedOver = 0;
    std::uint64_t m_inserted = 0;
};

}  // namespace tavik
