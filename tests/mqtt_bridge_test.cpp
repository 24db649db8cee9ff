// SPDX-License-Identifier: MIT
// The MQTT bridge against Debian's mosquitto, started here on loopback: in this process over the
// scripted transmitter, stopped by SIGTERM; as a process where it must refuse to start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "broker_command.hpp"
#include "id_journal.hpp"
#include "mqtt_command.hpp"
#include "support/broker.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/mqtt_test_client.hpp"
#include "support/process.hpp"

namespace tavik::mqtt {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using test::Broker;
using test::FakeHidBackend;
using test::MqttTestClient;
using Messages = std::vector<MqttTestClient::Message>;

constexpr char kDevice[] = "/dev/hidraw0";
// T3 12, as tavik-cli encode shows it.
const std::vector<std::uint8_t> kT3Twelve{0x00, 0x36, 0x00, 0xFF, 0x0C, 0x0F, 0x4F, 0x41, 0x00};

// A stream that other threads may write while the test reads it.
class SharedBuffer : public std::stringbuf {
  public:
    std::string text() {
        std::lock_guard lock(m_mutex);
        return str();
    }

  protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard lock(m_mutex);
        return std::stringbuf::xsputn(s, n);
    }
    int_type overflow(int_type c) override {
        std::lock_guard lock(m_mutex);
        return std::stringbuf::overflow(c);
    }

  private:
    std::recursive_mutex m_mutex;  // xsputn may call overflow
};

// tavik-cli mqtt in this process, on its own thread, with its own state folder.
class BridgeRun {
  public:
    BridgeRun(FakeHidBackend& backend, const std::string& state, std::vector<std::string> options)
        // Set here, on the test's thread, which alone starts processes (posix_spawn reads it).
        : m_state((setenv("STATE_DIRECTORY", state.c_str(), 1), state)),
          m_thread([this, &backend, options = std::move(options)] {
              std::vector<std::string> args{"tavik-cli mqtt"};
              args.insert(args.end(), options.begin(), options.end());
              m_code = cli::runMqttBridge(args, m_out, m_err, &backend);
              m_ended = true;
          }) {}
    ~BridgeRun() { stop(); }

    // SIGTERM, as systemd stops it; the exit code.
    int stop() {
        if (m_thread.joinable()) {
            if (!m_ended) {
                kill(getpid(), SIGTERM);
            }
            m_thread.join();
        }
        return m_code;
    }
    std::string out() { return m_outBuffer.text(); }
    std::string err() { return m_errBuffer.text(); }
    bool ended() const { return m_ended; }

  private:
    SharedBuffer m_outBuffer;
    SharedBuffer m_errBuffer;
    std::ostream m_out{&m_outBuffer};
    std::ostream m_err{&m_errBuffer};
    std::atomic<int> m_code{-1};
    std::atomic<bool> m_ended{false};
    std::string m_state;
    std::thread m_thread;
};

std::string stateFolder(const char* name) {
    std::string folder = testing::TempDir() + "tavik-mqtt-" + name;
    std::filesystem::remove_all(folder);
    return folder;
}

bool online(const Messages& messages, const std::string& room) {
    const Messages states = test::onTopic(messages, "tavik/" + room + "/state");
    return !states.empty() &&
           json::parse(states.back().payload, nullptr, false).value("state", "") == "online";
}

std::vector<json> results(const Messages& messages, const std::string& room) {
    std::vector<json> found;
    for (const auto& message : test::onTopic(messages, "tavik/" + room + "/result")) {
        found.push_back(json::parse(message.payload, nullptr, false));
    }
    return found;
}

// How often the log says it sent each song: "tavik T3 N" lines.
std::map<int, int> sends(const std::string& out) {
    std::map<int, int> counts;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("tavik T3 ", 0) == 0) {
            ++counts[std::stoi(line.substr(9))];
        }
    }
    return counts;
}

