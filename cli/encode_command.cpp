// SPDX-License-Identifier: MIT
#include "encode_command.hpp"

#include <istream>
#include <ostream>

#include "batch_input.hpp"
#include "cli_app.hpp"
#include "command_encoder.hpp"
#include "full_width.hpp"
#include "hex_text.hpp"
#include "messages.hpp"
#include "output_report.hpp"
#include "refusal_hint.hpp"
#include "stream_errors.hpp"

namespace tavik::cli {
namespace {

// Encoding alone: the packet and the encoder's lasting state, no link.
class EncodeSession {
  public:
    // The block of an encoded line, or "error " and the message; `ok` tells which, and `hint`
    // gets tavik-cli's words for a refusal.
    std::string encodeLine(std::string_view system, std::string_view command, bool& ok,
                           std::string& hint) {
        const Encoding result = m_encoder.encode(system, asciiFromFullWidth(command));
        ok = result.status == EncodeStatus::kEncoded;
        hint = ok ? std::string() : refusalHint(result.status, system, command);
        return ok ? formatEncoding(m_encoder.packet())
                  : "error " + std::string(refusalMessage(result.status)) + "\n";
    }

  private:
    CommandEncoder m_encoder;
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
    std::string hint;
    const std::string result = session.encodeLine(system, command, ok, hint);
    (ok ? out : err) << result;
    if (!ok) {
        err << "tavik-cli: " << hint << '\n';
    }
    return ok ? kExitOk : kExitBadInput;
}

int encodeBatch(std::istream& in, std::ostream& out, std::ostream& err, std::string_view source) {
    EncodeSession session;
    BatchReader reader(in);
    bool allEncoded = true;
    while (const auto line = reader.next()) {
        bool ok = false;
        std::string hint = tooLongHint();
        out << (line->tooLong ? "error " + std::string(messages::kEncodingFailed) + "\n"
                              : session.encodeLine(line->system, line->command, ok, hint));
        allEncoded = allEncoded && ok;
        if (!out) {
            return kExitBadInput;
        }
        if (!ok) {
            // After the line's block, so that both streams on one terminal read in order.
            out.flush();
            err << "tavik-cli: line " << reader.lineNumber() << ": " << hint << '\n';
        }
    }
    if (!reader.readError().empty()) {
        reportReadError(err, source, reader.readError());
        return kExitBadInput;
    }
    return allEncoded ? kExitOk : kExitBadInput;
}

}  // namespace tavik::cli
