// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

#include "owner_loop.hpp"
#include "send_session.hpp"

namespace tavik {

// Where a command came from, so that one source's waiting commands can be withdrawn.
enum class SendSource { kWindow, kPhones, kBatch, kBroker };

// The one way into the send session for every source of commands.
//
// Threads: submit may be called from any thread; everything else from the session's owner
// thread, the thread of `loop`. The session is used on that thread only.
// Order: commands are sent one at a time, in the order submit accepted them, whatever their
// source. Between two packets the session's gap is kept by a timer of the owner's loop, and a
// send that waits for its transmitter searches again from that loop's timers: the owner's
// thread never sleeps and returns to its loop between sends.
// Completion: `done` runs on the owner's thread once the command has been sent or refused, with
// its result (nullopt for one whose notAfter had passed when its turn came); a source that lives
// elsewhere moves it to its own executor. On the owner's thread, a command that finds nothing ahead
// of it and its gap already past is sent before submit returns; any other is sent later, from the
// loop. Closing: withdraw and close hand each command of theirs not yet begun `std::nullopt` (never
// sent); the send in progress finishes (one that waits for its transmitter ends at its next
// search) and gets its result. A closed pipeline refuses every submit.
class SendPipeline {
  public:
    using Done = std::function<void(std::optional<SendResult>)>;
    enum class Admission { kAccepted, kFull, kClosed };

    // On the owner's thread, before the session's first send; `loop` outlives the pipeline.
    SendPipeline(SendSession& session, OwnerLoop& loop);
    ~SendPipeline();
    SendPipeline(const SendPipeline&) = delete;
    SendPipeline& operator=(const SendPipeline&) = delete;

    // Any thread. kFull when `maxWaiting` commands already wait (the one in progress not
    // counted); `done` is then not called.
    Admission submit(SendCommand command, Done done, SendSource source = SendSource::kWindow,
                     std::size_t maxWaiting = std::numeric_limits<std::size_t>::max());

    // Owner: the commands of `source` that have not begun get nullopt.
    void withdraw(SendSource source);
    // Owner: withdraws every command and refuses the rest.
    void close();

    // Any thread: how many commands wait, the one in progress not counted.
    std::size_t waiting() const;

  private:
    struct Entry {
        SendSource source;
        SendCommand command;
        Done done;
    };

    void pump();
    void begin(Entry entry);
    void handle(SendSession::Step step);
    void schedule();
    std::deque<Entry> takeWaiting(std::optional<SendSource> source);

    SendSession& m_session;
    OwnerLoop& m_loop;
    const std::thread::id m_owner;

    mutable std::mutex m_mutex;
    std::deque<Entry> m_waiting;  // under m_mutex
    bool m_closed = false;        // under m_mutex
    bool m_pumpPosted = false;    // under m_mutex

    // The owner's thread only.
    bool m_sending = false;
    bool m_timerArmed = false;
    Done m_current;
    // Cleared by the destructor, so that a task of the loop's that outlives it does nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace tavik
