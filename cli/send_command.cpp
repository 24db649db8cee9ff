#include "send_command.hpp"

#include <algorithm>
#include <istream>
#include <ostream>

#include "batch_input.hpp"
#include "cli_app.hpp"
#include "command_line.hpp"
#include "device_link.hpp"
#include "encoder.hpp"
#include "messages.hpp"
#include "stream_log.hpp"

namespace tavik::cli {
namespace {

// One run of sends: the program's one packet and one link, as in the window.
class SendSession {
  public:
    SendSession(HidBackend& backend, const SendOptions& options, std::ostream& out,
                std::ostream& err)
        : m_log(out), m_link(backend, m_log, {options.readTimeoutMs, options.devicePath}) {
        m_link.initialise();
        if (options.trace) {
            m_link.setTrace([&err](const std::string& line) { err << line << '\n' << std::flush; });
        }
    }

    ~SendSession() { m_link.shutdownLink(); }
    SendSession(const SendSession&) = delete;
    SendSession& operator=(const SendSession&) = delete;

    void send(std::string_view systemToken, std::string_view command) {
        const SystemSelection selection = resolveSystemToken(systemToken);
        if (selection.error != SelectionError::kNone) {
            m_log.appendLog(selection.error == SelectionError::kUnknownSystem
                                ? messages::kUnknownSystem
                                : messages::kUnknownNumber);
            m_badInput = true;
            return;
        }
        const std::string text(command);
        if (encodeCommand(m_packet, selection.systemId, selection.number, text.c_str()) < 1) {
            m_log.appendLog(messages::kEncodingFailed);
            m_badInput = true;
            return;
        }
        if (m_link.transmitPacket(m_packet, m_packet.count) != TransmitResult::kSent) {
            m_notDelivered = true;
        }
        m_log.appendLog(sendLogLine(selection.systemId, selection.number, text));
    }

    int exitCode() const {
        return m_badInput ? kExitBadInput : m_notDelivered ? kExitNotDelivered : kExitOk;
    }

  private:
    StreamLog m_log;
    DeviceLink m_link;
    CodePacket m_packet;
    bool m_badInput = false;
    bool m_notDelivered = false;
};

}  // namespace

int sendSingle(HidBackend& backend, const SendOptions& options, std::string_view system,
               std::string_view command, std::ostream& out, std::ostream& err) {
    SendSession session(backend, options, out, err);
    session.send(system, command);
    return session.exitCode();
}

int sendBatch(HidBackend& backend, const SendOptions& options, std::istream& in, std::ostream& out,
              std::ostream& err) {
    SendSession session(backend, options, out, err);
    while (const auto line = readBatchLine(in)) {
        session.send(line->system, line->command);
    }
    return session.exitCode();
}

}  // namespace tavik::cli
