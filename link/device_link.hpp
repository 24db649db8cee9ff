// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "code_packet.hpp"
#include "hid_backend.hpp"
#include "log_sink.hpp"

namespace tavik {

enum class TransmitResult {
    kSent,            // every report was written
    kNotConnected,    // no transmitter found; nothing written
    kNothingWritten,  // the first write failed: none of the packet reached the transmitter
    kCutShort,        // a later write failed: the packet was cut between its reports
};

// How long a reader waits in one read before it looks whether it should end. Ending a connection
// cancels the read, so this bounds only the wake-ups of an idle reader.
inline constexpr int kReadTimeoutMs = 100;

// Whether a search that finds nothing says so in the log.
enum class Absence { kLogged, kQuiet };

// Whether the transmitter `info` is the one that `name` (DeviceLink::Options::device) names: its
// node, the path the backend resolved the name to (`resolvedPath`, may be empty), or its serial
// number. An empty name names every transmitter.
bool namesTransmitter(const std::string& name, const std::string& resolvedPath,
                      const HidDeviceInfo& info);

// The link to the transmitter, shared by the window's thread and one reader thread per
// connection. Every method is for the window's thread; the reader shares only atomics and the log.
class DeviceLink {
  public:
    struct Options {
        int readTimeoutMs = kReadTimeoutMs;
        // When set, only this transmitter is taken: its node ("/dev/hidraw3"), the node's name
        // ("hidraw3"), a link to the node, or its serial number. Once taken, the transmitter is
        // followed by its serial number, so a replug under another node finds it again.
        std::string device;
        // Called on the reader's thread once its connection is lost, so that the window's thread
        // can call releaseLostConnection soon.
        std::function<void()> onLost;
    };

    DeviceLink(HidBackend& backend, LogSink& log);
    DeviceLink(HidBackend& backend, LogSink& log, Options options);
    // Ends the reader and closes every handle, as shutdownLink does.
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Not connected, running: the state before the first send.
    void initialise();

    // Searches the devices present for the first transmitter that opens, announces it, opens it a
    // second time for its reader and starts the reader. 1 when connected, 0 when none was found;
    // then, unless `absence` is kQuiet, the log says so and names each transmitter that is present
    // but cannot be opened, with its reason.
    int findDevice(Absence absence = Absence::kLogged);

    // Writes an encoded packet of `count` elements as one or two output reports, searching first
    // while not connected. A failed write closes the connection; the next call searches again.
    // A write may wait until the transmitter has taken the report.
    TransmitResult transmitPacket(const CodePacket& packet, std::int32_t count);

    // Closes what is left of a lost connection (its write handle, its ended reader). Does nothing
    // while connected.
    void releaseLostConnection();

    // Stops the reader (its read is cancelled) and closes every handle. Lines that the reader
    // hands to the log meanwhile are let through.
    void shutdownLink();

    // With a trace set, each report written is described in one "OUT[ .. ] / IN[ .. ]" line.
    void setTrace(std::function<void(const std::string&)> trace) { m_trace = std::move(trace); }

    std::int32_t connected() const { return m_connected.load(); }
    // The transmitter of the connection, while connected.
    std::optional<HidDeviceInfo> connectedDevice() const;
    std::int32_t running() const { return m_running.load(); }
    // How many transmitters the last search found present but could not open.
    int unopenableInLastSearch() const { return m_unopenable; }

  private:
    struct Connection;

    bool isWanted(const HidDeviceInfo& info) const;
    void readerLoop(Connection& connection);
    void storeInputReport(const std::uint8_t* bytes, int length);
    std::string traceLine(const std::uint8_t* payload, int length) const;
    // Ends the current connection's reader (cancelling its read) and closes its handles.
    void endConnection();

    HidBackend& m_backend;
    LogSink& m_log;
    Options m_options;
    std::string m_devicePath;    // the path that Options::device names, where it names one
    std::string m_followSerial;  // the serial number of the transmitter Options::device took
    std::function<void(const std::string&)> m_trace;
    int m_unopenable = 0;

    // Single words shared with the reader. A new connection opens only after the previous
    // connection's reader has ended, so a reader can only ever clear its own connection.
    std::atomic<std::int32_t> m_connected{0};
    std::atomic<std::int32_t> m_running{0};
    // The last input report (8 bytes, first byte lowest) and how many bytes it held, published
    // under a sequence count (odd while the reader writes) so that a trace on the window's thread
    // never pairs one report's bytes with another's length.
    std::atomic<std::uint32_t> m_inputSequence{0};
    std::atomic<std::uint64_t> m_inputReport{0};
    std::atomic<std::uint32_t> m_inputLength{0};

    std::unique_ptr<Connection> m_current;
};

}  // namespace tavik