// The journal keeps the latest ids only, given-back ones too (they once grew it without bound),
// and a reopened one knows what the last one knew.
TEST(IdJournal, KeepsTheLatestAcrossReopening) {
    const std::filesystem::path file = stateFolder("journal") + "/ids";
    {
        auto journal = IdJournal::open(file, 3);
        ASSERT_TRUE(journal) << journal.error();
        for (int i = 0; i < 50; ++i) {
            ASSERT_TRUE(journal.value()->add("g" + std::to_string(i)));
            ASSERT_TRUE(journal.value()->forget("g" + std::to_string(i)));
        }
        for (const char* id : {"a", "b", "c", "d"}) {
            ASSERT_TRUE(journal.value()->add(id));
        }
        ASSERT_TRUE(journal.value()->forget("c"));
        EXPECT_EQ(journal.value()->size(), 2U);
    }
    auto reopened = IdJournal::open(file, 3);
    ASSERT_TRUE(reopened) << reopened.error();
    for (const auto& [id, known] : std::map<std::string, bool>{
             {"a", false}, {"b", true}, {"c", false}, {"d", true}, {"g49", false}}) {
        EXPECT_EQ(reopened.value()->contains(id), known) << id;
    }
}

class MqttBridgeTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(broker.start()) << "mosquitto did not start";
        backend.plug({.path = kDevice, .serialNumber = "T-0001"});
    }

    Broker broker;
    FakeHidBackend backend;
};

