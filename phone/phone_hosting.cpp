// SPDX-License-Identifier: MIT
#include "phone_hosting.hpp"

#include "phone_messages.hpp"

namespace tavik::phone {

PhoneHosting::~PhoneHosting() {
    if (m_phones) {
        m_phones->stop(m_session);
    }
}

void PhoneHosting::open() {
    if (!m_phones) {
        PhoneService::Options options;
        options.anyPortWhenTaken = true;
        auto phones = std::make_unique<PhoneService>(options);
        // A phone's send runs on the window's thread, in its turn with the window's own.
        if (const Result<void> started = phones->start(m_session, m_pipeline); !started) {
            m_session.appendLog(std::string(messages::kCannotServe) + "(" + started.error() +
                                ")。");
            return;
        }
        m_phones = std::move(phones);
        m_everySystem = false;
        followSelectors();
        m_session.appendLog(messages::kServingStarted);
        m_portNote = m_phones->tookAnotherPort()
                         ? messages::portTakenNote(m_phones->portAsked(), m_phones->port())
                         : std::string();
        if (!m_portNote.empty()) {
            m_session.appendLog(m_portNote);
        }
    }
    m_view.showPhoneBox(m_phones->urls(), m_system, m_portNote);
}

void PhoneHosting::stop() {
    m_view.closePhoneBox();
    if (!m_phones) {
        return;
    }
    m_phones->stop(m_session);
    m_phones.reset();
    m_session.appendLog(messages::kServingStopped);
}

bool PhoneHosting::mayEscape() {
    if (serving()) {
        m_session.appendLog(messages::kEscapeWhileServing);
        return false;
    }
    return true;
}

void PhoneHosting::setEverySystem(bool everySystem) {
    m_everySystem = everySystem;
    followSelectors();
}

void PhoneHosting::followSelectors() {
    if (!m_phones) {
        return;
    }
    m_system = m_phones->followWindow(m_controller.currentSystemId(),
                                      m_controller.currentSystemNumber(), m_everySystem);
    m_view.setPhoneSystem(m_system);
}

}  // namespace tavik::phone
