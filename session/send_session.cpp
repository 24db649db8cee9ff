// SPDX-License-Identifier: MIT
#include "send_session.hpp"

#include <string>

#include "command_line.hpp"
#include "full_width.hpp"

namespace tavik {
namespace {

using Clock = std::chrono::steady_clock;

SendStatus refusalStatus(EncodeStatus status) {
    switch (status) {
        case EncodeStatus::kUnknownSystem:
            return SendStatus::kUnknownSystem;
        case EncodeStatus::kUnknownNumber:
            return SendStatus::kUnknownNumber;
        case EncodeStatus::kNotEncoded:
        case EncodeStatus::kEncoded:
            break;
    }
    return SendStatus::kNotEncoded;
}

SendStatus sendStatus(TransmitResult sent) {
    switch (sent) {
        case TransmitResult::kSent:
            return SendStatus::kDelivered;
        case TransmitResult::kNothingWritten:
        case TransmitResult::kCutShort:
            return SendStatus::kWriteFailed;
        case TransmitResult::kNotConnected:
            break;
    }
    return SendStatus::kNotFound;
}

// The link tells the session of a lost connection, whatever else the front end asked for.
DeviceLink::Options withLostFlag(DeviceLink::Options options, std::atomic<bool>& lost,
                                 const std::function<void()>& onLost) {
    options.onLost = [&lost, &onLost, then = std::move(options.onLost)] {
        lost = true;
        if (onLost) {
            onLost();
        }
        if (then) {
            then();
        }
    };
    return options;
}

}  // namespace

void SendSession::RecordingLog::appendLog(std::string_view line) {
    // Only the owner's thread sets m_recording, so only it may look at it.
    if (std::this_thread::get_id() == m_owner && m_recording != nullptr) {
        m_recording->emplace_back(line);
    }
    m_target.appendLog(line);
}

SendSession::SendSession(HidBackend& backend, LogSink& log, Options options)
    : m_log(log),
      m_gap(options.gap),
      m_link(backend, m_log, withLostFlag(std::move(options.link), m_lost, m_onLost)) {}

void SendSession::start() {
    m_link.initialise();
}

void SendSession::releaseLostConnection() {
    if (m_lost.exchange(false)) {
        m_link.releaseLostConnection();
    }
}

SendSession::Step SendSession::beginSend(const SendCommand& command) {
    releaseLostConnection();
    m_stopWaiting = false;
    const std::string text = asciiFromFullWidth(command.text);  // "１２" is sent and logged as "12"
    Encoding encoded;
    SystemId system = command.system;
    std::int32_t number = command.number;
    if (command.byToken) {
        const SystemSelection selection = resolveSystemToken(command.systemToken);
        encoded = m_encoder.encode(command.systemToken, text);
        system = selection.systemId;
        number = selection.number;
    } else {
        encoded = m_encoder.encode(system, number, text);
    }
    if (encoded.status != EncodeStatus::kEncoded) {
        return refuse(encoded.status);
    }
    SendInProgress& active = m_active.emplace();
    active.system = system;
    active.number = number;
    active.text = text;
    active.wait = command.wait;
    active.deadline = Clock::now() + command.wait.limit;
    active.result.count = encoded.count;
    return advance();
}

SendSession::Step SendSession::continueSend() {
    if (!m_active) {
        return {SendResult{}, {}};
    }
    return advance();
}

SendSession::Step SendSession::refuse(EncodeStatus status) {
    SendResult result{refusalStatus(status), -1, {}};
    m_log.record(&result.lines);
    appendLog(refusalMessage(status));
    m_log.record(nullptr);
    return {std::move(result), {}};
}

bool SendSession::waitEnds(const SendInProgress& active) const {
    return active.wait.limit.count() <= 0 || m_stopWaiting ||
           (active.wait.stop != nullptr && active.wait.stop->load());
}

SendSession::Step SendSession::advance() {
    SendInProgress& active = *m_active;
    m_log.record(&active.result.lines);
    if (active.search) {
        active.search = false;
        // The absence is told once: by the search that found nothing, or after a lost write by
        // the first search that follows.
        const Absence absence = active.absenceLogged ? Absence::kQuiet : Absence::kLogged;
        active.absenceLogged = true;
        if (m_link.findDevice(absence) != 1) {
            active.sent = TransmitResult::kNotConnected;
            active.written = true;
        } else {
            active.written = false;
        }
    }
    if (!active.written) {
        const auto due = nextPacketDue();
        if (const auto now = Clock::now(); now < due) {
            m_log.record(nullptr);
            // Rounded up: the gap is a least time.
            return {std::nullopt, std::chrono::ceil<std::chrono::milliseconds>(due - now)};
        }
        const bool first = !active.attempted;
        active.attempted = true;
        active.sent = m_link.transmitPacket(m_encoder.packet(), m_encoder.packet().count);
        active.written = true;
        if (active.sent != TransmitResult::kNotConnected) {
            m_lastWriteEnd = Clock::now();
        } else if (first) {
            active.absenceLogged = true;  // transmitPacket's own search said so
        }
    }
    if (waitEnds(active)) {
        return finish();
    }
    if (active.sent == TransmitResult::kNothingWritten && !active.rewritten) {
        active.rewritten = true;
    } else if (active.sent != TransmitResult::kNotConnected || Clock::now() >= active.deadline) {
        return finish();
    }
    active.search = true;
    m_log.record(nullptr);
    return {std::nullopt, kSearchInterval};
}

SendSession::Step SendSession::finish() {
    appendLog(sendLogLine(m_active->system, m_active->number, m_active->text));
    m_log.record(nullptr);
    SendResult result = std::move(m_active->result);
    result.status = sendStatus(m_active->sent);
    result.written =
        m_active->sent == TransmitResult::kSent || m_active->sent == TransmitResult::kCutShort;
    m_active.reset();
    return {std::move(result), {}};
}

SendResult SendSession::sendNow(const SendCommand& command) {
    const auto gap = m_gap;
    m_gap = std::chrono::milliseconds(0);
    Step step = beginSend(command);
    m_gap = gap;
    return std::move(*step.result);
}

SendResult SendSession::send(SystemId system, std::int32_t number, std::string_view text) {
    return sendNow(SendCommand::selected(system, number, std::string(text)));
}

SendResult SendSession::send(std::string_view systemToken, std::string_view text) {
    return sendNow(SendCommand::token(std::string(systemToken), std::string(text)));
}

Clock::time_point SendSession::nextPacketDue() const {
    if (m_gap.count() <= 0 || !m_lastWriteEnd) {
        return Clock::time_point::min();
    }
    return *m_lastWriteEnd + m_gap;
}

void SendSession::appendLog(std::string_view line) {
    m_log.appendLog(line);
}

}  // namespace tavik