// Each payload's result, and whether it reached the transmitter; the bridge serves on.
TEST_F(MqttBridgeTest, EveryPayloadGetsItsResult) {
    const std::string state = stateFolder("payloads");
    const std::vector<std::string> options{"--broker", broker.url(), "--room", "r1",
                                           "--no-discovery"};
    auto bridge = std::make_unique<BridgeRun>(backend, state, options);
    MqttTestClient watch(broker.port(), {"tavik/r1/#", "reply/#"});
    watch.waitFor([](const Messages& m) { return online(m, "r1"); });
    MqttTestClient sender(broker.port());
    const std::string big(1 << 20, '1');
    const std::uint32_t longAgo = 1000;  // "sent_at": 1970, far beyond --max-age
    const struct {
        std::string payload;
        MqttTestClient::Publish how;
        const char* status;
        const char* line;  // the result's first line holds it
        bool sent;
    } rows[] = {
        {R"({"system":"T3","command":"12","id":"a"})", {}, "sent", "tavik T3 12", true},
        {"T3 12\n", {}, "sent", "tavik T3 12", true},
        {R"({"system":"T3","command":"12","id":"b"})",
         {.correlation = "c-7", .responseTopic = "reply/x"},
         "sent",
         "tavik T3 12",
         true},
        {R"({"system":"T3","command":"12","id":"own"})",
         {.responseTopic = "tavik/r1/state"},
         "sent",
         "tavik T3 12",
         true},
        {R"({"system":"T3","command":"12","id":"a"})", {}, "duplicate", "同じ ID", false},
        {R"({"system":"T3","command":"12","id":"r"})",
         {.retain = true},
         "refused",
         "保持メッセージ",
         false},
        {R"({"system":"T3","command":"12","id":"old","sent_at":)" + std::to_string(longAgo) + "}",
         {},
         "expired",
         "古いコマンド",
         false},
        {R"({"system":"T3","command":"12","sent_at":1e300})",
         {},
         "refused",
         "形式が正しくありません",
         false},
        {"12", {}, "refused", "システム指定が間違っています。", false},
        {R"({"system":"T3",)", {}, "refused", "形式が正しくありません", false},
        {R"({"system":"T3","command":12})", {}, "refused", "形式が正しくありません", false},
        {R"({"system":"Q","command":"12"})",
         {},
         "refused",
         "システム指定が間違っています。",
         false},
        {std::string("T3 1\0"
                     "2",
                     6),
         {},
         "refused",
         "形式が正しくありません",
         false},
        {R"({"system":"T3","command":"1\u00012"})", {}, "refused", "形式が正しくありません", false},
        {"T3 12345678901234567890", {}, "refused", "曲番号が間違っている", false},
        {big, {}, "refused", "長すぎます", false},
        {"T3 \xff\xfe", {}, "refused", "形式が正しくありません", false},
        {R"({"system":"T3","command":"12","id":"last"})", {}, "sent", "tavik T3 12", true},
    };
    std::size_t sent = 0;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto& row = rows[i];
        SCOPED_TRACE(row.payload.substr(0, 60));
        ASSERT_TRUE(sender.publish("tavik/r1/send", row.payload, row.how));
        const Messages got =
            watch.waitFor([&](const Messages& m) { return results(m, "r1").size() > i; });
        ASSERT_GT(results(got, "r1").size(), i) << bridge->err() << bridge->out();
        const json result = results(got, "r1")[i];
        EXPECT_EQ(result["status"], row.status) << result.dump();
        ASSERT_FALSE(result["lines"].empty());
        EXPECT_NE(result["lines"].back().get<std::string>().find(row.line), std::string::npos)
            << result.dump();
        sent += row.sent ? 1 : 0;
        EXPECT_EQ(backend.writes(kDevice).size(), sent);
    }
    for (const auto& report : backend.writes(kDevice)) {
        EXPECT_EQ(report, kT3Twelve);
    }
    const Messages got = watch.messages();
    EXPECT_EQ(results(got, "r1")[0]["id"], "a");
    EXPECT_TRUE(results(got, "r1")[1]["id"].is_null());
    const Messages replies = test::onTopic(got, "reply/x");
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].correlation, "c-7");
    EXPECT_EQ(json::parse(replies[0].payload)["id"], "b");
    for (const auto& message : test::onTopic(got, "tavik/r1/result")) {
        EXPECT_FALSE(message.retain);
    }
    for (const auto& message : test::onTopic(got, "tavik/r1/state")) {
        EXPECT_TRUE(json::parse(message.payload).contains("state")) << "a result over the state";
    }
    // The retained command stays on the broker; a restart never sends it, nor an id it has sent.
    EXPECT_EQ(bridge->stop(), 0) << bridge->err();
    EXPECT_FALSE(online(watch.waitFor([](const Messages& m) { return !online(m, "r1"); }), "r1"))
        << "offline on SIGTERM";
    bridge = std::make_unique<BridgeRun>(backend, state, options);
    watch.waitFor([](const Messages& m) { return online(m, "r1"); });
    ASSERT_TRUE(sender.publish("tavik/r1/send", R"({"system":"T3","command":"12","id":"a"})"));
    const std::size_t before = std::size(rows);
    const Messages after =
        watch.waitFor([&](const Messages& m) { return results(m, "r1").size() > before; });
    ASSERT_EQ(results(after, "r1").size(), before + 1) << "the retained command gives nothing";
    EXPECT_EQ(results(after, "r1")[before]["status"], "duplicate");
    EXPECT_EQ(backend.writes(kDevice).size(), sent);
    // A packet that never reached the transmitter gives its id back: sent when it comes again.
    backend.plug({.path = kDevice, .serialNumber = "T-0001", .failEveryWrite = true});
    ASSERT_TRUE(sender.publish("tavik/r1/send", R"({"system":"T3","command":"12","id":"w"})"));
    watch.waitFor([&](const Messages& m) { return results(m, "r1").size() > before + 1; });
    backend.plug({.path = kDevice, .serialNumber = "T-0001"});
    ASSERT_TRUE(sender.publish("tavik/r1/send", R"({"system":"T3","command":"12","id":"w"})"));
    const auto again = results(
        watch.waitFor([&](const Messages& m) { return results(m, "r1").size() > before + 2; }),
        "r1");
    ASSERT_EQ(again.size(), before + 3);
    EXPECT_EQ(again[before + 1]["status"], "not-delivered");
    EXPECT_EQ(again[before + 2]["status"], "sent");
}

