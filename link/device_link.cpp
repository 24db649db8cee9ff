// SPDX-License-Identifier: MIT
#include "device_link.hpp"

#include <system_error>
#include <thread>

#include "hex_text.hpp"
#include "link_messages.hpp"
#include "output_report.hpp"

namespace tavik {

struct DeviceLink::Connection {
    HidDeviceInfo info;
    std::unique_ptr<HidDevice> writeHandle;  // the window's thread only
    // The reader's, until it has ended; the window's thread may only cancel its read.
    std::unique_ptr<HidDevice> readHandle;
    std::thread readerThread;
};

namespace {

constexpr int kInputReportSize = 8;

std::string foundMessage(std::uint16_t version) {
    return "デバイスが見付かりました(" + revisionText(version) + ")。";
}

std::string cannotOpenMessage(const std::string& path, const std::string& reason) {
    return "デバイスを開けません(" + path + ": " + reason + ")。";
}

// A packet's hold on its device, let go at the end of the packet or before the device goes.
class PacketHold {
  public:
    explicit PacketHold(HidDevice* device) : m_device(device) {
        if (m_device != nullptr) {
            m_device->holdForPacket();
        }
    }
    ~PacketHold() { release(); }
    PacketHold(const PacketHold&) = delete;
    PacketHold& operator=(const PacketHold&) = delete;

    void release() {
        if (m_device != nullptr) {
            m_device->releasePacket();
            m_device = nullptr;
        }
    }

