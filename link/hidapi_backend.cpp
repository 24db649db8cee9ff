// SPDX-License-Identifier: MIT
#include "hidapi_backend.hpp"

#include <fcntl.h>
#include <hidapi.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <type_traits>

#include "device_location.hpp"
#include "platform_hid.hpp"
#include "read_interrupt.hpp"

#if defined(__APPLE__)
#include <hidapi_darwin.h>
#endif

namespace tavik {
namespace {

std::string toUtf8(const wchar_t* text) {
    std::string out;
    if (text == nullptr) {
        return out;
    }
    for (; *text != L'\0'; ++text) {
        const auto c =
            static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*text));
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// hidapi is not thread-safe on one handle: each handle here is used by one thread only (the link
// opens the device twice: one handle for the reader, one for the window's thread).
class HidapiDevice : public HidDevice {
  public:
    // The packet hold is a lock on the device node (hidraw's /dev/hidrawN), which every program
    // that opens it can take: another descriptor of it, as hidapi does not give its own.
    HidapiDevice(hid_device* device, const std::string& path)
        : m_device(device), m_node(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~HidapiDevice() override {
        hid_close(m_device);
        if (m_node >= 0) {
            close(m_node);
        }
    }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        if (!m_interrupt.enter()) {
            return kReadCancelled;
        }
        const int n = hid_read_timeout(m_device, buffer, length, timeoutMs);
        m_interrupt.leave();
        if (m_interrupt.cancelled()) {
            return kReadCancelled;
        }
        return n < 0 ? kReadFailed : n;
    }

    // hidapi has no way to wake its read, and its handle must not be closed under one.
    void cancelRead() override { m_interrupt.cancel(); }

    // The transmitter has no numbered reports (its reports carry ID 0); hidraw and the other
    // hidapi backends then deliver input reports without the ID byte.
    bool readOmitsReportId() const override { return true; }

    bool write(const std::uint8_t* data, std::size_t length) override {
        // Report ID 0 leads, as hidapi expects for devices without numbered reports.
        return hid_write(m_device, data, length) == static_cast<int>(length);
    }

    void holdForPacket() override {
        if (m_node >= 0) {
            flock(m_node, LOCK_EX);
        }
    }
    void releasePacket() override {
        if (m_node >= 0) {
            flock(m_node, LOCK_UN);
        }
    }

  private:
    hid_device* m_device;
    int m_node;  // -1 where the path is no file (another hidapi backend)
    ReadInterrupt m_interrupt;
};

}  // namespace

HidapiBackend::HidapiBackend() {
    hid_init();
#if defined(__APPLE__)
    // The link opens the transmitter twice; macOS opens devices exclusively by default.
    hid_darwin_set_open_exclusive(0);
#endif
}

HidapiBackend::~HidapiBackend() {
    hid_exit();
}

std::vector<HidDeviceInfo> HidapiBackend::enumerate() {
    std::vector<HidDeviceInfo> devices;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* d = list; d != nullptr; d = d->next) {
        const std::string path = d->path != nullptr ? d->path : "";
        devices.push_back({path, d->vendor_id, d->product_id, d->release_number,
                           toUtf8(d->manufacturer_string), toUtf8(d->product_string),
                           toUtf8(d->serial_number), deviceLocation(path)});
    }
    hid_free_enumeration(list);
    return devices;
}

std::unique_ptr<HidDevice> HidapiBackend::open(const std::string& path, std::string& error) {
    errno = 0;
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) {
        const int reason = errno;
        error = reason != 0 ? std::generic_category().message(reason) : toUtf8(hid_error(nullptr));
        return nullptr;
    }
    return std::make_unique<HidapiDevice>(device, path);
}

std::string HidapiBackend::resolvePath(const std::string& name) {
    return deviceNode(name);
}

std::unique_ptr<HidBackend> createPlatformHidBackend() {
    return std::make_unique<HidapiBackend>();
}

}  // namespace tavik
