// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>

#include "send_session.hpp"

namespace tavik::phone {

// Sends that arrive on the server's threads, handed one at a time, in arrival order, to the
// thread that owns the send session. Thread-safe.
struct SendLimits {
    int perSecond = 5;        // sends accepted in any one second, all phones together
    std::size_t waiting = 8;  // sends accepted but not yet begun
};

class SendQueue {
  public:
    enum class Refusal { kNone, kTooMany, kStopped };
    struct Ticket {
        Refusal refusal = Refusal::kNone;
        // Valid when accepted; empty when serving stopped before the send began.
        std::future<std::optional<SendResult>> result;
    };

    explicit SendQueue(SendLimits limits = {}) : m_limits(limits) {}

    // Called, under no lock of the queue's, after each accepted send: the window posts a call of
    // runPending to its thread from here.
    void setOnQueued(std::function<void()> onQueued);

    // From any thread. Refused beyond the limits or once closed.
    Ticket submit(std::string system, std::string command);

    // The owner's thread: closes a lost connection's remains when connectionLost was called,
    // then runs the sends waiting now, oldest first.
    void runPending(SendSession& session);
    // The owner's thread: waits for a send, a lost connection or close(), handles what waits;
    // false once closed.
    bool waitAndRun(SendSession& session);

    // From any thread (the link's reader): the session's connection was lost.
    void connectionLost();

    // From any thread: accepts nothing more and wakes waitAndRun. A send in progress finishes;
    // those still waiting are not begun and their results stay empty.
    void close();

    std::size_t waiting() const;

  private:
    struct Pending {
        std::string system;
        std::string command;
        std::promise<std::optional<SendResult>> result;
    };

    std::optional<Pending> takeNext();

    const SendLimits m_limits;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Pending> m_pending;
    std::deque<std::chrono::steady_clock::time_point> m_accepted;  // within the last second
    std::function<void()> m_onQueued;
    bool m_closed = false;
    bool m_lost = false;
};

}  // namespace tavik::phone
