// SPDX-License-Identifier: MIT
#include "send_session.hpp"

#include <string>

#include "command_line.hpp"
#include "full_width.hpp"

namespace tavik {
namespace {

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

bool stopped(const TransmitterWait& wait) {
    return wait.stop != nullptr && wait.stop->load();
}

}  // namespace

std::string_view refusalMessage(SendStatus status) {
    switch (status) {
        case SendStatus::kUnknownSystem:
            return refusalMessage(EncodeStatus::kUnknownSystem);
        case SendStatus::kUnknownNumber:
            return refusalMessage(EncodeStatus::kUnknownNumber);
        case SendStatus::kNotEncoded:
            return refusalMessage(EncodeStatus::kNotEncoded);
        default:
            return {};
    }
}

void SendSession::RecordingLog::appendLog(std::string_view line) {
    // Only the owner's thread sets m_recording, so only it may look at it.
    if (std::this_thread::get_id() == m_owner && m_recording != nullptr) {
        m_recording->emplace_back(line);
    }
    m_target.appendLog(line);
}

SendSession::SendSession(HidBackend& backend, LogSink& log, Options options)
    : m_log(log), m_gap(options.gap), m_link(backend, m_log, std::move(options.link)) {}

void SendSession::start() {
    m_link.initialise();
}

SendResult SendSession::send(SystemId system, std::int32_t number, std::string_view typed,
                             const TransmitterWait& wait) {
    const std::string text = asciiFromFullWidth(typed);  // "１２" is sent and logged as "12"
    const Encoding encoded = m_encoder.encode(system, number, text);
    if (encoded.status != EncodeStatus::kEncoded) {
        return refuse(refusalStatus(encoded.status));
    }
    return transmitEncoded(system, number, text, encoded.count, wait);
}

SendResult SendSession::send(std::string_view systemToken, std::string_view typed,
                             const TransmitterWait& wait) {
    const std::string text = asciiFromFullWidth(typed);
    const SystemSelection selection = resolveSystemToken(systemToken);
    const Encoding encoded = m_encoder.encode(systemToken, text);
    if (encoded.status != EncodeStatus::kEncoded) {
        return refuse(refusalStatus(encoded.status));
    }
    return transmitEncoded(selection.systemId, selection.number, text, encoded.count, wait);
}

SendResult SendSession::refuse(SendStatus status) {
    SendResult result{status, -1, {}};
    m_log.record(&result.lines);
    appendLog(refusalMessage(status));
    m_log.record(nullptr);
    return result;
}

SendResult SendSession::transmitEncoded(SystemId system, std::int32_t number, std::string_view text,
                                        std::int32_t count, const TransmitterWait& wait) {
    SendResult result{SendStatus::kNotFound, count, {}};
    m_log.record(&result.lines);
    const TransmitResult sent = transmitWaiting(wait);
    appendLog(sendLogLine(system, number, text));
    m_log.record(nullptr);
    switch (sent) {
        case TransmitResult::kSent:
            result.status = SendStatus::kDelivered;
            break;
        case TransmitResult::kNothingWritten:
        case TransmitResult::kCutShort:
            result.status = SendStatus::kWriteFailed;
            break;
        case TransmitResult::kNotConnected:
            break;
    }
    return result;
}

TransmitResult SendSession::transmitWaiting(const TransmitterWait& wait) {
    TransmitResult sent = transmitAfterGap();
    if (wait.limit.count() <= 0) {
        return sent;
    }
    // The absence is told once: by the search that found nothing, or after a lost write by the
    // first search that follows.
    bool absenceLogged = sent == TransmitResult::kNotConnected;
    bool rewritten = false;  // a packet whose first write failed is written once more, no more
    const auto deadline = std::chrono::steady_clock::now() + wait.limit;
    while (!stopped(wait)) {
        if (sent == TransmitResult::kNothingWritten && !rewritten) {
            rewritten = true;
        } else if (sent != TransmitResult::kNotConnected) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kSearchInterval);
        const Absence absence = absenceLogged ? Absence::kQuiet : Absence::kLogged;
        absenceLogged = true;
        sent = m_link.findDevice(absence) == 1 ? transmitAfterGap() : TransmitResult::kNotConnected;
    }
    return sent;
}

TransmitResult SendSession::transmitAfterGap() {
    waitForGap();
    const TransmitResult sent = m_link.transmitPacket(m_encoder.packet(), m_encoder.packet().count);
    if (sent != TransmitResult::kNotConnected) {
        m_lastWriteEnd = std::chrono::steady_clock::now();
    }
    return sent;
}

void SendSession::waitForGap() {
    if (m_gap.count() <= 0 || !m_lastWriteEnd) {
        return;
    }
    // Some platforms' sleeps end a little early; the gap is a least time.
    const auto due = *m_lastWriteEnd + m_gap;
    while (std::chrono::steady_clock::now() < due) {
        std::this_thread::sleep_until(due);
    }
}

void SendSession::appendLog(std::string_view line) {
    m_log.appendLog(line);
}

}  // namespace tavik
