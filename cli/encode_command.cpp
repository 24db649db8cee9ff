#include "encode_command.hpp"

#include <istream>
#include <ostream>

#include "batch_input.hpp"
#include "cli_app.hpp"
#include "command_line.hpp"
#include "encoder.hpp"
#include "hex_text.hpp"
#include "messages.hpp"
#include "output_report.hpp"

namespace tavik::cli {

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

std::string encodeLine(CodePacket& packet, std::string_view system, std::string_view command,
                       bool& ok) {
    ok = false;
    const SystemSelection selection = resolveSystemToken(system);
    switch (selection.error) {
        case SelectionError::kUnknownSystem:
            return std::string(messages::kUnknownSystem);
        case SelectionError::kUnknownNumber:
            return std::string(messages::kUnknownNumber);
        case SelectionError::kNone:
            break;
    }
    const std::string text(command);
    if (encodeCommand(packet, selection.systemId, selection.number, text.c_str()) < 1) {
        return std::string(messages::kEncodingFailed);
    }
    ok = true;
    return formatEncoding(packet);
}

int encodeSingle(std::string_view system, std::string_view command, std::ostream& out,
                 std::ostream& err) {
    CodePacket packet;
    bool ok = false;
    const std::string result = encodeLine(packet, system, command, ok);
    if (!ok) {
        err << "error " << result << '\n';
        return kExitBadInput;
    }
    out << result;
    return kExitOk;
}

int encodeBatch(std::istream& in, std::ostream& out) {
    CodePacket packet;
    bool allEncoded = true;
    while (const auto line = readBatchLine(in)) {
        bool ok = false;
        const std::string result = encodeLine(packet, line->system, line->command, ok);
        if (ok) {
            out << result;
        } else {
            out << "error " << result << '\n';
            allEncoded = false;
        }
    }
    return allEncoded ? kExitOk : kExitBadInput;
}

}  // namespace tavik::cli
