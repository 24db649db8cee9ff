// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>

#include "phone_server.hpp"
#include "send_pipeline.hpp"

namespace tavik::phone {

// How many phone sends are taken: in any one second, all phones together, and waiting in the
// pipeline (the one in progress not counted).
struct SendLimits {
    int perSecond = 5;
    std::size_t waiting = 8;
};

// The phones' sends into the session's pipeline, within the limits. submit is thread-safe;
// close is for the pipeline's owner thread.
class PipelineSends : public PhoneSends {
  public:
    PipelineSends(SendPipeline& pipeline, SendLimits limits = {})
        : m_pipeline(pipeline), m_limits(limits) {}

    Admission submit(std::string system, std::string command, Done done) override;

    // Refuses further sends and answers those that wait with nullopt (not sent).
    void close();

  private:
    SendPipeline& m_pipeline;
    const SendLimits m_limits;
    std::mutex m_mutex;
    std::deque<std::chrono::steady_clock::time_point> m_accepted;  // within the last second
    bool m_closed = false;
};

}  // namespace tavik::phone
