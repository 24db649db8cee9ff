// SPDX-License-Identifier: MIT
#include "remove_discovery.hpp"

#include <random>

#include "discovery.hpp"

namespace tavik::mqtt {

Result<void> removeDiscovery(const BridgeOptions& options) {
    using namespace std::chrono_literals;
    Result<std::unique_ptr<SocketWait>> wait = SocketWait::create();
    if (!wait) {
        return Failure{wait.error()};
    }
    int answer = -1;
    bool published = false;
    MqttClient::Callbacks callbacks;
    callbacks.connected = [&](int reason) { answer = reason; };
    callbacks.published = [&](int) { published = true; };
    const std::string id =
        "tavik-" + options.room + "-remove-" + std::to_string(std::random_device()() % 100000);
    Result<std::unique_ptr<MqttClient>> made = MqttClient::create(id, true, std::move(callbacks));
    if (!made) {
        return Failure{made.error()};
    }
    MqttClient& client = *made.value();
    Result<void> set = client.setLogin(options.login);
    if (set && options.tls) {
        set = client.setTls(options.cafile);
    }
    if (set) {
        set = client.connect(options.host, options.port, options.keepAlive, 0s);
    }
    if (!set) {
        return Failure{"cannot reach the broker at " + options.host + ":" +
                       std::to_string(options.port) + ": " + set.error()};
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    const DiscoveredDevice device{options.room, options.discoveryPrefix, {}};
    bool sent = false;
    while (!published && std::chrono::steady_clock::now() < deadline) {
        if (!client.step(*wait.value(), 100ms) && !client.hasSocket()) {
            break;
        }
        if (answer == 0 && !sent) {
            client.publish(discoveryTopic(device), "", 1, true);
            sent = true;
        }
    }
    if (answer > 0) {
        return Failure{"the broker refused the login: " + MqttClient::reasonText(answer)};
    }
    if (!published) {
        return Failure{"the broker did not take the removal"};
    }
    client.disconnect();
    while (client.hasSocket() && std::chrono::steady_clock::now() < deadline) {
        client.step(*wait.value(), 100ms);
    }
    return {};
}

}  // namespace tavik::mqtt
