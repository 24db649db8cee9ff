// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "broker_command.hpp"
#include "command_line.hpp"
#include "id_journal.hpp"
#include "log_sink.hpp"
#include "mqtt_client.hpp"
#include "owner_loop.hpp"
#include "room_topics.hpp"
#include "send_pipeline.hpp"
#include "socket_wait.hpp"

namespace tavik::mqtt {

struct BridgeOptions {
    std::string host = "localhost";
    int port = 1883;
    bool tls = false;
    std::string cafile;
    std::string room;
    MqttClient::Login login;
    std::string hostName;  // this machine's, so that a second bridge can name the first
    // The only system commands may use ("T3"), as serve's --system; empty: any.
    std::string fixedSystem;
    bool discovery = true;
    std::string discoveryPrefix = "homeassistant";
    std::chrono::seconds maxAge{60};         // for a command that says when it was made
    std::chrono::seconds sessionExpiry{60};  // how long the broker keeps commands for us
    std::chrono::seconds keepAlive{30};
    // Commands waiting in the pipeline before "busy": a whole evening's list, so that a burst from
    // many senders is queued, not refused; the broker holds the rest meanwhile.
    std::size_t maxWaiting = 1000;
};

// The transmitter as the room's transmitter topic shows it.
struct TransmitterState {
    bool present = false;
    std::string revision;  // "Rev.0100"
    std::string serial;
    int unopenable = 0;  // present but not opened

    bool operator==(const TransmitterState&) const = default;
};

// The room's commands from an MQTT broker into the send pipeline, and their results back.
//
// Threads: the bridge has one thread of its own, the MQTT thread, which alone uses the client;
// start, stop and the destructor are for the pipeline's owner thread; setTransmitter for any
// thread. Each command is submitted from the MQTT thread; its completion, on the owner's
// thread, is handed back to the MQTT thread, which publishes the result.
class MqttBridge {
  public:
    MqttBridge(BridgeOptions options, SendPipeline& pipeline, OwnerLoop& owner, IdJournal& journal,
               LogSink& log);
    ~MqttBridge();
    MqttBridge(const MqttBridge&) = delete;
    MqttBridge& operator=(const MqttBridge&) = delete;

    // Starts the MQTT thread: it connects (again and again, with back-off), makes sure no other
    // bridge serves the room, then serves. `fatal` is posted to the owner with the reason when
    // the bridge cannot serve at all (login refused at the first connect, the room served).
    Result<void> start(std::function<void(std::string)> fatal);
    // Publishes the room offline, disconnects and ends the MQTT thread, within about a second.
    void stop();

    void setTransmitter(TransmitterState state);

  private:
    enum class Phase { kProbing, kServing, kStopped };
    struct Report {
        std::optional<std::string> id;
        std::string responseTopic;
        std::optional<std::string> correlation;
        std::optional<std::chrono::steady_clock::time_point> deadline;
    };

    void run();
    void runPosted();
    void runDeferred();
    void post(std::function<void()> task);
    bool connectOnce();
    void onConnected(int reason);
    void onDisconnected();
    // Ends the bridge: the program's owner hears why and stops (exit 2).
    void stopFatally(std::string why);
    void onMessage(const InMessage& message);
    void onProbeMessage(const InMessage& message);
    void finishProbe();
    void serveConnected();
    void takeCommand(const InMessage& message);
    void finish(const Report& report, std::optional<SendResult> result);
    void publishReport(const Report& report, std::string_view status,
                       const std::vector<std::string>& lines);
    void refuse(const Report& report, std::string_view status, std::string_view line);
    void setSystem(std::string_view text);
    void publishSystem();
    void publishTransmitter();
    void publishDiscovery();
    void noteOnce(std::string line);
    bool isReplyTopic(const std::string& topic) const;
    Result<std::unique_ptr<MqttClient>> makeClient();
    std::string stateJson(bool online) const;

    const BridgeOptions m_options;
    const RoomTopics m_topics;
    std::optional<SystemSelection> m_fixed;
    SendPipeline& m_pipeline;
    OwnerLoop& m_owner;
    IdJournal& m_journal;
    LogSink& m_log;
    const std::string m_instance;  // this run's, in the room's state: another's is another bridge
    std::function<void(std::string)> m_fatal;
    std::unique_ptr<SocketWait> m_wait;
    std::thread m_thread;

    // Shared with other threads, under m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::vector<std::function<void()>> m_posted;
    bool m_stopping = false;
    bool m_finished = false;

    // The MQTT thread's only.
    Phase m_phase = Phase::kProbing;
    std::unique_ptr<MqttClient> m_client;
    std::vector<std::function<void()>> m_deferred;  // the client's events of the last step
    bool m_connected = false;
    bool m_answered = false;  // the broker answered this connection's CONNECT, yes or no
    bool m_everConnected = false;
    std::string m_lastNote;
    std::chrono::seconds m_backOff{0};
    std::chrono::steady_clock::time_point m_nextAttempt;
    std::chrono::steady_clock::time_point m_probeDeadline;
    std::string m_probeTopic;
    int m_probeSubscription = -1;
    int m_sendSubscription = -1;
    bool m_displaced = false;  // another bridge serves the room now
    std::string m_servedBy;    // the host named by an online room state the probe found
    std::string m_system;      // the room's system token, for commands that name none
    TransmitterState m_transmitter;
};

}  // namespace tavik::mqtt
