#include "device_link.hpp"

#include <chrono>
#include <system_error>
#include <thread>

#include "hex_text.hpp"
#include "messages.hpp"
#include "output_report.hpp"

namespace tavik {

struct DeviceLink::Connection {
    std::uint32_t id = 0;
    std::unique_ptr<HidDevice> writeHandle;  // the window's thread only
    std::unique_ptr<HidDevice> readHandle;   // the reader only, until it has ended
    std::thread readerThread;
    std::atomic<bool> readerEnded{true};
};

namespace {

constexpr int kInputReportSize = 8;

std::string foundMessage(std::uint16_t version) {
    return "デバイスが見付かりました(" + revisionText(version) + ")。";
}

}  // namespace

DeviceLink::DeviceLink(HidBackend& backend, LogSink& log) : DeviceLink(backend, log, Options{}) {}

DeviceLink::DeviceLink(HidBackend& backend, LogSink& log, Options options)
    : m_backend(backend), m_log(log), m_options(std::move(options)) {}

DeviceLink::~DeviceLink() {
    shutdownLink();
}

void DeviceLink::initialise() {
    m_connected = 0;
    m_running = 1;
}

int DeviceLink::findDevice() {
    // The lost connection's remains go before a new one opens. (Called while connected, the
    // old connection is given up, so that its reader ends too.)
    m_connected = 0;
    if (m_current) {
        m_ended.push_back(std::move(m_current));
    }
    releaseEndedConnections();

    for (const HidDeviceInfo& info : m_backend.enumerate()) {
        if (info.vendorId != kTransmitterVendorId || info.productId != kTransmitterProductId) {
            continue;
        }
        if (!m_options.devicePath.empty() && info.path != m_options.devicePath) {
            continue;
        }
        std::string error;
        auto writeHandle = m_backend.open(info.path, error);
        if (!writeHandle) {
            continue;  // cannot be opened: counts as not matching
        }
        m_log.appendLog(foundMessage(info.versionNumber));

        auto connection = std::make_unique<Connection>();
        connection->id = ++m_lastConnectionId;
        if (connection->id == 0) {
            connection->id = ++m_lastConnectionId;  // 0 means "not connected"
        }
        connection->writeHandle = std::move(writeHandle);
        // A failed second open shows through the reader: its first read fails.
        connection->readHandle = m_backend.open(info.path, error);
        m_connected = connection->id;
        connection->readerEnded = false;
        try {
            connection->readerThread =
                std::thread([this, c = connection.get()] { readerLoop(*c); });
        } catch (const std::system_error&) {
            connection->readerEnded = true;  // connected without a reader; writing still works
        }
        m_current = std::move(connection);
        return 1;
    }
    m_log.appendLog(messages::kDeviceNotFound);
    return 0;
}

void DeviceLink::readerLoop(Connection& connection) {
    for (;;) {
        std::uint8_t report[kInputReportSize] = {};
        const int n = connection.readHandle ? connection.readHandle->read(report, sizeof report,
                                                                          m_options.readTimeoutMs)
                                            : -1;
        if (n < 0) {
            m_inputLength = 0;
            connection.readHandle.reset();
            m_log.appendLog(messages::kReceiveFailed);
            std::uint32_t mine = connection.id;
            m_connected.compare_exchange_strong(mine, 0);
        } else if (n > 0) {
            storeInputReport(report, n);
        }
        if (m_connected.load() != connection.id || m_running.load() == 0) {
            break;
        }
    }
    connection.readerEnded = true;
}

void DeviceLink::storeInputReport(const std::uint8_t* bytes, int length) {
    std::uint64_t packed = 0;
    for (int i = 0; i < length && i < kInputReportSize; ++i) {
        packed |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    }
    m_inputReport = packed;
    m_inputLength =
        static_cast<std::uint32_t>(length < kInputReportSize ? length : kInputReportSize);
}

std::string DeviceLink::traceLine(const std::uint8_t* payload, int length) const {
    std::string line = "OUT[ ";
    appendHexBytes(line, std::span(payload, static_cast<std::size_t>(length)));
    line += "] / IN[ ";
    const std::uint64_t input = m_inputReport.load();
    std::uint8_t in[kInputReportSize];
    for (int i = 0; i < kInputReportSize; ++i) {
        in[i] = static_cast<std::uint8_t>(input >> (8 * i));
    }
    appendHexBytes(line, std::span(in, m_inputLength.load()));
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
    for (int r = 0; r < split.count; ++r) {
        const OutputReport& report = split.reports[static_cast<std::size_t>(r)];
        if (!connection.writeHandle ||
            !connection.writeHandle->write(report.data(), report.size())) {
            connection.writeHandle.reset();
            m_log.appendLog(messages::kSendFailed);
            std::uint32_t mine = connection.id;
            m_connected.compare_exchange_strong(mine, 0);
            return TransmitResult::kWriteFailed;
        }
        if (m_trace) {
            m_trace(traceLine(report.data() + 1, split.payloadLength[static_cast<std::size_t>(r)]));
        }
    }
    return TransmitResult::kSent;
}

void DeviceLink::releaseEndedConnections() {
    for (auto& connection : m_ended) {
        // A reader ends within one read time-out; it may be waiting to hand over its failure
        // line, so keep letting lines through while waiting.
        while (!connection->readerEnded.load()) {
            m_log.deliverPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (connection->readerThread.joinable()) {
            connection->readerThread.join();
        }
        connection->writeHandle.reset();
        connection->readHandle.reset();
    }
    m_ended.clear();
}

void DeviceLink::shutdownLink() {
    m_running = 0;
    if (m_current) {
        m_ended.push_back(std::move(m_current));
    }
    releaseEndedConnections();
    m_connected = 0;
}

}  // namespace tavik
