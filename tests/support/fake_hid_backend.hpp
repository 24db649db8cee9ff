// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "hid_backend.hpp"

namespace tavik::test {

// A scripted set of HID devices. Thread-safe: the link's reader calls read on its own thread.
class FakeHidBackend : public HidBackend {
  public:
    struct Device {
        std::string path;
        std::uint16_t vendorId = kTransmitterVendorId;
        std::uint16_t productId = kTransmitterProductId;
        std::uint16_t versionNumber = 0x0100;
        std::string serialNumber;
        std::string openError;    // non-empty: every open fails with this reason
        int failOpenNumber = 0;   // the Nth open of this device fails (1-based); 0: none
        int failWriteNumber = 0;  // the Nth write to this device fails (1-based); 0: none
        bool failEveryWrite = false;
        // How long each write takes, as a slow transmitter's would (the time recorded is its end).
        std::chrono::milliseconds writeDelay{0};
        bool omitsReportId = false;  // reads deliver reports without their ID byte, as hidraw
    };
    using Clock = std::chrono::steady_clock;

    void plug(Device device);
    // The device leaves the enumeration; reads and writes on its open handles fail from now on.
    void unplug(const std::string& path);
    void queueInputReport(const std::string& path, std::vector<std::uint8_t> report);
    void failWrite(const std::string& path, int nth);

    std::vector<std::vector<std::uint8_t>> writes(const std::string& path) const;
    // When each of those writes returned.
    std::vector<Clock::time_point> writeTimes(const std::string& path) const;
    int openHandles() const;
    int opens(const std::string& path) const;
    // The most reads that were ever in progress at the same time, over all devices.
    int maxConcurrentReads() const;

    std::vector<HidDeviceInfo> enumerate() override;
    std::unique_ptr<HidDevice> open(const std::string& path, std::string& error) override;

  private:
    class Handle;
    struct State {
        Device device;
        bool present = true;
        int generation = 0;  // handles opened before an unplug stay dead after a replug
        int opens = 0;
        int writeCalls = 0;
        std::deque<std::vector<std::uint8_t>> inputs;
        std::vector<std::vector<std::uint8_t>> writes;
        std::vector<Clock::time_point> writeTimes;
    };

    int read(const std::string& path, int generation, const bool& cancelled, std::uint8_t* buffer,
             std::size_t length, int timeoutMs);
    void cancel(bool& cancelled);
    bool write(const std::string& path, int generation, const std::uint8_t* data,
               std::size_t length);
    void closed();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_order;
    std::map<std::string, State> m_devices;
    int m_openHandles = 0;
    int m_readsInProgress = 0;
    int m_maxConcurrentReads = 0;
};

// The reports written to `path`, each as "00 36 00 FF ..".
std::vector<std::string> hexWrites(const FakeHidBackend& backend, const std::string& path);

}  // namespace tavik::test
