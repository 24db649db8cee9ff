// SPDX-License-Identifier: MIT
#include "transmitter_watch.hpp"

#include "hex_text.hpp"

namespace tavik::mqtt {
namespace {

constexpr std::chrono::seconds kCheckInterval{1};
constexpr std::chrono::seconds kSearchInterval{5};

}  // namespace

TransmitterWatch::TransmitterWatch(SendSession& session, SendPipeline& pipeline, OwnerLoop& loop,
                                   MqttBridge& bridge)
    : m_session(session), m_pipeline(pipeline), m_loop(loop), m_bridge(bridge) {}

void TransmitterWatch::start() {
    check();
}

void TransmitterWatch::check() {
    DeviceLink& link = m_session.link();
    const auto now = std::chrono::steady_clock::now();
    if (link.connected() == 0 && m_pipeline.waiting() == 0 && now >= m_nextSearch) {
        m_session.releaseLostConnection();
        link.findDevice(Absence::kQuiet);
        m_nextSearch = now + kSearchInterval;
    }
    TransmitterState state;
    if (const std::optional<HidDeviceInfo> device = link.connectedDevice()) {
        state.present = true;
        state.revision = revisionText(device->versionNumber);
        state.serial = device->serialNumber;
    } else {
        state.unopenable = link.unopenableInLastSearch();
    }
    m_bridge.setTransmitter(state);
    m_loop.runAfter(kCheckInterval, [this, alive = std::weak_ptr<bool>(m_alive)] {
        if (alive.lock()) {
            check();
        }
    });
}

}  // namespace tavik::mqtt
