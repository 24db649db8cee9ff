// SPDX-License-Identifier: MIT
#include "mqtt_bridge.hpp"

#include <mqtt_protocol.h>

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <random>
#include <utility>

#include "bridge_messages.hpp"
#include "discovery.hpp"
#include "messages.hpp"
#include "phone_api.hpp"

namespace tavik::mqtt {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::seconds kMaxBackOff{30};
// How long the check for another bridge may wait for the broker's retained state.
constexpr std::chrono::seconds kProbeTime{5};
// On the way out: how long the last results may take to reach the broker (it takes only so many
// at a time), then the goodbye (offline, then DISCONNECT); within the second that SIGTERM has.
constexpr std::chrono::milliseconds kResultsTime{500};
constexpr std::chrono::milliseconds kGoodbyeTime{300};
// The MQTT thread's longest wait: the library's keep-alive is checked at least this often.
constexpr std::chrono::milliseconds kLongestWait{1000};

constexpr int kSendOptions = MQTT_SUB_OPT_SEND_RETAIN_NEVER | MQTT_SUB_OPT_RETAIN_AS_PUBLISHED;

std::string randomHex() {
    std::random_device random;
    const auto value = std::uniform_int_distribution<std::uint32_t>()(random);
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string urlOf(const BridgeOptions& options) {
    return std::string(options.tls ? "mqtts://" : "mqtt://") + options.host + ":" +
           std::to_string(options.port);
}

// A text of a JSON object that another client sent; `otherwise` when it is missing or no text
// (where json's value() would throw).
std::string textAt(const json& body, const char* key, const char* otherwise = "") {
    const auto found = body.find(key);
    return found != body.end() && found->is_string() ? found->get<std::string>() : otherwise;
}

std::string notePrefix() {
    return "tavik-cli mqtt: ";
}

}  // namespace

MqttBridge::MqttBridge(BridgeOptions options, SendPipeline& pipeline, OwnerLoop& owner,
                       IdJournal& journal, LogSink& log)
    : m_options(std::move(options)),
      m_topics(m_options.room),
      m_pipeline(pipeline),
      m_owner(owner),
      m_journal(journal),
      m_log(log),
      m_instance(randomHex()) {
    if (const std::optional<SystemOption> fixed = systemOption(m_options.fixedSystem)) {
        m_fixed = resolveSystemToken(fixed->token);
        m_system = fixed->token;
    }
}

MqttBridge::~MqttBridge() {
    stop();
}

Result<void> MqttBridge::start(std::function<void(std::string)> fatal) {
    m_fatal = std::move(fatal);
    Result<std::unique_ptr<SocketWait>> wait = SocketWait::create();
    if (!wait) {
        return Failure{wait.error()};
    }
    m_wait = std::move(wait.value());
    m_thread = std::thread([this] { run(); });
    return {};
}

void MqttBridge::stop() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wait->wake();
    std::unique_lock lock(m_mutex);
    // A connect stuck in the system's resolver or TCP connect cannot be interrupted.
    if (m_ended.wait_for(lock, 1s, [this] { return m_finished; })) {
        lock.unlock();
        m_thread.join();
    } else {
        // Its thread still holds the client and this bridge: the program ends here, now.
        m_log.appendLog(notePrefix() + "the broker did not answer; stopped without a goodbye");
        std::_Exit(0);
    }
}

void MqttBridge::setTransmitter(TransmitterState state) {
    post([this, state = std::move(state)] {
        if (state == m_transmitter) {
            return;
        }
        const bool newSerial = state.serial != m_transmitter.serial;
        m_transmitter = state;
        if (m_phase == Phase::kServing && m_connected) {
            publishTransmitter();
            if (newSerial && m_options.discovery && !m_transmitter.serial.empty()) {
                publishDiscovery();
            }
        }
    });
}

void MqttBridge::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(task));
    }
    m_wait->wake();
}

void MqttBridge::runPosted() {
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_posted);
    }
    for (const auto& task : tasks) {
        task();
    }
}

void MqttBridge::runDeferred() {
    while (!m_deferred.empty()) {
        std::vector<std::function<void()>> handlers;
        handlers.swap(m_deferred);
        for (const auto& handler : handlers) {
            handler();
            if (!m_client) {
                return;  // the probe ended: what its client still had is moot
            }
        }
    }
}

