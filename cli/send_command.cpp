// SPDX-License-Identifier: MIT
#include "send_command.hpp"

#include <istream>
#include <ostream>

#include "batch_input.hpp"
#include "cli_app.hpp"
#include "messages.hpp"
#include "send_session.hpp"
#include "stream_errors.hpp"
#include "stream_log.hpp"

namespace tavik::cli {
namespace {

// tavik-cli's sends: the session with its log on standard output, and the exit status the sends
// add up to.
class CliSends {
  public:
    CliSends(HidBackend& backend, const SendOptions& options, std::ostream& out, std::ostream& err)
        : m_err(err),
          m_log(out),
          m_session(backend, m_log,
                    {{options.readTimeoutMs, options.device, nullptr}, options.gap}) {
        m_session.start();
        if (options.trace) {
            m_session.link().setTrace([&err](const std::string& line) {
                err << line << '\n' << std::flush;
            });
        }
    }
    ~CliSends() { m_session.shutdown(); }
    CliSends(const CliSends&) = delete;
    CliSends& operator=(const CliSends&) = delete;

    void send(const BatchLine& line) {
        if (line.tooLong) {
            m_log.appendLog(messages::kEncodingFailed);
            m_badInput = true;
            return;
        }
        const SendResult result = m_session.send(line.system, line.command);
        m_badInput = m_badInput || result.badInput();
        m_notDelivered = m_notDelivered || (result.encoded() && !result.delivered());
        if (result.status == SendStatus::kNotFound &&
            m_session.link().unopenableInLastSearch() > 0 && !m_hinted) {
            m_hinted = true;
            m_err << "tavik-cli: a transmitter is present but cannot be opened; "
                     "'tavik-cli devices' tells why\n";
        }
    }

    void fail() { m_badInput = true; }

    int exitCode() const {
        return m_badInput ? kExitBadInput : m_notDelivered ? kExitNotDelivered : kExitOk;
    }

  private:
    std::ostream& m_err;
    StreamLog m_log;
    SendSession m_session;
    bool m_badInput = false;
    bool m_notDelivered = false;
    bool m_hinted = false;
};

}  // namespace

int sendSingle(HidBackend& backend, const SendOptions& options, std::string_view system,
               std::string_view command, std::ostream& out, std::ostream& err) {
    CliSends sends(backend, options, out, err);
    sends.send({std::string(system), std::string(command)});
    return sends.exitCode();
}

int sendBatch(HidBackend& backend, const SendOptions& options, std::istream& in, std::ostream& out,
              std::ostream& err) {
    // Reading must not flush `out` while the reader thread may be writing a log line to it.
    std::ostream* const tied = in.tie(nullptr);
    int code = kExitOk;
    {
        CliSends sends(backend, options, out, err);
        BatchReader reader(in);
        while (const auto line = reader.next()) {
            sends.send(*line);
            if (!out) {
                sends.fail();
                break;
            }
        }
        if (!reader.readError().empty()) {
            reportReadError(err, reader.readError());
            sends.fail();
        }
        code = sends.exitCode();
    }
    in.tie(tied);
    return code;
}

}  // namespace tavik::cli
