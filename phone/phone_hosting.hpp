// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "phone_service.hpp"
#include "remote_controller.hpp"
#include "send_pipeline.hpp"
#include "send_session.hpp"

namespace tavik::phone {

// The box a window shows while it serves phones, as the hosting sees it.
class PhoneHostingView {
  public:
    virtual ~PhoneHostingView() = default;
    // Opens the box (or brings it forward) with the guests' links, the system phones send to
    // (empty: every system) and a note on the port when the usual one was taken (else empty).
    virtual void showPhoneBox(const std::vector<std::string>& urls, const std::string& system,
                              const std::string& portNote) = 0;
    // The system phones send to has changed; empty: every system.
    virtual void setPhoneSystem(const std::string& system) = 0;
    virtual void closePhoneBox() = 0;
};

// A window serving its guests' phones: the service over the window's session and pipeline, the
// system phones may send to (the window's selection, or every system), and the log lines of its
// start and end. On the window's thread.
class PhoneHosting {
  public:
    PhoneHosting(PhoneHostingView& view, RemoteController& controller, SendSession& session,
                 SendPipeline& pipeline)
        : m_view(view), m_controller(controller), m_session(session), m_pipeline(pipeline) {}
    // Ends serving quietly: the window and its log may be half gone.
    ~PhoneHosting();
    PhoneHosting(const PhoneHosting&) = delete;
    PhoneHosting& operator=(const PhoneHosting&) = delete;

    // Starts serving when not yet serving (a failure is logged), then shows the box.
    void open();
    // Ends serving and closes the box; nothing when not serving.
    void stop();
    // The box's choice: phones may send to every system, or only to the window's selection.
    void setEverySystem(bool everySystem);
    // The window's selectors changed: phones follow them unless opened to every system.
    void followSelectors();
    // Escape, which ends the window: false while serving (it is ignored and the log says how to
    // close), so that a stray key never ends every guest's link.
    bool mayEscape();

    bool serving() const { return m_phones != nullptr; }
    const std::string& system() const { return m_system; }

  private:
    PhoneHostingView& m_view;
    RemoteController& m_controller;
    SendSession& m_session;
    SendPipeline& m_pipeline;
    std::unique_ptr<PhoneService> m_phones;
    bool m_everySystem = false;
    std::string m_system;
    std::string m_portNote;
};

}  // namespace tavik::phone
