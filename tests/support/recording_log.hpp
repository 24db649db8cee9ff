// SPDX-License-Identifier: MIT
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "log_sink.hpp"

namespace tavik::test {

// Keeps every line, from any thread.
class RecordingLog : public LogSink {
  public:
    void appendLog(std::string_view line) override {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(line);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

}  // namespace tavik::test
