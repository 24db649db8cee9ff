// SPDX-License-Identifier: MIT
#include "windows_hid_backend.hpp"

// windows.h must come first, in a block of its own so that sorting keeps it there.
#include <windows.h>

#include <setupapi.h>
// mingw's HID header does not declare C linkage itself.
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform_hid.hpp"
#include "text_convert_win.hpp"

namespace tavik {
namespace {

constexpr DWORD kWriteTimeoutMs = 1000;
constexpr DWORD kPacketWaitMs = 5000;

std::wstring mutexName(std::wstring path) {
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return L"Local\\tavik-transmitter-" + path;
}

std::string lastErrorText() {
    return systemErrorText(GetLastError());
}

// Closes the handle when it goes.
class Handle {
  public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(m_h);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_h; }

  private:
    HANDLE m_h;
};

HANDLE openPath(const std::wstring& path, DWORD flags) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
}

std::string hidString(HANDLE device, BOOLEAN(__stdcall* query)(HANDLE, PVOID, ULONG)) {
    wchar_t text[256] = {};
    if (!query(device, text, sizeof text)) {
        return {};
    }
    return utf8FromWide(text);
}

// One open handle. Each I/O waits on its own event and is cancelled when its time runs out,
// so no call blocks without bound.
class WindowsHidDevice : public HidDevice {
  public:
    // The packet hold is a mutex named after the device's path, which every program that opens
    // the device finds (a name holds no backslash).
    WindowsHidDevice(HANDLE device, std::size_t inputLength, std::wstring path)
        : m_device(device),
          m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_packet(CreateMutexW(nullptr, FALSE, mutexName(std::move(path)).c_str())),
          m_inputLength(inputLength) {}

    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        // Windows reads whole input reports, report ID first.
        std::vector<std::uint8_t> report(std::max(m_inputLength, length));
        DWORD got = 0;
        if (!transfer(false, report.data(), static_cast<DWORD>(report.size()),
                      static_cast<DWORD>(timeoutMs), got)) {
            return m_outcome == Outcome::kCancelled  ? kReadCancelled
                   : m_outcome == Outcome::kTimedOut ? 0
                                                     : kReadFailed;
        }
        const std::size_t n = std::min<std::size_t>(got, length);
        std::memcpy(buffer, report.data(), n);
        return static_cast<int>(n);
    }

    bool write(const std::uint8_t* data, std::size_t length) override {
        std::vector<std::uint8_t> report(data, data + length);
        DWORD done = 0;
        return transfer(true, report.data(), static_cast<DWORD>(report.size()), kWriteTimeoutMs,
                        done) &&
               done == length;
    }

    // The wait of a read also watches this event, so another thread can end it at once.
    void cancelRead() override { SetEvent(m_cancel.get()); }

    // Another program's packet is a few writes, each bounded: past that bound, it is stuck.
    void holdForPacket() override {
        const DWORD got = m_packet.get() != nullptr
                              ? WaitForSingleObject(m_packet.get(), kPacketWaitMs)
                              : WAIT_FAILED;
        m_held = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
    }
    void releasePacket() override {
        if (m_held) {
            ReleaseMutex(m_packet.get());
            m_held = false;
        }
    }

  private:
    enum class Outcome { kDone, kFailed, kTimedOut, kCancelled };

    bool transfer(bool writing, std::uint8_t* data, DWORD length, DWORD timeoutMs, DWORD& done) {
        m_outcome = Outcome::kFailed;
        if (!writing && WaitForSingleObject(m_cancel.get(), 0) == WAIT_OBJECT_0) {
            m_outcome = Outcome::kCancelled;
            return false;
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_event.get();
        ResetEvent(m_event.get());
        const BOOL started = writing ? WriteFile(m_device.get(), data, length, nullptr, &overlapped)
                                     : ReadFile(m_device.get(), data, length, nullptr, &overlapped);
        if (!started && GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        const HANDLE events[] = {m_event.get(), m_cancel.get()};
        const DWORD woken = WaitForMultipleObjects(writing ? 1 : 2, events, FALSE, timeoutMs);
        if (woken != WAIT_OBJECT_0) {
            CancelIoEx(m_device.get(), &overlapped);
            // The cancelled request must be finished before its buffer goes away.
            GetOverlappedResult(m_device.get(), &overlapped, &done, TRUE);
            m_outcome = woken == WAIT_OBJECT_0 + 1 ? Outcome::kCancelled : Outcome::kTimedOut;
            return false;
        }
        if (GetOverlappedResult(m_device.get(), &overlapped, &done, FALSE) == 0) {
            return false;
        }
        m_outcome = Outcome::kDone;
        return true;
    }

    Handle m_device;
    Handle m_event;
    Handle m_cancel;  // set once: this handle's reads are over
    Handle m_packet;  // null when it could not be made: no hold
    bool m_held = false;
    std::size_t m_inputLength;
    Outcome m_outcome = Outcome::kDone;
};

}  // namespace

std::vector<HidDeviceInfo> WindowsHidBackend::enumerate() {
    std::vector<HidDeviceInfo> devices;
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO set =
        SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return devices;
    }
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &entry);
         ++index) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &entry, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            continue;
        }
        std::vector<std::uint8_t> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, size, nullptr, nullptr)) {
            continue;
        }
        // Opened without access rights, the attributes can be read even of devices that
        // Windows keeps for itself (keyboards, mice).
        const Handle device(CreateFileW(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        if (!device.valid()) {
            continue;
        }
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        if (!HidD_GetAttributes(device.get(), &attributes)) {
            continue;
        }
        devices.push_back({utf8FromWide(detail->DevicePath), attributes.VendorID,
                           attributes.ProductID, attributes.VersionNumber,
                           hidString(device.get(), HidD_GetManufacturerString),
                           hidString(device.get(), HidD_GetProductString),
                           hidString(device.get(), HidD_GetSerialNumberString), ""});
    }
    SetupDiDestroyDeviceInfoList(set);
    return devices;
}

std::unique_ptr<HidDevice> WindowsHidBackend::open(const std::string& path, std::string& error) {
    const std::wstring wide = wideFromUtf8(path);
    HANDLE device = openPath(wide, FILE_FLAG_OVERLAPPED);
    if (device == INVALID_HANDLE_VALUE) {
        error = lastErrorText();
        return nullptr;
    }
    std::size_t inputLength = 0;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (HidD_GetPreparsedData(device, &preparsed)) {
        HIDP_CAPS caps{};
        if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
            inputLength = caps.InputReportByteLength;
        }
        HidD_FreePreparsedData(preparsed);
    }
    return std::make_unique<WindowsHidDevice>(device, inputLength, wide);
}

std::unique_ptr<HidBackend> createPlatformHidBackend() {
    return std::make_unique<WindowsHidBackend>();
}

}  // namespace tavik
