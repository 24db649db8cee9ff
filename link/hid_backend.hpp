// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavik {

// The transmitter, as the HID attributes name it.
inline constexpr std::uint16_t kTransmitterVendorId = 0x0BFE;
inline constexpr std::uint16_t kTransmitterProductId = 0x2022;

struct HidDeviceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
    std::string manufacturer;  // UTF-8; empty where the platform gives none
    std::string product;
    std::string serialNumber;
    std::string location;  // where it is plugged in, e.g. "usb 1-1.2"; empty where unknown
};

// What read returns besides a byte count (0 means the time ran out).
inline constexpr int kReadFailed = -1;     // the device is gone, or the handle is not valid
inline constexpr int kReadCancelled = -2;  // cancelRead was called

// One open handle of a device. A handle is used by one thread at a time, but for cancelRead;
// closing it (destroying the object) must not overlap a call on it.
class HidDevice {
  public:
    virtual ~HidDevice() = default;
    // Reads one input report into `buffer`, waiting at most `timeoutMs`. Returns the number of
    // bytes read, 0 when the time ran out, kReadFailed or kReadCancelled. The bytes are as the
    // platform delivers them; see readOmitsReportId.
    virtual int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) = 0;
    // From another thread than the reader's: the read in progress, and every later one, returns
    // kReadCancelled soon, so that a reader can be ended without waiting out its time-out.
    virtual void cancelRead() = 0;
    // True where reads deliver a report of a device without numbered reports without its report
    // ID byte (0), as hidraw does; the link puts the 0 back in front.
    virtual bool readOmitsReportId() const { return false; }
    // Writes one whole output report (report ID first). False when the write failed.
    virtual bool write(const std::uint8_t* data, std::size_t length) = 0;
    // Held from a packet's first report to its last, so that another program writing to the same
    // transmitter cannot put its reports between them. It waits while another program holds it,
    // as a write waits for the device: for that program's few reports. Nothing by default.
    virtual void holdForPacket() {}
    virtual void releasePacket() {}
};

// The only way the link reaches devices: the HID library in the program, a fake in tests.
class HidBackend {
  public:
    virtual ~HidBackend() = default;
    // The HID devices present now, in the platform's order.
    virtual std::vector<HidDeviceInfo> enumerate() = 0;
    // Opens `path` for reading and writing; nullptr on failure, with the reason in `error`.
    virtual std::unique_ptr<HidDevice> open(const std::string& path, std::string& error) = 0;
    // The device path that a user's name for a device stands for (a link to it, a short name),
    // or empty where the text names no path; serial numbers are matched by the link itself.
    virtual std::string resolvePath(const std::string& name) { return name; }
};

}  // namespace tavik