void MqttBridge::run() {
    for (;;) {
        runPosted();
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                break;
            }
        }
        const auto now = Clock::now();
        if (m_phase != Phase::kStopped && (!m_client || !m_client->hasSocket()) &&
            now >= m_nextAttempt) {
            connectOnce();
        }
        if (m_phase == Phase::kProbing && m_connected && now >= m_probeDeadline) {
            finishProbe();
            continue;
        }
        auto timeout = kLongestWait;
        if (!m_client || !m_client->hasSocket()) {
            timeout = std::clamp(std::chrono::ceil<std::chrono::milliseconds>(m_nextAttempt - now),
                                 0ms, kLongestWait);
        }
        if (!m_client) {
            m_wait->wait(-1, false, timeout);
            continue;
        }
        const bool hadSocket = m_client->hasSocket();
        const bool alive = m_client->step(*m_wait, timeout);
        runDeferred();
        if (!alive && hadSocket) {
            onDisconnected();
        }
    }
    // Results first, then the room's offline, then the goodbye, which keeps the broker from
    // publishing the last will.
    if (m_client && m_connected && m_everConnected) {
        runPosted();
        const auto resultsBy = Clock::now() + kResultsTime;
        while (m_client->unacknowledged() > 0 && m_client->hasSocket() &&
               Clock::now() < resultsBy) {
            m_client->step(*m_wait, 20ms);
            runDeferred();  // a command now is told it came too late
        }
        // Another bridge's online stands: nor does the goodbye let the last will over it.
        if (!m_displaced) {
            m_client->publish(m_topics.state, stateJson(false), 1, true);
        }
        m_client->disconnect();
        const auto deadline = Clock::now() + kGoodbyeTime;
        while (m_client->hasSocket() && Clock::now() < deadline) {
            m_client->step(*m_wait, 50ms);
        }
        if (!m_displaced) {
            m_log.appendLog(notePrefix() + "room " + m_options.room + " offline");
        }
    }
    m_client.reset();
    m_phase = Phase::kStopped;
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_ended.notify_all();
}

Result<std::unique_ptr<MqttClient>> MqttBridge::makeClient() {
    const bool probing = m_phase == Phase::kProbing;
    // The probe's own client id, so that it never takes over a running bridge's session.
    m_probeTopic = "tavik/" + m_options.room + "/probe/" + randomHex();
    const std::string id = "tavik-" + m_options.room + (probing ? "-probe-" + randomHex() : "");
    // Handled after the client's step, never inside the library's own callbacks: there it holds
    // its locks, and a handler may publish or end the client.
    MqttClient::Callbacks callbacks;
    callbacks.connected = [this](int reason) {
        m_deferred.emplace_back([this, reason] { onConnected(reason); });
    };
    callbacks.message = [this](const InMessage& message) {
        m_deferred.emplace_back([this, message] { onMessage(message); });
    };
    callbacks.subscribed = [this](int mid, bool refused) {
        m_deferred.emplace_back([this, mid, refused] {
            if (m_phase == Phase::kProbing && mid == m_probeSubscription && m_client) {
                // Delivered after the retained messages of the subscriptions before it.
                m_client->publish(m_probeTopic, "probe", 1, false);
            } else if (m_phase == Phase::kServing && mid == m_sendSubscription && refused) {
                // Serving on would leave every sender without a result.
                stopFatally("the broker at " + urlOf(m_options) + " refused to deliver " +
                            m_topics.send + " (see --user and the broker's ACL)");
            }
        });
    };
    Result<std::unique_ptr<MqttClient>> client =
        MqttClient::create(id, probing, std::move(callbacks));
    if (!client) {
        return client;
    }
    MqttClient& made = *client.value();
    Result<void> set = made.setLogin(m_options.login);
    if (set && m_options.tls) {
        set = made.setTls(m_options.cafile);
    }
    if (set && !probing) {
        set = made.setWill(m_topics.state, stateJson(false));
    }
    if (!set) {
        return Failure{set.error()};
    }
    return client;
}

