// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "code_packet.hpp"
#include "command_encoder.hpp"
#include "device_link.hpp"
#include "system_id.hpp"

namespace tavik {

// The least time between packets when commands come in a stream (a batch, or phones).
inline constexpr std::chrono::milliseconds kStreamGap{300};

// How often a send that waits for its transmitter searches again.
inline constexpr std::chrono::milliseconds kSearchInterval{200};

enum class SendStatus {
    kUnknownSystem,  // no system selected, or the letter names none
    kUnknownNumber,  // the number is not one of the system's, or none is selected
    kNotEncoded,     // the command does not encode for the system
    kDelivered,      // every report was written
    kNotFound,       // encoded, but no transmitter was found (within the wait, if any)
    kWriteFailed,    // encoded, but a write failed
};

// What one command came to.
struct SendResult {
    SendStatus status = SendStatus::kNotEncoded;
    std::int32_t count = -1;  // the packet's element count once encoded, else -1
    // What the send logged, in order; for a refused command, the one line that says why.
    std::vector<std::string> lines;
    // Some of the packet reached the transmitter: all of it, or the reports before a failed write.
    bool written = false;

    bool encoded() const { return count > 0; }
    bool badInput() const {
        return status == SendStatus::kUnknownSystem || status == SendStatus::kUnknownNumber ||
               status == SendStatus::kNotEncoded;
    }
    bool delivered() const { return status == SendStatus::kDelivered; }
};

// How long a send waits for a transmitter that is missing or lost: it searches again every
// kSearchInterval and says once that none was found. Zero: one search, as the window does.
struct TransmitterWait {
    std::chrono::seconds limit{0};
    // When set and true, the wait ends at its next search (an interrupted batch).
    const std::atomic<bool>* stop = nullptr;
};

// One command as a source hands it over: a system by its selectors (the window: a system of -1
// means none is selected) or by its token ("T3": letter, then an optional number as listed).
struct SendCommand {
    static SendCommand selected(SystemId system, std::int32_t number, std::string text) {
        return {false, {}, system, number, std::move(text), {}, {}};
    }
    static SendCommand token(std::string systemToken, std::string text, TransmitterWait wait = {}) {
        return {true, std::move(systemToken), -1, -1, std::move(text), wait, {}};
    }

    bool byToken = false;
    std::string systemToken;
    SystemId system = -1;
    std::int32_t number = -1;
    std::string text;
    TransmitterWait wait;
    // When set, a command that has not begun by then is not sent (a stale command from afar).
    std::optional<std::chrono::steady_clock::time_point> notAfter;
};

// A send in progress between its steps; the session's own.
struct SendInProgress {
    SystemId system = -1;
    std::int32_t number = -1;
    std::string text;
    TransmitterWait wait;
    std::chrono::steady_clock::time_point deadline;
    SendResult result;
    TransmitResult sent = TransmitResult::kNotConnected;
    bool attempted = false;  // the first write (with its own search) has been tried
    bool written = false;    // this round's write has been tried
    bool search = false;     // the next step searches before it writes
    bool absenceLogged = false;
    bool rewritten = false;  // a packet whose first write failed is written once more, no more
};

// The program's one send session, beneath every front end: the encoder with its packet and
// lasting state, the link, the time of the last packet and a lost connection's remains. Every
// method is for the thread that owns the link (the window's thread, or the CLI's loop thread);
// log lines of the reader thread reach `log` as the link says.
//
// A send runs in steps so that nothing sleeps on the owner's thread: beginSend makes the first
// attempt; while it waits for its transmitter (or for the gap before a packet), the step names
// when to call continueSend. SendPipeline drives the steps from its owner's loop.
class SendSession {
  public:
    struct Options {
        DeviceLink::Options link;
        // The least time between the end of one packet's writes and the next packet, so that the
        // transmitter has emitted one infrared frame before the next arrives.
        std::chrono::milliseconds gap{0};
    };

    // A send's progress: its result once finished, else how long to wait before continueSend.
    struct Step {
        std::optional<SendResult> result;
        std::chrono::milliseconds retryIn{0};
    };

    SendSession(HidBackend& backend, LogSink& log, Options options);
    SendSession(HidBackend& backend, LogSink& log) : SendSession(backend, log, Options{}) {}
    SendSession(const SendSession&) = delete;
    SendSession& operator=(const SendSession&) = delete;

    // Not connected, running; nothing is opened until the first send.
    void start();

    // Encodes and, when that succeeded, transmits; logs the outcome and, after a transmission
    // attempt, the command line that repeats the send ("tavik T3 12"). A packet none of whose
    // reports was written is sent again once the transmitter is back, within the command's
    // wait; one cut between its reports is not. Full-width letters and digits ("１２") are sent
    // and logged as their ASCII ones. Call only while no other send is in progress.
    Step beginSend(const SendCommand& command);
    // The next step of the send in progress, once the previous step's retryIn has passed.
    Step continueSend();
    // Makes the send in progress end at its next step (serving stopped under it).
    void stopWaiting() { m_stopWaiting = true; }

    // One attempt, no waiting; for callers without a loop and for tests. The gap is not kept.
    SendResult send(SystemId system, std::int32_t number, std::string_view text);
    SendResult send(std::string_view systemToken, std::string_view text);

    // When the next packet may be written: the gap after the last packet's writes.
    std::chrono::steady_clock::time_point nextPacketDue() const;

    // A line for the log, from the owner's thread.
    void appendLog(std::string_view line);

    // Called on the reader's thread once the connection is lost, so that the owner's loop can
    // call releaseLostConnection soon; set before the first send. The next send releases it anyway.
    void setOnLost(std::function<void()> onLost) { m_onLost = std::move(onLost); }
    // Closes what remains of a lost connection (its write handle, its ended reader), if any.
    void releaseLostConnection();
    void shutdown() { m_link.shutdownLink(); }

    // The least time between packets from now on (the window keeps one while phones send).
    void setGap(std::chrono::milliseconds gap) { m_gap = gap; }

    const CodePacket& packet() const { return m_encoder.packet(); }
    DeviceLink& link() { return m_link; }

  private:
    // Forwards every line to the front end's log and keeps, for the result, the lines of the
    // send in progress that the owner's thread logs.
    class RecordingLog : public LogSink {
      public:
        explicit RecordingLog(LogSink& target)
            : m_target(target), m_owner(std::this_thread::get_id()) {}
        void appendLog(std::string_view line) override;
        void whileBlocked(const std::function<void()>& wait) override {
            m_target.whileBlocked(wait);
        }
        void record(std::vector<std::string>* lines) { m_recording = lines; }

      private:
        LogSink& m_target;
        std::thread::id m_owner;
        std::vector<std::string>* m_recording = nullptr;
    };

    SendResult sendNow(const SendCommand& command);
    Step refuse(EncodeStatus status);
    Step advance();
    Step finish();
    bool waitEnds(const SendInProgress& active) const;

    RecordingLog m_log;
    CommandEncoder m_encoder;
    std::chrono::milliseconds m_gap;
    std::optional<std::chrono::steady_clock::time_point> m_lastWriteEnd;
    std::optional<SendInProgress> m_active;
    bool m_stopWaiting = false;
    // Before the link, whose reader sets and calls them.
    std::atomic<bool> m_lost{false};
    std::function<void()> m_onLost;
    DeviceLink m_link;  // last: it may log while it shuts down
};

}  // namespace tavik
