// SPDX-License-Identifier: MIT
#include "send_queue.hpp"

#include <utility>

namespace tavik::phone {

void SendQueue::setOnQueued(std::function<void()> onQueued) {
    std::lock_guard lock(m_mutex);
    m_onQueued = std::move(onQueued);
}

SendQueue::Ticket SendQueue::submit(std::string system, std::string command) {
    Ticket ticket;
    std::function<void()> onQueued;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) {
            ticket.refusal = Refusal::kStopped;
            return ticket;
        }
        const auto now = std::chrono::steady_clock::now();
        while (!m_accepted.empty() && now - m_accepted.front() >= std::chrono::seconds(1)) {
            m_accepted.pop_front();
        }
        if (m_accepted.size() >= static_cast<std::size_t>(m_limits.perSecond) ||
            m_pending.size() >= m_limits.waiting) {
            ticket.refusal = Refusal::kTooMany;
            return ticket;
        }
        m_accepted.push_back(now);
        Pending& pending =
            m_pending.emplace_back(Pending{std::move(system), std::move(command), {}});
        ticket.result = pending.result.get_future();
        onQueued = m_onQueued;
    }
    m_changed.notify_all();
    if (onQueued) {
        onQueued();
    }
    return ticket;
}

std::optional<SendQueue::Pending> SendQueue::takeNext() {
    std::lock_guard lock(m_mutex);
    if (m_pending.empty()) {
        return std::nullopt;
    }
    Pending next = std::move(m_pending.front());
    m_pending.pop_front();
    return next;
}

void SendQueue::runPending(SendSession& session) {
    bool lost = false;
    {
        std::lock_guard lock(m_mutex);
        std::swap(lost, m_lost);
    }
    if (lost) {
        session.releaseLostConnection();
    }
    while (auto next = takeNext()) {
        next->result.set_value(session.send(next->system, next->command));
    }
}

bool SendQueue::waitAndRun(SendSession& session) {
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_closed || m_lost || !m_pending.empty(); });
        if (m_closed) {
            return false;
        }
    }
    runPending(session);
    return true;
}

void SendQueue::connectionLost() {
    {
        std::lock_guard lock(m_mutex);
        m_lost = true;
    }
    m_changed.notify_all();
}

void SendQueue::close() {
    std::deque<Pending> unsent;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        unsent.swap(m_pending);
    }
    m_changed.notify_all();
    for (Pending& pending : unsent) {
        pending.result.set_value(std::nullopt);
    }
}

std::size_t SendQueue::waiting() const {
    std::lock_guard lock(m_mutex);
    return m_pending.size();
}

}  // namespace tavik::phone
