// SPDX-License-Identifier: MIT
#include "encode_command.hpp"

#include <istream>
#include <ostream>

#include "batch_input.hpp"
#include "cli_app.hpp"
#include "hex_text.hpp"
#include "messages.hpp"
#include "output_report.hpp"
#include "send_session.hpp"
#include "stream_errors.hpp"

namespace tavik::cli {
namespace {

// Encoding never reaches a transmitter.
class NoDevices : public HidBackend {
  public:
    std::vector<HidDeviceInfo> enumerate() override { return {}; }
    std::unique_ptr<HidDevice> open(const std::string&, std::string&) override { return nullptr; }
};

class NoLog : public LogSink {
  public:
    void appendLog(std::string_view) override {}
};

// A session that only encodes: its packet and its encoder's lasting state.
class EncodeSession {
  public:
    // The block of an encoded line, or "error " and the message; `ok` tells which.
    std::string encodeLine(std::string_view system, std::string_view command, bool& ok) {
        const SendResult result = m_session.encode(system, command);
        ok = result.encoded();
        return ok ? formatEncoding(m_session.packet())
                  : "error " + std::string(refusalMessage(result.status)) + "\n";
    }

  private:
    NoDevices m_devices;
    NoLog m_log;
    SendSession m_session{m_devices, m_log};
};

}  // namespace

std::string formatEncoding(const CodePacket& packet) {
    std::array<std::uint8_t, kPacketCapacity> bytes{};
    const auto w = static_cast<std::size_t>(packet.count);
    for (std::size_t i = 0; i < w; ++i) {
        bytes[i] = static_cast<std::uint8_t>(packet.elements[i] & 0xFF);
    }
    std::string text = "packet " + hexJoined(std::span(bytes).first(w)) + "\n";
    const ReportSplit split = splitIntoReports(packet, packet.count);
    for (int r = 0; r < split.count; ++r) {
        text += "report " + hexJoined(split.reports[static_cast<std::size_t>(r)]) + "\n";
    }
    return text;
}

int encodeSingle(std::string_view system, std::string_view command, std::ostream& out,
                 std::ostream& err) {
    EncodeSession session;
    bool ok = false;
    const std::string result = session.encodeLine(system, command, ok);
    (ok ? out : err) << result;
    return ok ? kExitOk : kExitBadInput;
}

int encodeBatch(std::istream& in, std::ostream& out, std::ostream& err) {
    EncodeSession session;
    BatchReader reader(in);
    bool allEncoded = true;
    while (const auto line = reader.next()) {
        bool ok = false;
        out << (line->tooLong ? "error " + std::string(messages::kEncodingFailed) + "\n"
                              : session.encodeLine(line->system, line->command, ok));
        allEncoded = allEncoded && ok;
        if (!out) {
            return kExitBadInput;
        }
    }
    if (!reader.readError().empty()) {
        reportReadError(err, reader.readError());
        return kExitBadInput;
    }
    return allEncoded ? kExitOk : kExitBadInput;
}

}  // namespace tavik::cli
