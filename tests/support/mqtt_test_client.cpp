// SPDX-License-Identifier: MIT
#include "mqtt_test_client.hpp"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cstdlib>

namespace tavik::test {

MqttTestClient::MqttTestClient(int port, std::vector<std::string> topics) {
    mosquitto_lib_init();
    m_mosq = mosquitto_new(nullptr, true, this);
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_message_v5_callback_set(m_mosq, [](mosquitto*, void* self, const mosquitto_message* m,
                                                 const mosquitto_property* p) {
        auto& client = *static_cast<MqttTestClient*>(self);
        Message message{m->topic,
                        std::string(static_cast<const char*>(m->payload),
                                    static_cast<std::size_t>(m->payloadlen)),
                        m->retain,
                        {}};
        void* data = nullptr;
        std::uint16_t length = 0;
        if (mosquitto_property_read_binary(p, MQTT_PROP_CORRELATION_DATA, &data, &length, false) !=
            nullptr) {
            message.correlation.assign(static_cast<const char*>(data), length);
            std::free(data);
        }
        std::lock_guard lock(client.m_mutex);
        client.m_messages.push_back(std::move(message));
        client.m_changed.notify_all();
    });
    mosquitto_publish_v5_callback_set(
        m_mosq, [](mosquitto*, void* self, int mid, int, const mosquitto_property*) {
            auto& client = *static_cast<MqttTestClient*>(self);
            std::lock_guard lock(client.m_mutex);
            client.m_acknowledged.push_back(mid);
            client.m_changed.notify_all();
        });
    mosquitto_subscribe_v5_callback_set(
        m_mosq, [](mosquitto*, void* self, int, int, const int*, const mosquitto_property*) {
            auto& client = *static_cast<MqttTestClient*>(self);
            std::lock_guard lock(client.m_mutex);
            client.m_ready = true;
            client.m_changed.notify_all();
        });
    if (mosquitto_connect(m_mosq, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS ||
        mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS) {
        return;
    }
    if (topics.empty()) {
        m_ready = true;
        return;
    }
    std::vector<char*> names;
    for (std::string& topic : topics) {
        names.push_back(topic.data());
    }
    mosquitto_subscribe_multiple(m_mosq, nullptr, static_cast<int>(names.size()), names.data(), 2,
                                 0, nullptr);
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_ready; });
}

MqttTestClient::~MqttTestClient() {
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
    mosquitto_destroy(m_mosq);
}

bool MqttTestClient::publish(const std::string& topic, const std::string& payload, Publish how) {
    mosquitto_property* props = nullptr;
    if (how.expiry) {
        mosquitto_property_add_int32(&props, MQTT_PROP_MESSAGE_EXPIRY_INTERVAL, *how.expiry);
    }
    if (!how.correlation.empty()) {
        mosquitto_property_add_binary(&props, MQTT_PROP_CORRELATION_DATA, how.correlation.data(),
                                      static_cast<std::uint16_t>(how.correlation.size()));
    }
    if (!how.responseTopic.empty()) {
        mosquitto_property_add_string(&props, MQTT_PROP_RESPONSE_TOPIC, how.responseTopic.c_str());
    }
    int mid = 0;
    const int rc =
        mosquitto_publish_v5(m_mosq, &mid, topic.c_str(), static_cast<int>(payload.size()),
                             payload.data(), how.qos, how.retain, props);
    mosquitto_property_free_all(&props);
    if (rc != MOSQ_ERR_SUCCESS) {
        return false;
    }
    std::unique_lock lock(m_mutex);
    return how.qos == 0 || m_changed.wait_for(lock, std::chrono::seconds(5), [&] {
        return std::find(m_acknowledged.begin(), m_acknowledged.end(), mid) != m_acknowledged.end();
    });
}

std::vector<MqttTestClient::Message> MqttTestClient::waitFor(
    const std::function<bool(const std::vector<Message>&)>& done,
    std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [&] { return done(m_messages); });
    return m_messages;
}

std::vector<MqttTestClient::Message> MqttTestClient::messages() {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<MqttTestClient::Message> onTopic(const std::vector<MqttTestClient::Message>& messages,
                                             const std::string& topic) {
    std::vector<MqttTestClient::Message> found;
    std::copy_if(messages.begin(), messages.end(), std::back_inserter(found),
                 [&](const MqttTestClient::Message& m) { return m.topic == topic; });
    return found;
}

}  // namespace tavik::test