bool MqttBridge::connectOnce() {
    if (!m_client) {
        Result<std::unique_ptr<MqttClient>> made = makeClient();
        if (!made) {
            stopFatally(made.error());
            return false;
        }
        m_client = std::move(made.value());
    }
    const bool probing = m_phase == Phase::kProbing;
    m_answered = false;
    const Result<void> connected =
        m_client->connect(m_options.host, m_options.port, m_options.keepAlive,
                          probing ? 0s : m_options.sessionExpiry);
    m_backOff = std::clamp(m_backOff * 2, std::chrono::seconds(1), kMaxBackOff);
    m_nextAttempt = Clock::now() + m_backOff;
    if (!connected) {
        noteOnce(notePrefix() + "cannot reach the broker at " + urlOf(m_options) + " (" +
                 connected.error() + "); trying again");
        return false;
    }
    m_probeDeadline = Clock::now() + kProbeTime;
    return true;
}

void MqttBridge::onConnected(int reason) {
    m_answered = true;
    if (reason != 0) {
        const std::string why = MqttClient::reasonText(reason);
        if (MqttClient::isLoginRefusal(reason) && !m_everConnected) {
            stopFatally("the broker at " + urlOf(m_options) + " refused the login: " + why +
                        " (see --user and --password-file)");
            return;
        }
        noteOnce(notePrefix() + "the broker at " + urlOf(m_options) + " refused us: " + why +
                 "; trying again");
        return;
    }
    m_connected = true;
    m_backOff = 0s;
    m_lastNote.clear();
    if (m_phase == Phase::kProbing) {
        m_servedBy.clear();
        m_client->subscribe(m_topics.state, 1, MQTT_SUB_OPT_SEND_RETAIN_ALWAYS);
        if (!m_fixed) {
            m_client->subscribe(m_topics.system, 1, MQTT_SUB_OPT_SEND_RETAIN_ALWAYS);
        }
        m_client->subscribe(m_probeTopic, 1, 0, &m_probeSubscription);
        return;
    }
    serveConnected();
}

void MqttBridge::stopFatally(std::string why) {
    m_phase = Phase::kStopped;
    m_owner.post([fatal = m_fatal, why = std::move(why)] { fatal(why); });
}

void MqttBridge::onDisconnected() {
    if (m_connected && m_phase == Phase::kServing) {
        m_log.appendLog(notePrefix() + "lost the broker at " + urlOf(m_options) +
                        "; connecting again");
    } else if (!m_connected && !m_answered && m_phase != Phase::kStopped) {
        // Reached, but closed before it answered: TLS refused (an untrusted certificate), or no
        // MQTT broker on that port.
        const std::string why = m_client->lastError();
        noteOnce(notePrefix() + "cannot reach the broker at " + urlOf(m_options) + " (" +
                 (why.empty() ? std::string("it closed the connection") : why) + "); trying again");
    }
    m_connected = false;
    if (m_backOff == 0s) {
        m_nextAttempt = Clock::now();
    }
}

void MqttBridge::finishProbe() {
    if (!m_servedBy.empty()) {
        stopFatally("room " + m_options.room + " is already served by " + m_servedBy +
                    "; stop the bridge there first, or choose another --room");
    }
    m_client->disconnect();
    const auto deadline = Clock::now() + kGoodbyeTime;
    while (m_client->hasSocket() && Clock::now() < deadline) {
        m_client->step(*m_wait, 50ms);
    }
    m_client.reset();
    m_deferred.clear();
    m_connected = false;
    if (m_phase == Phase::kProbing) {
        m_phase = Phase::kServing;
        m_backOff = 0s;
        m_nextAttempt = Clock::now();
    }
}

void MqttBridge::onProbeMessage(const InMessage& message) {
    if (message.topic == m_probeTopic) {
        finishProbe();
        return;
    }
    const json body = json::parse(message.payload, nullptr, false);
    if (!body.is_object()) {
        return;
    }
    if (message.topic == m_topics.state) {
        const bool online = textAt(body, "state") == "online";
        m_servedBy = online ? textAt(body, "host", "another host") : "";
        if (online && m_servedBy.empty()) {
            m_servedBy = "another host";
        }
    } else if (message.topic == m_topics.system && body.contains("system") &&
               body["system"].is_string()) {
        if (const auto option = systemOption(body["system"].get<std::string>())) {
            m_system = option->token;
        }
    }
}

