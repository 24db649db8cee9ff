// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <memory>

#include "mqtt_bridge.hpp"
#include "owner_loop.hpp"
#include "send_pipeline.hpp"
#include "send_session.hpp"

namespace tavik::mqtt {

// Keeps the room's transmitter state current: the transmitter is looked for at the start and,
// while none is connected and no command waits, every few seconds, so that one plugged in shows
// before the next command; a lost one shows within a second.
//
// Threads: the session's owner thread only; its checks run from the owner's loop.
class TransmitterWatch {
  public:
    TransmitterWatch(SendSession& session, SendPipeline& pipeline, OwnerLoop& loop,
                     MqttBridge& bridge);
    ~TransmitterWatch() { *m_alive = false; }
    TransmitterWatch(const TransmitterWatch&) = delete;
    TransmitterWatch& operator=(const TransmitterWatch&) = delete;

    void start();

  private:
    void check();

    SendSession& m_session;
    SendPipeline& m_pipeline;
    OwnerLoop& m_loop;
    MqttBridge& m_bridge;
    std::chrono::steady_clock::time_point m_nextSearch;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace tavik::mqtt