// The broker stopped and started again under a stream of commands, then killed: the bridge
// comes back by itself, commands published meanwhile arrive, and none is sent twice.
TEST_F(MqttBridgeTest, BrokerRestartsNeverSendTwice) {
    BridgeRun bridge(backend, stateFolder("restart"),
                     {"--broker", broker.url(), "--room", "r2", "--no-discovery", "--system", "T3",
                      "--gap", "0"});
    int next = 0;
    const auto publishSome = [&](int count) {
        MqttTestClient watch(broker.port(), {"tavik/r2/state"});
        ASSERT_FALSE(watch.waitFor([](const Messages& m) { return online(m, "r2"); }).empty());
        MqttTestClient sender(broker.port());
        for (int i = 0; i < count; ++i, ++next) {
            ASSERT_TRUE(sender.publish(
                "tavik/r2/send",
                json{{"command", std::to_string(100 + next)}, {"id", std::to_string(next)}}
                    .dump()));
        }
    };
    const auto sentUpTo = [&](int song) {
        for (int tries = 0; tries < 500 && sends(bridge.out()).count(song) == 0; ++tries) {
            std::this_thread::sleep_for(10ms);
        }
        return sends(bridge.out()).count(song) > 0;
    };
    publishSome(20);
    EXPECT_TRUE(sentUpTo(119));
    // Stopped in good order: the bridge's session is kept, so what comes before the bridge is
    // back (its back-off) waits there for it.
    broker.stop(SIGTERM);
    ASSERT_TRUE(broker.start());
    publishSome(20);
    EXPECT_TRUE(sentUpTo(139));
    // Killed: the broker may forget the session and what was in flight, but repeats nothing
    // unseen: whatever it delivers again, the journal knows.
    broker.stop(SIGKILL);
    ASSERT_TRUE(broker.start());
    publishSome(20);
    sentUpTo(159);
    EXPECT_EQ(bridge.stop(), 0) << bridge.err();
    const std::map<int, int> sent = sends(bridge.out());
    for (const auto& [song, times] : sent) {
        EXPECT_EQ(times, 1) << "sent twice: " << song;
    }
    for (int song = 100; song < 140; ++song) {
        EXPECT_EQ(sent.count(song), 1U) << song << "\n" << bridge.out();
    }
    EXPECT_NE(bridge.out().find("lost the broker"), std::string::npos);
}

// Ten senders of a hundred commands each at --gap 0: every command once, each sender's in order.
TEST_F(MqttBridgeTest, TenSendersAHundredEachInOrder) {
    BridgeRun bridge(backend, stateFolder("load"),
                     {"--broker", broker.url(), "--room", "r3", "--no-discovery", "--system", "T3",
                      "--gap", "0"});
    {
        MqttTestClient watch(broker.port(), {"tavik/r3/state"});
        watch.waitFor([](const Messages& m) { return online(m, "r3"); });
    }
    constexpr int kSenders = 10;
    constexpr int kEach = 100;
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([&, s] {
            MqttTestClient sender(broker.port());
            for (int i = 0; i < kEach; ++i) {
                // Song s*1000+i+1000: four digits, one report.
                EXPECT_TRUE(sender.publish("tavik/r3/send", std::to_string(1000 + s * 100 + i)));
            }
        });
    }
    for (auto& sender : senders) {
        sender.join();
    }
    for (int tries = 0; tries < 1000 && sends(bridge.out()).size() < 1000U; ++tries) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(bridge.stop(), 0) << bridge.err();
    std::istringstream lines(bridge.out());
    std::map<int, int> last;  // sender -> its last number seen
    std::set<int> seen;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("tavik T3 ", 0) != 0) {
            continue;
        }
        const int number = std::stoi(line.substr(9));
        EXPECT_TRUE(seen.insert(number).second) << "twice: " << number;
        const int sender = (number - 1000) / 100;
        EXPECT_GT(number, last.count(sender) > 0 ? last[sender] : 0) << "out of order";
        last[sender] = number;
    }
    EXPECT_EQ(seen.size(), 1000U) << bridge.out().substr(0, 3000);
}

