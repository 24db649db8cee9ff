// SPDX-License-Identifier: MIT
#include "mqtt_client.hpp"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tavik::mqtt {
namespace {

// The library's own start (on Windows, its sockets): once per process, never undone.
void initialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

InMessage inMessage(const mosquitto_message* message, const mosquitto_property* props) {
    InMessage in;
    in.topic = message->topic;
    if (message->payload != nullptr && message->payloadlen > 0) {
        in.payload.assign(static_cast<const char*>(message->payload),
                          static_cast<std::size_t>(message->payloadlen));
    }
    in.retain = message->retain;
    std::uint32_t expiry = 0;
    if (mosquitto_property_read_int32(props, MQTT_PROP_MESSAGE_EXPIRY_INTERVAL, &expiry, false) !=
        nullptr) {
        in.expirySeconds = expiry;
    }
    char* topic = nullptr;
    if (mosquitto_property_read_string(props, MQTT_PROP_RESPONSE_TOPIC, &topic, false) != nullptr) {
        in.responseTopic = topic;
        std::free(topic);
    }
    void* data = nullptr;
    std::uint16_t length = 0;
    if (mosquitto_property_read_binary(props, MQTT_PROP_CORRELATION_DATA, &data, &length, false) !=
        nullptr) {
        in.correlation = std::string(static_cast<const char*>(data), length);
        std::free(data);
    }
    return in;
}

std::string errorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO) {
        return socketErrorText(errno);
    }
    return mosquitto_strerror(rc);
}

}  // namespace

Result<std::unique_ptr<MqttClient>> MqttClient::create(const std::string& clientId, bool cleanStart,
                                                       Callbacks callbacks) {
    initialiseLibrary();
    std::unique_ptr<MqttClient> client(new MqttClient());
    client->m_callbacks = std::move(callbacks);
    client->m_mosq = mosquitto_new(clientId.c_str(), cleanStart, client.get());
    if (client->m_mosq == nullptr) {
        return Failure{"cannot make an MQTT client: " + errorText(MOSQ_ERR_ERRNO)};
    }
    mosquitto* mosq = client->m_mosq;
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    // Mosquitto 2.0 frees a QoS 2 slot at PUBREC, not PUBCOMP, so under a stream it sends more
    // than 20 messages awaiting release, which the library's default receive maximum (20) takes
    // for a protocol error: the broker's own limit on messages in flight is enough.
    mosquitto_int_option(mosq, MOSQ_OPT_RECEIVE_MAXIMUM, 65535);
    // Results go out at once, not when the kernel has gathered a segment.
    mosquitto_int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_v5_callback_set(
        mosq, [](mosquitto*, void* self, int reason, int, const mosquitto_property*) {
            if (static_cast<MqttClient*>(self)->m_callbacks.connected) {
                static_cast<MqttClient*>(self)->m_callbacks.connected(reason);
            }
        });
    mosquitto_message_v5_callback_set(
        mosq, [](mosquitto*, void* self, const mosquitto_message* message,
                 const mosquitto_property* props) {
            if (static_cast<MqttClient*>(self)->m_callbacks.message) {
                static_cast<MqttClient*>(self)->m_callbacks.message(inMessage(message, props));
            }
        });
    // The library says what TLS found wrong (an untrusted certificate, say) only in its log.
    mosquitto_log_callback_set(mosq, [](mosquitto*, void* self, int level, const char* text) {
        if ((level & MOSQ_LOG_ERR) != 0 && text != nullptr) {
            static_cast<MqttClient*>(self)->m_lastError = text;
        }
    });
    mosquitto_subscribe_v5_callback_set(mosq, [](mosquitto*, void* self, int mid, int count,
                                                 const int* granted, const mosquitto_property*) {
        // A code of 0x80 or more: the broker did not take the subscription (its ACL, say).
        const bool refused =
            std::any_of(granted, granted + count, [](int code) { return code >= 0x80; });
        if (static_cast<MqttClient*>(self)->m_callbacks.subscribed) {
            static_cast<MqttClient*>(self)->m_callbacks.subscribed(mid, refused);
        }
    });
    mosquitto_publish_v5_callback_set(
        mosq, [](mosquitto*, void* self, int mid, int, const mosquitto_property*) {
            static_cast<MqttClient*>(self)->m_unacknowledged.erase(mid);
            if (static_cast<MqttClient*>(self)->m_callbacks.published) {
                static_cast<MqttClient*>(self)->m_callbacks.published(mid);
            }
        });
    return client;
}

MqttClient::~MqttClient() {
    if (m_mosq != nullptr) {
        mosquitto_destroy(m_mosq);
    }
}

Result<void> MqttClient::setLogin(const Login& login) {
    if (login.user.empty() && !login.password) {
        return {};
    }
    const int rc =
        mosquitto_username_pw_set(m_mosq, login.user.empty() ? nullptr : login.user.c_str(),
                                  login.password ? login.password->c_str() : nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        return Failure{"cannot set the login: " + errorText(rc)};
    }
    return {};
}

