// SPDX-License-Identifier: MIT
#include "send_command.hpp"

#include <atomic>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <string>

#include "batch_input.hpp"
#include "cli_app.hpp"
#include "device_choice.hpp"
#include "messages.hpp"
#include "refusal_hint.hpp"
#include "send_pipeline.hpp"
#include "send_session.hpp"
#include "stop_signals.hpp"
#include "stream_errors.hpp"
#include "stream_log.hpp"
#include "thread_loop.hpp"

namespace tavik::cli {
namespace {

// tavik-cli's sends: the session with its log on standard output, its pipeline on this thread's
// loop, and the exit status the sends add up to.
class CliSends {
  public:
    CliSends(HidBackend& backend, const SendOptions& options, std::ostream& out, std::ostream& err,
             const std::atomic<bool>* stop = nullptr)
        : m_err(err),
          m_wait{options.wait, stop},
          m_log(out),
          m_session(backend, m_log,
                    {{options.readTimeoutMs, options.device, nullptr}, options.gap}),
          m_pipeline(m_session, m_loop) {
        warnIfNoTransmitterMatches(backend, options.device, err);
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

    struct Outcome {
        bool found = true;    // false when no transmitter came within a wait: a stream stops there
        std::string refusal;  // why nothing was sent, for standard error; empty when sent
    };

    Outcome send(const BatchLine& line) {
        if (line.tooLong) {
            m_log.appendLog(messages::kEncodingFailed);
            m_badInput = true;
            return {true, tooLongHint()};
        }
        const SendResult result = sendAndWait(line);
        m_badInput = m_badInput || result.badInput();
        m_notDelivered = m_notDelivered || (result.encoded() && !result.delivered());
        if (result.status == SendStatus::kNotFound &&
            m_session.link().unopenableInLastSearch() > 0 && !m_hinted) {
            m_hinted = true;
            m_err << "tavik-cli: a transmitter is present but cannot be opened; "
                     "'tavik-cli devices' tells why\n";
        }
        return {result.status != SendStatus::kNotFound || m_wait.limit.count() == 0,
                refusalHint(result.status, line.system, line.command)};
    }

    void fail() { m_badInput = true; }

  private:
    // The gap and a wait for the transmitter are timers of this thread's loop, run until the
    // line's result is in.
    SendResult sendAndWait(const BatchLine& line) {
        std::optional<SendResult> result;
        m_pipeline.submit(
            SendCommand::token(line.system, line.command, m_wait),
            [&](std::optional<SendResult> done) {
                result = std::move(done);
                m_loop.quit();
            },
            SendSource::kBatch);
        m_loop.run();  // at once when the result came before it
        return result ? std::move(*result) : SendResult{};
    }

  public:
    int exitCode() const {
        return m_badInput ? kExitBadInput : m_notDelivered ? kExitNotDelivered : kExitOk;
    }

  private:
    std::ostream& m_err;
    TransmitterWait m_wait;
    StreamLog m_log;
    ThreadLoop m_loop;
    SendSession m_session;
    SendPipeline m_pipeline;
    bool m_badInput = false;
    bool m_notDelivered = false;
    bool m_hinted = false;
};

}  // namespace

int sendSingle(HidBackend& backend, const SendOptions& options, std::string_view system,
               std::string_view command, std::ostream& out, std::ostream& err) {
    CliSends sends(backend, options, out, err);
    const auto sent = sends.send({std::string(system), std::string(command)});
    if (!sent.refusal.empty()) {
        err << "tavik-cli: " << sent.refusal << '\n';
    }
    if (!sent.found) {
        err << "tavik-cli: no transmitter for " << options.wait.count() << " s\n";
    }
    return sends.exitCode();
}

int sendBatch(HidBackend& backend, const SendOptions& options, std::istream& in, std::ostream& out,
              std::ostream& err, std::string_view source) {
    // Reading must not flush `out` while the reader thread may be writing a log line to it.
    std::ostream* const tied = in.tie(nullptr);
    std::atomic<bool> interrupted{false};
    std::atomic<bool> readingInput{false};
    std::atomic<std::size_t> nextLine{1};
    const auto stoppedBefore = [&] {
        return "; stopped before line " + std::to_string(nextLine.load()) + "\n";
    };
    int code = kExitOk;
    {
        // Made before the session, whose reader thread must not take the signal.
        StopSignals stops([&] {
            interrupted = true;
            // Nothing is in progress while the batch waits for input, which no signal ends.
            if (readingInput.load()) {
                err << "tavik-cli: interrupted" << stoppedBefore() << std::flush;
                std::_Exit(kExitInterrupted);
            }
        });
        CliSends sends(backend, options, out, err, &interrupted);
        BatchReader reader(in);
        for (;;) {
            readingInput = true;
            const auto line = interrupted.load() ? std::optional<BatchLine>{} : reader.next();
            readingInput = false;
            if (!line) {
                break;
            }
            nextLine = reader.lineNumber();
            const auto sent = sends.send(*line);
            const bool found = sent.found;
            if (!sent.refusal.empty()) {
                err << "tavik-cli: line " << reader.lineNumber() << ": " << sent.refusal << '\n';
            }
            if (!out) {
                sends.fail();
                break;
            }
            if (interrupted.load()) {
                if (found) {
                    nextLine = reader.lineNumber() + 1;
                }
                break;
            }
            if (!found) {
                err << "tavik-cli: no transmitter for " << options.wait.count() << " s"
                    << stoppedBefore();
                break;
            }
            nextLine = reader.lineNumber() + 1;
        }
        if (interrupted.load()) {
            err << "tavik-cli: interrupted" << stoppedBefore();
            code = kExitInterrupted;
        } else if (!reader.readError().empty()) {
            reportReadError(err, source, reader.readError());
            sends.fail();
        }
        if (code == kExitOk) {
            code = sends.exitCode();
        }
    }
    in.tie(tied);
    return code;
}

}  // namespace tavik::cli