void MqttBridge::serveConnected() {
    m_log.appendLog(notePrefix() + "connected to " + urlOf(m_options) + "; serving room " +
                    m_options.room);
    m_everConnected = true;
    m_client->subscribe(m_topics.send, 2, kSendOptions, &m_sendSubscription);
    m_client->subscribe(m_topics.systemSet, 1, MQTT_SUB_OPT_SEND_RETAIN_NEVER);
    // Another bridge that slipped past the check (started while this one was away, or at the
    // same moment) shows here: the two would take the room's client id from each other for ever.
    m_client->subscribe(m_topics.state, 1, MQTT_SUB_OPT_SEND_RETAIN_ALWAYS);
    if (m_options.discovery) {
        m_client->subscribe(m_options.discoveryPrefix + "/status", 1,
                            MQTT_SUB_OPT_SEND_RETAIN_NEVER);
    }
    m_client->publish(m_topics.state, stateJson(true), 1, true);
    publishTransmitter();
    publishSystem();
    if (m_options.discovery) {
        publishDiscovery();
    }
}

void MqttBridge::onMessage(const InMessage& message) {
    if (m_phase == Phase::kProbing) {
        onProbeMessage(message);
    } else if (message.topic == m_topics.send) {
        takeCommand(message);
    } else if (message.topic == m_topics.systemSet) {
        setSystem(message.payload);
    } else if (message.topic == m_topics.state) {
        const json body = json::parse(message.payload, nullptr, false);
        if (body.is_object() && textAt(body, "state") == "online" &&
            textAt(body, "bridge") != m_instance && m_phase == Phase::kServing) {
            m_displaced = true;
            stopFatally("room " + m_options.room + " is served by " +
                        textAt(body, "host", "another host") +
                        " as well; this bridge stops: run one bridge per room");
        }
    } else if (m_options.discovery && message.topic == m_options.discoveryPrefix + "/status" &&
               message.payload == "online") {
        // Home Assistant has started again and forgotten what it was told.
        publishDiscovery();
    }
}

void MqttBridge::takeCommand(const InMessage& message) {
    const ParsedPayload parsed = parsePayload(message.payload);
    Report report{parsed.command.id, message.responseTopic, message.correlation, std::nullopt};
    if (message.retain) {
        refuse(report, "refused", messages::kRetained);
        return;
    }
    if (!parsed.refusal.empty()) {
        refuse(report, "refused", parsed.refusal);
        return;
    }
    const auto now = Clock::now();
    if (message.expirySeconds) {
        report.deadline = now + std::chrono::seconds(*message.expirySeconds);
    }
    if (parsed.command.sentAt) {
        const auto age = std::max(std::chrono::system_clock::duration::zero(),
                                  std::chrono::system_clock::now() - *parsed.command.sentAt);
        if (age > m_options.maxAge) {
            refuse(report, "expired", messages::kExpired);
            return;
        }
        const auto left = std::chrono::duration_cast<Clock::duration>(m_options.maxAge - age);
        report.deadline = std::min(report.deadline.value_or(now + left), now + left);
    }
    std::string token = parsed.command.system.empty() ? m_system : parsed.command.system;
    if (m_fixed && !parsed.command.system.empty()) {
        const SystemSelection asked = resolveSystemToken(parsed.command.system);
        // A token that names no system is refused by the session, in its own words.
        if (asked.error == SelectionError::kNone &&
            (asked.systemId != m_fixed->systemId || asked.number != m_fixed->number)) {
            refuse(report, "refused", phone::onlySystemMessage(*m_fixed));
            return;
        }
        if (asked.error == SelectionError::kNone) {
            token = m_system;
        }
    }
    if (report.id) {
        if (m_journal.contains(*report.id)) {
            refuse(report, "duplicate", messages::kDuplicate);
            return;
        }
        if (const Result<void> added = m_journal.add(*report.id); !added) {
            m_log.appendLog(notePrefix() + added.error());
            refuse(report, "refused", messages::kNotRecorded);
            return;
        }
    }
    SendCommand command = SendCommand::token(token, parsed.command.command);
    command.notAfter = report.deadline;
    const SendPipeline::Admission admission = m_pipeline.submit(
        std::move(command),
        [this, report](std::optional<SendResult> result) {
            post([this, report, result = std::move(result)] { finish(report, result); });
        },
        SendSource::kBroker, m_options.maxWaiting);
    if (admission == SendPipeline::Admission::kAccepted) {
        return;
    }
    if (report.id) {
        (void)m_journal.forget(*report.id);
    }
    if (admission == SendPipeline::Admission::kFull) {
        refuse(report, "busy", messages::kBusy);
    } else {
        refuse(report, "not-delivered", messages::kStopped);
    }
}