// While one command keeps the transmitter's gap, the rest wait: one that outlives its message
// expiry there is dropped, and the waiting room has a limit.
TEST_F(MqttBridgeTest, StaleAndTooManyCommandsAreNotSent) {
    BridgeRun bridge(backend, stateFolder("queue"),
                     {"--broker", broker.url(), "--room", "r4", "--no-discovery", "--system", "T3",
                      "--gap", "1500"});
    MqttTestClient watch(broker.port(), {"tavik/r4/#"});
    watch.waitFor([](const Messages& m) { return online(m, "r4"); });
    MqttTestClient sender(broker.port());
    ASSERT_TRUE(sender.publish("tavik/r4/send", "11"));
    ASSERT_TRUE(sender.publish("tavik/r4/send", "12", {.expiry = 1}));
    Messages got = watch.waitFor([](const Messages& m) { return results(m, "r4").size() >= 2; });
    ASSERT_EQ(results(got, "r4").size(), 2U);
    EXPECT_EQ(results(got, "r4")[1]["status"], "expired");
    // One sent, a thousand wait, the rest are turned away.
    for (int i = 0; i < 1003; ++i) {
        ASSERT_TRUE(sender.publish("tavik/r4/send", "13", {.qos = 1}));
    }
    got = watch.waitFor([](const Messages& m) {
        const auto all = results(m, "r4");
        return std::any_of(all.begin(), all.end(),
                           [](const json& r) { return r["status"] == "busy"; });
    });
    EXPECT_GE(results(got, "r4").size(), 3U) << "a busy result for what did not fit";
    EXPECT_EQ(bridge.stop(), 0);
    // What still waited when the bridge stopped was answered too.
    const auto all = results(
        watch.waitFor([](const Messages& m) { return results(m, "r4").size() >= 1005; }), "r4");
    EXPECT_EQ(all.size(), 1005U);
}

