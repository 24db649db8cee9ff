// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "result.hpp"
#include "socket_wait.hpp"

struct mosquitto;

namespace tavik::mqtt {

// A message as the broker delivered it, with the MQTT 5 properties the bridge honours.
struct InMessage {
    std::string topic;
    std::string payload;
    bool retain = false;
    std::optional<std::uint32_t> expirySeconds;  // what is left of its message expiry
    std::string responseTopic;
    std::optional<std::string> correlation;
};

// One MQTT 5 client over libmosquitto, its loop driven by step() (the library's own thread is not
// used, nor is it built on Windows). Callbacks run inside step().
//
// Threads: one thread for every call, the MQTT thread.
class MqttClient {
  public:
    struct Callbacks {
        std::function<void(int reason)> connected;  // the broker's answer: 0 accepted
        std::function<void(const InMessage&)> message;
        std::function<void(int mid, bool refused)> subscribed;
        std::function<void(int mid)> published;  // the broker has taken a QoS 1 or 2 message
    };
    struct Login {
        std::string user;  // empty: none
        std::optional<std::string> password;
    };

    // `cleanStart` false: the broker keeps the session for `sessionExpiry` after a loss.
    static Result<std::unique_ptr<MqttClient>> create(const std::string& clientId, bool cleanStart,
                                                      Callbacks callbacks);
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    Result<void> setLogin(const Login& login);
    Result<void> setTls(const std::string& cafile);
    // The retained message the broker publishes when the connection is lost without a goodbye.
    Result<void> setWill(const std::string& topic, const std::string& payload);

    // Opens the connection and sends CONNECT; the answer comes through `connected` in a later
    // step. The failure's text when not even that could be done (no route, refused).
    Result<void> connect(const std::string& host, int port, std::chrono::seconds keepAlive,
                         std::chrono::seconds sessionExpiry);
    bool hasSocket() const;
    // Waits on the socket and `wait`'s wake-ups up to `timeout`, then reads, writes and keeps the
    // connection alive. False once the connection has been lost (or was never made).
    bool step(SocketWait& wait, std::chrono::milliseconds timeout);

    // 0 when queued; libmosquitto's error number otherwise.
    int publish(const std::string& topic, const std::string& payload, int qos, bool retain,
                const std::optional<std::string>& correlation = std::nullopt);
    // `options`: MQTT 5 subscription options (retain handling, retain as published).
    int subscribe(const std::string& topic, int qos, int options, int* mid = nullptr);
    void disconnect();
    // The broker's words for a CONNACK reason code.
    static std::string reasonText(int reason);
    // A refused login, as opposed to a broker that cannot take us now.
    static bool isLoginRefusal(int reason);
    // True while packets wait to be written.
    bool wantsWrite() const;
    // The library's latest error line since the last connect (TLS's reasons are there alone).
    const std::string& lastError() const { return m_lastError; }
    // QoS 1 and 2 messages published that the broker has not yet taken.
    std::size_t unacknowledged() const { return m_unacknowledged.size(); }

  private:
    MqttClient() = default;

    mosquitto* m_mosq = nullptr;
    Callbacks m_callbacks;
    std::set<int> m_unacknowledged;
    std::string m_lastError;  // the library's latest error line
};

}  // namespace tavik::mqtt