void MqttBridge::finish(const Report& report, std::optional<SendResult> result) {
    if (!result) {
        const bool late = report.deadline && Clock::now() > *report.deadline;
        if (report.id) {
            (void)m_journal.forget(*report.id);
        }
        refuse(report, late ? "expired" : "not-delivered",
               late ? messages::kExpired : messages::kStopped);
        return;
    }
    // Nothing reached the transmitter: the same id may come again.
    if (report.id && !result->written) {
        (void)m_journal.forget(*report.id);
    }
    const std::string_view status = result->delivered()  ? "sent"
                                    : result->badInput() ? "refused"
                                                         : "not-delivered";
    publishReport(report, status, result->lines);
}

void MqttBridge::refuse(const Report& report, std::string_view status, std::string_view line) {
    m_log.appendLog(line);
    publishReport(report, status, {std::string(line)});
}

void MqttBridge::publishReport(const Report& report, std::string_view status,
                               const std::vector<std::string>& lines) {
    if (!m_client) {
        return;
    }
    const std::string payload = resultPayload(report.id, status, lines);
    m_client->publish(m_topics.result, payload, 1, false, report.correlation);
    if (isReplyTopic(report.responseTopic)) {
        m_client->publish(report.responseTopic, payload, 1, false, report.correlation);
    }
}

// A sender's response topic, unless it is one the bridge keeps for itself (tavik/ROOM/reply/
// is the room's place for replies): a result written over a room's state or Home Assistant's
// config would be taken for one.
bool MqttBridge::isReplyTopic(const std::string& topic) const {
    const auto under = [&](const std::string& prefix) { return topic.rfind(prefix, 0) == 0; };
    return !topic.empty() &&
           (under(m_topics.reply) || (!under("tavik/") && !under(m_options.discoveryPrefix + "/")));
}

void MqttBridge::setSystem(std::string_view text) {
    const json body = json::parse(text, nullptr, false);
    const std::string named =
        body.is_object() && body.contains("system") && body["system"].is_string()
            ? body["system"].get<std::string>()
            : std::string(text);
    const std::optional<SystemOption> option = systemOption(named);
    if (m_fixed || !option) {
        // Fixed, or no system: the state shows what holds.
        m_log.appendLog(m_fixed ? phone::onlySystemMessage(*m_fixed)
                                : std::string(tavik::messages::kUnknownSystem));
        publishSystem();
        return;
    }
    m_system = option->token;
    publishSystem();
}

void MqttBridge::publishSystem() {
    const std::optional<SystemOption> option = systemOption(m_system);
    if (!m_client || !option) {
        return;
    }
    const json state = {{"system", option->token}, {"option", option->label}};
    m_client->publish(m_topics.system, state.dump(), 1, true);
}

void MqttBridge::publishTransmitter() {
    if (!m_client) {
        return;
    }
    json state = {{"present", m_transmitter.present}};
    if (m_transmitter.present) {
        state["rev"] = m_transmitter.revision;
        state["serial"] = m_transmitter.serial;
    }
    if (m_transmitter.unopenable > 0) {
        state["unopenable"] = m_transmitter.unopenable;
    }
    m_client->publish(m_topics.transmitter,
                      state.dump(-1, ' ', false, json::error_handler_t::replace), 1, true);
}

void MqttBridge::publishDiscovery() {
    if (!m_client) {
        return;
    }
    const DiscoveredDevice device{m_options.room, m_options.discoveryPrefix, m_transmitter.serial};
    m_client->publish(discoveryTopic(device), discoveryPayload(device, m_topics), 1, true);
}

void MqttBridge::noteOnce(std::string line) {
    if (line != m_lastNote) {
        m_log.appendLog(line);
        m_lastNote = std::move(line);
    }
}

std::string MqttBridge::stateJson(bool online) const {
    // A host name in another encoding (Windows gives its code page's) must not end the bridge.
    return json{{"state", online ? "online" : "offline"},
                {"host", m_options.hostName},
                {"bridge", m_instance}}
        .dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace tavik::mqtt
