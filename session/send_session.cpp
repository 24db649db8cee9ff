// SPDX-License-Identifier: MIT
#include "send_session.hpp"

#include <algorithm>
#include <string>

#include "command_line.hpp"
#include "messages.hpp"

namespace tavik {
namespace {

// 0x00-0x1F and 0x7F. A tab never reaches here: it separates tokens.
bool hasControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

SendStatus selectionStatus(SelectionError error) {
    return error == SelectionError::kUnknownSystem ? SendStatus::kUnknownSystem
                                                   : SendStatus::kUnknownNumber;
}

}  // namespace

std::string_view refusalMessage(SendStatus status) {
    switch (status) {
        case SendStatus::kUnknownSystem:
            return messages::kUnknownSystem;
        case SendStatus::kUnknownNumber:
            return messages::kUnknownNumber;
        case SendStatus::kNotEncoded:
            return messages::kEncodingFailed;
        default:
            return {};
    }
}

void SendSession::RecordingLog::appendLog(std::string_view line) {
    if (m_recording != nullptr && std::this_thread::get_id() == m_owner) {
        m_recording->emplace_back(line);
    }
    m_target.appendLog(line);
}

SendSession::SendSession(HidBackend& backend, LogSink& log, Options options)
    : m_log(log), m_gap(options.gap), m_link(backend, m_log, std::move(options.link)) {}

void SendSession::start() {
    m_link.initialise();
}

SendResult SendSession::encode(SystemId system, std::int32_t number, std::string_view text) {
    SendResult result;
    if (!isValidSystemId(system)) {
        result.status = SendStatus::kUnknownSystem;
        return result;
    }
    if (hasControlByte(text)) {
        return result;  // a NUL must never end the text early, nor another byte pass as a key
    }
    const std::string zeroTerminated(text);
    const std::int32_t count =
        m_encoder.encodeCommand(m_packet, system, number, zeroTerminated.c_str());
    if (count > 0) {
        result.count = count;
        result.status = SendStatus::kEncoded;
    }
    return result;
}

SendResult SendSession::encode(std::string_view systemToken, std::string_view text) {
    const SystemSelection selection = resolveSystemToken(systemToken);
    if (selection.error != SelectionError::kNone) {
        return SendResult{selectionStatus(selection.error), -1, {}};
    }
    return encode(selection.systemId, selection.number, text);
}

SendResult SendSession::send(SystemId system, std::int32_t number, std::string_view text) {
    SendResult result;
    m_log.record(&result.lines);
    const SendResult encoded = encode(system, number, text);
    if (encoded.encoded()) {
        result.count = encoded.count;
        result.status = transmit(system, number, text);
    } else {
        result.status = encoded.status;
        appendLog(refusalMessage(encoded.status));
    }
    m_log.record(nullptr);
    return result;
}

SendResult SendSession::send(std::string_view systemToken, std::string_view text) {
    const SystemSelection selection = resolveSystemToken(systemToken);
    if (selection.error == SelectionError::kNone) {
        return send(selection.systemId, selection.number, text);
    }
    SendResult result{selectionStatus(selection.error), -1, {}};
    m_log.record(&result.lines);
    appendLog(refusalMessage(result.status));
    m_log.record(nullptr);
    return result;
}

SendStatus SendSession::transmit(SystemId system, std::int32_t number, std::string_view text) {
    waitForGap();
    const TransmitResult sent = m_link.transmitPacket(m_packet, m_packet.count);
    if (sent != TransmitResult::kNotConnected) {
        m_lastWriteEnd = std::chrono::steady_clock::now();
    }
    appendLog(sendLogLine(system, number, text));
    switch (sent) {
        case TransmitResult::kSent:
            return SendStatus::kDelivered;
        case TransmitResult::kWriteFailed:
            return SendStatus::kWriteFailed;
        case TransmitResult::kNotConnected:
            break;
    }
    return SendStatus::kNotFound;
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