// Refusals to start, as processes: a room another bridge serves (here or elsewhere), a password
// others may read, a wrong one; a bridge displaced on the broker ends; a broker not
// there yet is waited for, said once.
TEST_F(MqttBridgeTest, RefusesToStartOrWaitsForTheBroker) {
    const std::string state = "STATE_DIRECTORY=" + stateFolder("refusals");
    const std::string firstState = stateFolder("first");
    BridgeRun first(backend, firstState,
                    {"--broker", broker.url(), "--room", "r5", "--no-discovery"});
    MqttTestClient watch(broker.port(), {"tavik/r5/state"});
    watch.waitFor([](const Messages& m) { return online(m, "r5"); });
    // On this computer (its journal would be rewritten under the first), then on another.
    for (const auto& [env, said] :
         std::map<std::string, std::string>{{"STATE_DIRECTORY=" + firstState, "on this computer"},
                                            {state, "; stop the bridge there first"}}) {
        const test::ProcessResult second = test::runProcess(
            TAVIK_MQTT_PROGRAM_PATH, {"--broker", broker.url(), "--room", "r5"}, {}, {env});
        EXPECT_EQ(second.exitCode, 2);
        EXPECT_NE(second.err.find(said), std::string::npos) << second.err;
    }
    EXPECT_TRUE(online(watch.messages(), "r5")) << "the first one keeps the room";
    // One that slipped past the check says it is online: this one leaves the room to it, its
    // state standing. A state of the wrong types is no other bridge.
    MqttTestClient other(broker.port());
    ASSERT_TRUE(other.publish("tavik/r5/state", R"({"state":["online"],"host":7})"));
    ASSERT_TRUE(
        other.publish("tavik/r5/state", R"({"state":"online","host":"box9"})", {.retain = true}));
    for (int tries = 0; tries < 250 && !first.ended(); ++tries) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(first.stop(), 2);  // one bridge at a time in this process: each takes SIGTERM
    EXPECT_NE(first.err().find("served by box9 as well"), std::string::npos) << first.err();
    EXPECT_EQ(json::parse(test::onTopic(watch.messages(), "tavik/r5/state").back().payload)["host"],
              "box9");

    // Logins over TLS too, with a certificate for 127.0.0.1 that is its own authority: the
    // system's authorities (OpenSSL's SSL_CERT_FILE here) when no --cafile is given.
    Broker locked;
    const std::string folder = locked.folder();
    const std::string passwords = folder + "/passwords";
    ASSERT_EQ(
        test::runProcess("/usr/bin/mosquitto_passwd", {"-b", "-c", passwords, "counter", "right"})
            .exitCode,
        0);
    ASSERT_EQ(test::runProcess(
                  "/usr/bin/openssl",
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-keyout", folder + "/key.pem", "-out", folder + "/cert.pem", "-days",
                   "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"})
                  .exitCode,
              0);
    const int tlsPort = test::freeLoopbackPort();
    {
        std::string config;
        std::ifstream in(folder + "/mosquitto.conf");
        std::getline(in, config, '\0');
        config.replace(config.find("allow_anonymous true"), 20,
                       "allow_anonymous false\npassword_file " + passwords);
        std::ofstream(folder + "/mosquitto.conf")
            << config << "listener " << tlsPort << " 127.0.0.1\ncertfile " << folder
            << "/cert.pem\nkeyfile " << folder << "/key.pem\n";
    }
    ASSERT_TRUE(locked.start());
    const std::string wrong = locked.folder() + "/wrong";
    std::ofstream(wrong) << "wrong\n";
    chmod(wrong.c_str(), 0640);
    const std::vector<std::string> login{"--room",          "r6", "--user", "counter",
                                         "--password-file", wrong};
    std::vector<std::string> plain{"--broker", locked.url()};
    plain.insert(plain.end(), login.begin(), login.end());
    const test::ProcessResult open = test::runProcess(TAVIK_MQTT_PROGRAM_PATH, plain, {}, {state});
    EXPECT_EQ(open.exitCode, 2);
    EXPECT_NE(open.err.find("is open to other users"), std::string::npos) << open.err;
    chmod(wrong.c_str(), 0600);
    const std::string tls = "mqtts://127.0.0.1:" + std::to_string(tlsPort);
    for (const std::string& url : {locked.url(), tls}) {
        std::vector<std::string> args{"--broker", url};
        args.insert(args.end(), login.begin(), login.end());
        const test::ProcessResult refused = test::runProcess(
            TAVIK_MQTT_PROGRAM_PATH, args, {}, {state, "SSL_CERT_FILE=" + folder + "/cert.pem"});
        EXPECT_EQ(refused.exitCode, 2) << url;
        EXPECT_NE(refused.err.find("refused the login"), std::string::npos) << refused.err;
        EXPECT_EQ(refused.out.find("wrong"), std::string::npos) << "the password is never logged";
        EXPECT_EQ(refused.err.find("wrong\n"), std::string::npos);
    }

    // No broker yet on this port: tried again and again, said once; then it comes.
    Broker later;
    BridgeRun waiting(backend, stateFolder("later"),
                      {"--broker", later.url(), "--room", "r7", "--no-discovery"});
    std::this_thread::sleep_for(2500ms);
    ASSERT_TRUE(later.start());
    MqttTestClient laterWatch(later.port(), {"tavik/r7/state"});
    EXPECT_TRUE(
        online(laterWatch.waitFor([](const Messages& m) { return online(m, "r7"); }, 10s), "r7"));
    waiting.stop();
    const std::string said = waiting.out();
    const auto once = said.find("cannot reach the broker");
    EXPECT_NE(once, std::string::npos) << said;
    EXPECT_EQ(said.find("cannot reach the broker", once + 1), std::string::npos) << said;
}

