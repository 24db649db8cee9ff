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
    std::int32_t count = -1;         // the packet's element count once encoded, else -1
    std::vector<std::string> lines;  // what the send logged, in order

    bool encoded() const { return count > 0; }
    bool badInput() const { return count <= 0; }
    bool delivered() const { return status == SendStatus::kDelivered; }
};

// How long a send waits for a transmitter that is missing or lost: it searches again every
// kSearchInterval and says once that none was found. Zero: one search, as the window does.
struct TransmitterWait {
    std::chrono::seconds limit{0};
    // When set and true, the wait ends at once (an interrupted batch).
    const std::atomic<bool>* stop = nullptr;
};

// The log line that tells why a command was refused before anything was sent; empty otherwise.
std::string_view refusalMessage(SendStatus status);

// The program's one send session, beneath every front end: the encoder with its packet and
// lasting state, and the link. Every method is for the thread that owns the link (the window's
// thread, or the CLI's main thread); log lines of the reader thread reach `log` as the link says.
class SendSession {
  public:
    struct Options {
        DeviceLink::Options link;
        // The least time between the end of one packet's writes and the next packet, so that the
        // transmitter has emitted one infrared frame before the next arrives.
        std::chrono::milliseconds gap{0};
    };

    SendSession(HidBackend& backend, LogSink& log, Options options);
    SendSession(HidBackend& backend, LogSink& log) : SendSession(backend, log, Options{}) {}
    SendSession(const SendSession&) = delete;
    SendSession& operator=(const SendSession&) = delete;

    // Not connected, running; nothing is opened until the first send.
    void start();

    // Encodes and, when that succeeded, transmits; logs the outcome and, after a transmission
    // attempt, the command line that repeats the send ("tavik T3 12"). A system of -1 means that
    // none is selected. A packet none of whose reports was written is sent again once the
    // transmitter is back, within `wait`; one cut between its reports is not. Full-width
    // letters and digits ("１２") are sent and logged as their ASCII ones.
    SendResult send(SystemId system, std::int32_t number, std::string_view text,
                    const TransmitterWait& wait = {});
    // The same for a system token ("T3": letter, then an optional number written as listed).
    SendResult send(std::string_view systemToken, std::string_view text,
                    const TransmitterWait& wait = {});

    // A line for the log, from the owner's thread.
    void appendLog(std::string_view line);

    // Closes the remains of a lost connection; the front end calls it once the link's onLost has
    // reached the owner's thread.
    void releaseLostConnection() { m_link.releaseLostConnection(); }
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

    SendResult refuse(SendStatus status);
    SendResult transmitEncoded(SystemId system, std::int32_t number, std::string_view text,
                               std::int32_t count, const TransmitterWait& wait);
    TransmitResult transmitWaiting(const TransmitterWait& wait);
    TransmitResult transmitAfterGap();
    void waitForGap();

    RecordingLog m_log;
    CommandEncoder m_encoder;
    std::chrono::milliseconds m_gap;
    std::optional<std::chrono::steady_clock::time_point> m_lastWriteEnd;
    DeviceLink m_link;  // last: it may log while it shuts down
};

}  // namespace tavik
