// SPDX-License-Identifier: MIT
#include "pipeline_sends.hpp"

#include <utility>

namespace tavik::phone {

PhoneSends::Admission PipelineSends::submit(std::string system, std::string command, Done done) {
    // Under the lock to the end, so that no command slips in after close has withdrawn the rest.
    std::lock_guard lock(m_mutex);
    if (m_closed) {
        return Admission::kStopped;
    }
    const auto now = std::chrono::steady_clock::now();
    while (!m_accepted.empty() && now - m_accepted.front() >= std::chrono::seconds(1)) {
        m_accepted.pop_front();
    }
    if (m_accepted.size() >= static_cast<std::size_t>(m_limits.perSecond)) {
        return Admission::kTooMany;
    }
    switch (m_pipeline.submit(SendCommand::token(std::move(system), std::move(command)),
                              std::move(done), SendSource::kPhones, m_limits.waiting)) {
        case SendPipeline::Admission::kAccepted:
            m_accepted.push_back(now);
            return Admission::kAccepted;
        case SendPipeline::Admission::kFull:
            return Admission::kTooMany;
        case SendPipeline::Admission::kClosed:
            break;
    }
    return Admission::kStopped;
}

void PipelineSends::close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_pipeline.withdraw(SendSource::kPhones);
}

}  // namespace tavik::phone
