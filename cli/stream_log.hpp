// SPDX-License-Identifier: MIT
#pragma once

#include <mutex>
#include <ostream>

#include "log_sink.hpp"

namespace tavik::cli {

// The log of tavik-cli: one line per event on a stream. A reader's line is written at once, under
// a lock, so lines never interleave and no thread ever waits for another to pump.
class StreamLog : public LogSink {
  public:
    explicit StreamLog(std::ostream& out) : m_out(out) {}

    void appendLog(std::string_view line) override {
        std::lock_guard lock(m_mutex);
        m_out << line << '\n' << std::flush;
    }

  private:
    std::mutex m_mutex;
    std::ostream& m_out;
};

}  // namespace tavik::cli
