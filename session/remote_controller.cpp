// SPDX-License-Identifier: MIT
#include "remote_controller.hpp"

#include <optional>
#include <string>

#include "catalogue.hpp"
#include "messages.hpp"

namespace tavik {

bool RemoteController::initialise(const Presets& presets) {
    m_view.setCommandText(presets.presetCommand);
    m_session.start();
    const bool systemFound = fillSystemSelector(presets.presetLetter);
    fillNumberSelector();
    const bool numberFound = applyPresetNumber(presets.presetNumber);
    // A refused preset would send something else than the command line asked for: the window
    // stays open with the refusal in its log, for the user to correct.
    if (!systemFound || !numberFound) {
        return true;
    }
    if (!presets.presetCommand.empty()) {
        sendCommand(presets.presetCommand, [this](std::optional<SendResult> result) {
            if (result && result->encoded()) {
                m_presetNotDelivered = !result->delivered();
                m_ended = true;
                m_view.endDialog(1);
            }
        });
    }
    return !m_ended;
}

bool RemoteController::fillSystemSelector(const std::string& presetLetter) {
    ListControl& selector = m_view.systemSelector();
    // Bit 0x20 cleared: a-z match A-Z, and nothing else matches a catalogue letter.
    const std::optional<SystemId> wanted =
        presetLetter.empty() ? std::nullopt : systemByLetter(presetLetter.front());
    int selected = -1;
    for (const MakerEntry& row : catalogueRows()) {
        const int index = selector.addItem(row.displayName, row.systemId);
        if (index >= 0 && wanted == row.systemId) {
            selected = index;
        }
    }
    if (presetLetter.empty()) {
        selected = 0;
    } else if (selected < 0) {
        m_session.appendLog(messages::kUnknownSystem);
    }
    selector.select(selected);
    return selected >= 0;
}

void RemoteController::fillNumberSelector() {
    ListControl& selector = m_view.numberSelector();
    const SystemId system = currentSystemId();
    // With no system selected there is no row to read: the selector shows nothing.
    if (system < 0 || !catalogueEntry(system).hasNumbers()) {
        selector.setEnabled(false);
        selector.select(-1);
        return;
    }
    const MakerEntry& entry = catalogueEntry(system);
    selector.setEnabled(true);
    selector.clear();
    for (std::int32_t n = entry.numberMin; n <= entry.numberMax; ++n) {
        selector.addItem(std::to_string(n), n);
    }
    selector.select(entry.numberMin <= entry.numberMax ? 0 : -1);
}

bool RemoteController::applyPresetNumber(const std::string& presetNumber) {
    if (presetNumber.empty()) {
        return true;
    }
    ListControl& selector = m_view.numberSelector();
    // A disabled selector keeps the items of an earlier system; they must not match.
    const int index = selector.isEnabled() ? selector.find(presetNumber) : -1;
    if (index < 0) {
        m_session.appendLog(messages::kUnknownNumber);
    }
    selector.select(index);
    return index >= 0;
}

SystemId RemoteController::currentSystemId() const {
    const ListControl& selector = m_view.systemSelector();
    const int index = selector.selection();
    return index < 0 ? -1 : selector.itemData(index);
}

std::int32_t RemoteController::currentSystemNumber() const {
    const ListControl& selector = m_view.numberSelector();
    const int index = selector.selection();
    return !selector.isEnabled() || index < 0 ? -1 : selector.itemData(index);
}

void RemoteController::sendCommand(std::string_view text, SendPipeline::Done done) {
    m_pipeline.submit(
        SendCommand::selected(currentSystemId(), currentSystemNumber(), std::string(text)),
        std::move(done));
}

void RemoteController::sendField() {
    sendCommand(m_view.commandText());
}

void RemoteController::sendFunction(FunctionKey key) {
    sendCommand(functionName(key));
}

}  // namespace tavik
