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
        : m_thread([this, &backend, state, options = std::move(options)] {
              setenv("STATE_DIRECTORY", state.c_str(), 1);
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
    std::thread m_thread;
};

std::string stateFolder(const char* name) {
    const std::string folder = testing::TempDir() + "tavik-mqtt-" + name;
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

class MqttBridgeTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(broker.start()) << "mosquitto did not start";
        backend.plug({kDevice});
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
        {"12", {}, "refused", "システム指定が間違っています。", false},
        {"{\"system\":\"T3\",", {}, "refused", "形式が正しくありません", false},
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
}

}  // namespace
}  // namespace tavik::mqtt
