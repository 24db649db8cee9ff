// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;

namespace tavik::test {

// A sender or watcher on the broker, over libmosquitto's own thread: what the tests publish, and
// every message of its subscriptions, in order.
class MqttTestClient {
  public:
    struct Message {
        std::string topic;
        std::string payload;
        bool retain = false;
        std::string correlation;
    };
    struct Publish {
        int qos = 2;
        bool retain = false;
        std::optional<std::uint32_t> expiry;
        std::string correlation;
        std::string responseTopic;
    };

    explicit MqttTestClient(int port, std::vector<std::string> topics = {});
    ~MqttTestClient();
    MqttTestClient(const MqttTestClient&) = delete;
    MqttTestClient& operator=(const MqttTestClient&) = delete;

    bool connected() const { return m_ready; }
    // Returns once the broker has taken it (QoS 1 and 2), within 5 s.
    bool publish(const std::string& topic, const std::string& payload, Publish how);
    bool publish(const std::string& topic, const std::string& payload) {
        return publish(topic, payload, Publish{});
    }
    // Waits up to `timeout` for `done` over the messages so far; the messages then.
    std::vector<Message> waitFor(const std::function<bool(const std::vector<Message>&)>& done,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(5));
    std::vector<Message> messages();

  private:
    mosquitto* m_mosq = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Message> m_messages;
    std::vector<int> m_acknowledged;
    bool m_ready = false;
};

// The messages of `topic` among `messages`.
std::vector<MqttTestClient::Message> onTopic(const std::vector<MqttTestClient::Message>& messages,
                                             const std::string& topic);

}  // namespace tavik::test
