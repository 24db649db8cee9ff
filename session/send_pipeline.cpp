// SPDX-License-Identifier: MIT
#include "send_pipeline.hpp"

#include <memory>
#include <utility>

namespace tavik {

SendPipeline::SendPipeline(SendSession& session, OwnerLoop& loop)
    : m_session(session), m_loop(loop), m_owner(std::this_thread::get_id()) {
    // A lost connection's remains are closed from the loop, unless a send comes first.
    // The loop outlives the pipeline, and the session's reader may outlive it.
    m_session.setOnLost([this, &loop = m_loop, alive = std::weak_ptr<bool>(m_alive)] {
        loop.post([this, alive] {
            if (alive.lock() && !m_sending) {
                m_session.releaseLostConnection();
            }
        });
    });
}

SendPipeline::~SendPipeline() {
    close();
    *m_alive = false;
}

SendPipeline::Admission SendPipeline::submit(SendCommand command, Done done, SendSource source,
                                             std::size_t maxWaiting) {
    const bool onOwner = std::this_thread::get_id() == m_owner;
    std::optional<Entry> entry(Entry{source, std::move(command), std::move(done)});
    bool post = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) {
            return Admission::kClosed;
        }
        if (m_waiting.size() >= maxWaiting) {
            return Admission::kFull;
        }
        const bool now = onOwner && m_waiting.empty() && !m_sending && !m_timerArmed &&
                         std::chrono::steady_clock::now() >= m_session.nextPacketDue();
        if (!now) {
            m_waiting.push_back(std::move(*entry));
            entry.reset();
            post = !m_pumpPosted;
            m_pumpPosted = true;
        }
    }
    if (entry) {
        begin(std::move(*entry));
    } else if (post) {
        m_loop.post([this, alive = std::weak_ptr<bool>(m_alive)] {
            if (alive.lock()) {
                pump();
            }
        });
    }
    return Admission::kAccepted;
}

void SendPipeline::pump() {
    {
        std::lock_guard lock(m_mutex);
        m_pumpPosted = false;
    }
    if (m_sending || m_timerArmed) {
        return;
    }
    std::optional<Entry> next;
    {
        std::lock_guard lock(m_mutex);
        if (m_waiting.empty()) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        const auto due = m_session.nextPacketDue();
        if (now < due) {
            m_timerArmed = true;
            m_loop.runAfter(std::chrono::ceil<std::chrono::milliseconds>(due - now),
                            [this, alive = std::weak_ptr<bool>(m_alive)] {
                                if (alive.lock()) {
                                    m_timerArmed = false;
                                    pump();
                                }
                            });
            return;
        }
        next = std::move(m_waiting.front());
        m_waiting.pop_front();
    }
    begin(std::move(*next));
}

void SendPipeline::begin(Entry entry) {
    // Too late by now: never sent, and the next one may go at once.
    if (entry.command.notAfter && std::chrono::steady_clock::now() > *entry.command.notAfter) {
        if (entry.done) {
            entry.done(std::nullopt);
        }
        schedule();
        return;
    }
    m_sending = true;
    m_current = std::move(entry.done);
    handle(m_session.beginSend(entry.command));
}

void SendPipeline::handle(SendSession::Step step) {
    if (!step.result) {
        m_timerArmed = true;
        m_loop.runAfter(step.retryIn, [this, alive = std::weak_ptr<bool>(m_alive)] {
            if (alive.lock()) {
                m_timerArmed = false;
                handle(m_session.continueSend());
            }
        });
        return;
    }
    Done done = std::move(m_current);
    m_current = nullptr;
    // Still sending meanwhile: a command that `done` submits waits for the loop, so that a
    // stream of them never nests one send inside another's completion.
    if (done) {
        done(std::move(step.result));
    }
    m_sending = false;
    schedule();
}

// The next command goes from the loop, so that the owner's thread returns to it between sends.
void SendPipeline::schedule() {
    {
        std::lock_guard lock(m_mutex);
        if (m_waiting.empty() || m_pumpPosted) {
            return;
        }
        m_pumpPosted = true;
    }
    m_loop.post([this, alive = std::weak_ptr<bool>(m_alive)] {
        if (alive.lock()) {
            pump();
        }
    });
}

std::deque<SendPipeline::Entry> SendPipeline::takeWaiting(std::optional<SendSource> source) {
    std::lock_guard lock(m_mutex);
    std::deque<Entry> taken;
    std::deque<Entry> kept;
    for (Entry& entry : m_waiting) {
        (!source || entry.source == *source ? taken : kept).push_back(std::move(entry));
    }
    m_waiting.swap(kept);
    return taken;
}

void SendPipeline::withdraw(SendSource source) {
    for (Entry& entry : takeWaiting(source)) {
        if (entry.done) {
            entry.done(std::nullopt);
        }
    }
}

void SendPipeline::close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    for (Entry& entry : takeWaiting(std::nullopt)) {
        if (entry.done) {
            entry.done(std::nullopt);
        }
    }
    if (m_sending) {
        m_session.stopWaiting();
    }
}

std::size_t SendPipeline::waiting() const {
    std::lock_guard lock(m_mutex);
    return m_waiting.size();
}

}  // namespace tavik