  private:
    HidDevice* m_device;
};

}  // namespace

bool namesTransmitter(const std::string& name, const std::string& resolvedPath,
                      const HidDeviceInfo& info) {
    return name.empty() || info.path == name ||
           (!resolvedPath.empty() && info.path == resolvedPath) ||
           (!info.serialNumber.empty() && info.serialNumber == name);
}

DeviceLink::DeviceLink(HidBackend& backend, LogSink& log) : DeviceLink(backend, log, Options{}) {}

DeviceLink::DeviceLink(HidBackend& backend, LogSink& log, Options options)
    : m_backend(backend), m_log(log), m_options(std::move(options)) {
    if (!m_options.device.empty()) {
        m_devicePath = m_backend.resolvePath(m_options.device);
    }
}

DeviceLink::~DeviceLink() {
    shutdownLink();
}

void DeviceLink::initialise() {
    m_connected = 0;
    m_running = 1;
}

bool DeviceLink::isWanted(const HidDeviceInfo& info) const {
    if (info.vendorId != kTransmitterVendorId || info.productId != kTransmitterProductId) {
        return false;
    }
    if (!m_options.device.empty() && !m_followSerial.empty()) {
        return info.serialNumber == m_followSerial;
    }
    return namesTransmitter(m_options.device, m_devicePath, info);
}

int DeviceLink::findDevice(Absence absence) {
    // What is left of an earlier connection goes before a new one opens, so at most one reader
    // ever runs. (Called while connected, the old connection is given up.)
    m_connected = 0;
    endConnection();
    m_unopenable = 0;

    std::vector<std::string> unopenable;
    for (const HidDeviceInfo& info : m_backend.enumerate()) {
        if (!isWanted(info)) {
            continue;
        }
        std::string error;
        auto writeHandle = m_backend.open(info.path, error);
        if (!writeHandle) {
            unopenable.push_back(cannotOpenMessage(info.path, error));
            continue;  // counts as not matching
        }
        m_log.appendLog(foundMessage(info.versionNumber));
        if (!m_options.device.empty() && !info.serialNumber.empty()) {
            m_followSerial = info.serialNumber;
        }

        auto connection = std::make_unique<Connection>();
        connection->info = info;
        connection->writeHandle = std::move(writeHandle);
        // A failed second open shows through the reader: its first read fails.
        connection->readHandle = m_backend.open(info.path, error);
        m_connected = 1;
        try {
            connection->readerThread =
                std::thread([this, c = connection.get()] { readerLoop(*c); });
        } catch (const std::system_error&) {
            // Connected without a reader; writing still works.
        }
        m_current = std::move(connection);
        return 1;
    }
    m_unopenable = static_cast<int>(unopenable.size());
    if (absence == Absence::kQuiet) {
        return 0;
    }
    m_log.appendLog(messages::kDeviceNotFound);
    for (const std::string& line : unopenable) {
        m_log.appendLog(line);
    }
    return 0;
}

void DeviceLink::readerLoop(Connection& connection) {
    HidDevice* handle = connection.readHandle.get();
    // Where the platform leaves the report ID out, it goes back in front: the report is 8 bytes,
    // report ID first, everywhere.
    const int offset = handle != nullptr && handle->readOmitsReportId() ? 1 : 0;
    for (;;) {
        std::uint8_t report[kInputReportSize] = {};
        int n = kReadFailed;
        if (handle != nullptr) {
            n = handle->read(report + offset, sizeof report - offset, m_options.readTimeoutMs);
        }
        if (n == kReadCancelled) {
            return;  // the connection was ended on purpose; its handle closes after the join
        }
        if (n < 0) {
            storeInputReport(report, 0);
            m_log.appendLog(messages::kReceiveFailed);
            m_connected = 0;
            if (m_options.onLost) {
                m_options.onLost();
            }
            return;
        }
        if (n > 0) {
            storeInputReport(report, n + offset);
        }
        if (m_connected.load() == 0 || m_running.load() == 0) {
            return;
        }
    }
}

void DeviceLink::storeInputReport(const std::uint8_t* bytes, int length) {
    std::uint64_t packed = 0;
    for (int i = 0; i < length && i < kInputReportSize; ++i) {
        packed |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    }
    // Only the reader writes, so a plain odd/even count suffices.
    m_inputSequence.fetch_add(1);
    m_inputReport = packed;
    m_inputLength =
        static_cast<std::uint32_t>(length < kInputReportSize ? length : kInputReportSize);
    m_inputSequence.fetch_add(1);
}

std::string DeviceLink::traceLine(const std::uint8_t* payload, int length) const {
    std::string line = "OUT[ ";
    appendHexBytes(line, std::span(payload, static_cast<std::size_t>(length)));
    line += "] / IN[ ";
    std::uint64_t input = 0;
    std::uint32_t inputLength = 0;
    for (std::uint32_t before = 1, after = 0; before != after || (before & 1U) != 0;) {
        before = m_inputSequence.load();
        input = m_inputReport.load();
        inputLength = m_inputLength.load();
        after = m_inputSequence.load();
    }
    std::uint8_t in[kInputReportSize];
    for (int i = 0; i < kInputReportSize; ++i) {
        in[i] = static_cast<std::uint8_t>(input >> (8 * i));
    }
    appendHexBytes(line, std::span(in, inputLength));
    line += "]";
    return line;
}

TransmitResult DeviceLink::transmitPacket(const CodePacket& packet, std::int32_t count) {
    if (m_connected.load() == 0) {
        findDevice();
    }
    if (m_connected.load() == 0 || !m_current) {
        return TransmitResult::kNotConnected;
    }
    Connection& connection = *m_current;
    const ReportSplit split = splitIntoReports(packet, count);
    PacketHold hold(connection.writeHandle.get());
    for (int r = 0; r < split.count; ++r) {
        const OutputReport& report = split.reports[static_cast<std::size_t>(r)];
        if (!connection.writeHandle ||
            !connection.writeHandle->write(report.data(), report.size())) {
            hold.release();
            connection.writeHandle.reset();
            m_log.appendLog(messages::kSendFailed);
            m_connected = 0;
            releaseLostConnection();
            return r == 0 ? TransmitResult::kNothingWritten : TransmitResult::kCutShort;
        }
        if (m_trace) {
            m_trace(traceLine(report.data() + 1, split.payloadLength[static_cast<std::size_t>(r)]));
        }
    }
    return TransmitResult::kSent;
}

std::optional<HidDeviceInfo> DeviceLink::connectedDevice() const {
    if (m_connected.load() == 0 || !m_current) {
        return std::nullopt;
    }
    return m_current->info;
}

void DeviceLink::releaseLostConnection() {
    if (m_connected.load() == 0) {
        endConnection();
    }
}

void DeviceLink::endConnection() {
    if (!m_current) {
        return;
    }
    std::unique_ptr<Connection> connection = std::move(m_current);
    if (connection->readerThread.joinable()) {
        if (connection->readHandle) {
            connection->readHandle->cancelRead();
        }
        // The reader may hand over its failure line meanwhile.
        m_log.whileBlocked([&] { connection->readerThread.join(); });
    }
}

void DeviceLink::shutdownLink() {
    m_running = 0;
    endConnection();
    m_connected = 0;
}

}  // namespace tavik