Result<void> MqttClient::setTls(const std::string& cafile) {
    int rc = MOSQ_ERR_SUCCESS;
    if (cafile.empty()) {
        // The system's certificate authorities: OpenSSL's defaults (SSL_CERT_FILE and _DIR
        // honoured), and their folder by name, without which the library takes no TLS set-up and
        // refuses every connect after the first.
        const char* folder = std::getenv("SSL_CERT_DIR");  // NOLINT(concurrency-mt-unsafe)
        rc = mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_tls_set(m_mosq, nullptr,
                                   folder != nullptr && *folder != '\0' ? folder : "/etc/ssl/certs",
                                   nullptr, nullptr, nullptr);
        }
    } else {
        rc = mosquitto_tls_set(m_mosq, cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        return Failure{"cannot use TLS: " + errorText(rc)};
    }
    return {};
}

Result<void> MqttClient::setWill(const std::string& topic, const std::string& payload) {
    const int rc = mosquitto_will_set_v5(m_mosq, topic.c_str(), static_cast<int>(payload.size()),
                                         payload.data(), 1, true, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        return Failure{"cannot set the last will: " + errorText(rc)};
    }
    return {};
}

Result<void> MqttClient::connect(const std::string& host, int port, std::chrono::seconds keepAlive,
                                 std::chrono::seconds sessionExpiry) {
    mosquitto_property* props = nullptr;
    if (sessionExpiry.count() > 0) {
        mosquitto_property_add_int32(&props, MQTT_PROP_SESSION_EXPIRY_INTERVAL,
                                     static_cast<std::uint32_t>(sessionExpiry.count()));
    }
    m_lastError.clear();
    const int rc = mosquitto_connect_bind_v5(m_mosq, host.c_str(), port,
                                             static_cast<int>(keepAlive.count()), nullptr, props);
    mosquitto_property_free_all(&props);
    if (rc != MOSQ_ERR_SUCCESS) {
        return Failure{m_lastError.empty() ? errorText(rc) : m_lastError};
    }
    return {};
}

bool MqttClient::hasSocket() const {
    return mosquitto_socket(m_mosq) >= 0;
}

bool MqttClient::wantsWrite() const {
    return mosquitto_want_write(m_mosq);
}

bool MqttClient::step(SocketWait& wait, std::chrono::milliseconds timeout) {
    const int socket = mosquitto_socket(m_mosq);
    if (socket < 0) {
        wait.wait(-1, false, timeout);
        return false;
    }
    const SocketWait::Ready ready = wait.wait(socket, mosquitto_want_write(m_mosq), timeout);
    int rc = MOSQ_ERR_SUCCESS;
    if (ready.read) {
        rc = mosquitto_loop_read(m_mosq, 1);
    }
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_want_write(m_mosq)) {
        rc = mosquitto_loop_write(m_mosq, 1);
    }
    if (rc == MOSQ_ERR_SUCCESS) {
        rc = mosquitto_loop_misc(m_mosq);
    }
    return rc == MOSQ_ERR_SUCCESS && mosquitto_socket(m_mosq) >= 0;
}

int MqttClient::publish(const std::string& topic, const std::string& payload, int qos, bool retain,
                        const std::optional<std::string>& correlation) {
    mosquitto_property* props = nullptr;
    if (correlation) {
        mosquitto_property_add_binary(&props, MQTT_PROP_CORRELATION_DATA, correlation->data(),
                                      static_cast<std::uint16_t>(correlation->size()));
    }
    int mid = 0;
    const int rc =
        mosquitto_publish_v5(m_mosq, &mid, topic.c_str(), static_cast<int>(payload.size()),
                             payload.data(), qos, retain, props);
    mosquitto_property_free_all(&props);
    if (rc == MOSQ_ERR_SUCCESS && qos > 0) {
        m_unacknowledged.insert(mid);
    }
    return rc;
}

int MqttClient::subscribe(const std::string& topic, int qos, int options, int* mid) {
    return mosquitto_subscribe_v5(m_mosq, mid, topic.c_str(), qos, options, nullptr);
}

std::string MqttClient::reasonText(int reason) {
    return mosquitto_reason_string(reason);
}

bool MqttClient::isLoginRefusal(int reason) {
    return reason == MQTT_RC_BAD_USERNAME_OR_PASSWORD || reason == MQTT_RC_NOT_AUTHORIZED ||
           reason == MQTT_RC_BAD_AUTHENTICATION_METHOD;
}

void MqttClient::disconnect() {
    mosquitto_disconnect_v5(m_mosq, MQTT_RC_NORMAL_DISCONNECTION, nullptr);
}

}  // namespace tavik::mqtt