// Home Assistant's device: every key as its documentation lists it, re-sent on its birth
// message, removed on request.
TEST_F(MqttBridgeTest, AnnouncesTheRoomToHomeAssistant) {
    MqttTestClient watch(broker.port(), {"homeassistant/#"});
    const std::string topic = "homeassistant/device/tavik_r8/config";
    const auto configs = [&](const Messages& m) { return test::onTopic(m, topic); };
    {
        BridgeRun bridge(backend, stateFolder("discovery"),
                         {"--broker", broker.url(), "--room", "r8"});
        const auto withSerial = [&](const Messages& m) {
            const Messages all = configs(m);
            return !all.empty() &&
                   json::parse(all.back().payload)["dev"].value("sn", "") == "T-0001";
        };
        Messages got = watch.waitFor(withSerial);
        ASSERT_TRUE(withSerial(got)) << "the transmitter's serial in the device";
        const json config = json::parse(configs(got).back().payload);
        const std::set<std::string> root{"dev",
                                         "o",
                                         "cmps",
                                         "availability_topic",
                                         "availability_template",
                                         "payload_available",
                                         "payload_not_available",
                                         "qos"};
        for (const auto& [key, value] : config.items()) {
            EXPECT_EQ(root.count(key), 1U) << key;
        }
        EXPECT_EQ(config["o"]["name"], "tavik");
        EXPECT_EQ(config["dev"]["ids"][0], "tavik_r8");
        EXPECT_EQ(config["availability_topic"], "tavik/r8/state");
        // The keys each platform takes, from Home Assistant's MQTT documentation.
        const std::map<std::string, std::set<std::string>> allowed{
            {"button",
             {"p", "name", "unique_id", "default_entity_id", "command_topic", "payload_press"}},
            {"text",
             {"p", "name", "unique_id", "default_entity_id", "command_topic", "command_template",
              "pattern", "min", "max", "icon"}},
            {"select",
             {"p", "name", "unique_id", "default_entity_id", "command_topic", "state_topic",
              "value_template", "options", "entity_category"}},
        };
        std::set<std::string> names;
        std::set<std::string> uniques;
        for (const auto& [id, component] : config["cmps"].items()) {
            const std::string platform = component["p"];
            ASSERT_EQ(allowed.count(platform), 1U) << platform;
            for (const auto& [key, value] : component.items()) {
                EXPECT_EQ(allowed.at(platform).count(key), 1U) << id << ": " << key;
            }
            EXPECT_EQ(component["default_entity_id"],
                      platform + "." + component["unique_id"].get<std::string>());
            uniques.insert(component["unique_id"]);
            names.insert(component["name"]);
        }
        EXPECT_EQ(uniques.size(), 7U);
        EXPECT_EQ(names, (std::set<std::string>{"キー上げ", "キー下げ", "演奏開始", "演奏中止",
                                                "取消", "曲番号", "システム"}));
        EXPECT_EQ(config["cmps"]["system"]["options"].size(), 66U);
        EXPECT_EQ(config["cmps"]["key_up"]["payload_press"], R"({"command":"KU"})");
        EXPECT_FALSE(config.contains("object_id"));

        const std::size_t before = configs(watch.messages()).size();
        MqttTestClient ha(broker.port());
        ASSERT_TRUE(ha.publish("homeassistant/status", "online", {.qos = 1}));
        EXPECT_GT(configs(watch.waitFor([&](const Messages& m) {
                      return configs(m).size() > before;
                  })).size(),
                  before);
    }
    const test::ProcessResult removed = test::runProcess(
        TAVIK_MQTT_PROGRAM_PATH, {"--broker", broker.url(), "--room", "r8", "--remove-discovery"});
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    MqttTestClient after(broker.port(), {topic});
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(after.messages().empty()) << "no retained config left";
}

}  // namespace
}  // namespace tavik::mqtt
