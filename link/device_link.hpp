#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "code_packet.hpp"
#include "hid_backend.hpp"
#include "log_sink.hpp"

namespace tavik {

enum class TransmitResult {
    kSent,          // every report was written
    kNotConnected,  // no transmitter found; nothing written
    kWriteFailed,   // a write failed; the rest of the packet was not sent
};

// The link to the transmitter, shared by the window's thread and one reader thread per
// connection. Every method is for the window's thread; the reader shares only atomics and the log.
class DeviceLink {
  public:
    struct Options {
        int readTimeoutMs = 100;  // how soon a reader notices that it should end
        std::string devicePath;   // when set, only this transmitter is taken
    };

    DeviceLink(HidBackend& backend, LogSink& log);
    DeviceLink(HidBackend& backend, LogSink& log, Options options);
    // Ends the readers and closes every handle, as shutdownLink does.
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Not connected, running: the state before the first send.
    void initialise();

    // Searches the devices present for the first transmitter that opens, announces it, opens it a
    // second time for its reader and starts the reader. 1 when connected, 0 when none was found.
    int findDevice();

    // Writes an encoded packet of `count` elements as one or two output reports, searching first
    // while not connected. A failed write closes the connection; the next call searches again.
    TransmitResult transmitPacket(const CodePacket& packet, std::int32_t count);

    // Stops the readers (each within about one read time-out) and closes every handle. Lines that
    // a reader hands to the log meanwhile are let through.
    void shutdownLink();

    // With a trace set, each report written is described in one "OUT[ .. ] / IN[ .. ]" line.
    void setTrace(std::function<void(const std::string&)> trace) { m_trace = std::move(trace); }

    std::int32_t connected() const { return m_connected.load() != 0 ? 1 : 0; }
    std::int32_t running() const { return m_running.load(); }

  private:
    struct Connection;

    void readerLoop(Connection& connection);
    void storeInputReport(const std::uint8_t* bytes, int length);
    std::string traceLine(const std::uint8_t* payload, int length) const;
    // Waits for the readers of connections that are no longer current and closes their handles.
    void releaseEndedConnections();

    HidBackend& m_backend;
    LogSink& m_log;
    Options m_options;
    std::function<void(const std::string&)> m_trace;

    // 0 when not connected, else the id of the open connection: one word, so a reader can clear
    // it for its own connection only (compare-and-swap) and never for a newer one.
    std::atomic<std::uint32_t> m_connected{0};
    std::atomic<std::int32_t> m_running{0};
    // The last input report (8 bytes, first byte lowest) and how many bytes it held.
    std::atomic<std::uint64_t> m_inputReport{0};
    std::atomic<std::uint32_t> m_inputLength{0};

    std::uint32_t m_lastConnectionId = 0;
    std::unique_ptr<Connection> m_current;
    std::vector<std::unique_ptr<Connection>> m_ended;
};

}  // namespace tavik
