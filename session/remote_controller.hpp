// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string_view>

#include "function_key.hpp"
#include "presets.hpp"
#include "remote_view.hpp"
#include "send_pipeline.hpp"
#include "send_session.hpp"

namespace tavik {

// The main dialog's logic, without widgets: the presets, the two selectors, and every send.
// Runs on the window's thread; talks to the window only through its view. Its sends go through
// the pipeline, behind whatever phones have sent before.
class RemoteController {
  public:
    RemoteController(RemoteView& view, SendSession& session, SendPipeline& pipeline)
        : m_view(view), m_session(session), m_pipeline(pipeline) {}

    // The initialisation, after the window has added its menu item and icons: the preset command
    // into the field, the link's flags, both selectors with their presets, and the preset
    // command's send unless a preset letter or number was refused. False when that send encoded
    // and the dialog has ended with result 1.
    bool initialise(const Presets& presets);

    // Rebuilds the number selector for the selected system; the system selector's change.
    void fillNumberSelector();

    // Encodes `text` for the selected system and number, transmits it and logs the outcome;
    // at once when nothing waits before it, else in its turn. `done`, when given, gets the
    // result on the window's thread.
    void sendCommand(std::string_view text, SendPipeline::Done done = {});

    // SEND: the command field's text.
    void sendField();
    // A function button.
    void sendFunction(FunctionKey key);

    // True after a preset command that encoded but did not reach the transmitter.
    bool presetNotDelivered() const { return m_presetNotDelivered; }

    // The selected system (-1: none) and number (-1: none, or the system has no numbers); the
    // phones' box follows them.
    SystemId currentSystemId() const;
    std::int32_t currentSystemNumber() const;

  private:
    // Both false when the preset was refused (and logged).
    bool fillSystemSelector(const std::string& presetLetter);
    bool applyPresetNumber(const std::string& presetNumber);

    RemoteView& m_view;
    SendSession& m_session;
    SendPipeline& m_pipeline;
    bool m_presetNotDelivered = false;
    bool m_ended = false;
};

}  // namespace tavik
