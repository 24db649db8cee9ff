// SPDX-License-Identifier: MIT
// The phone service in-process, over the fake transmitter: the API, every access rule, the
// limits and the order of sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "access_token.hpp"
#include "phone_hosting.hpp"
#include "phone_messages.hpp"
#include "phone_server.hpp"
#include "pipeline_sends.hpp"
#include "send_session.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/fake_view.hpp"
#include "support/http_client.hpp"
#include "support/owner_thread.hpp"
#include "support/recording_log.hpp"

namespace tavik::phone {
namespace {

using namespace std::chrono_literals;
using test::FakeHidBackend;
using test::HttpHeaders;
using test::HttpReply;

constexpr char kToken[] = "00112233445566778899aabbccddeeff";
constexpr char kDevice[] = "/dev/hidraw0";

// A server on 127.0.0.1 and the thread that owns its session, as tavik-cli serve has them.
class Served {
  public:
    explicit Served(SendLimits limits = {}, ServerOptions options = defaults(),
                    std::chrono::milliseconds gap = 0ms)
        : m_plugged(backend), owner(backend, log, gap), sends(owner.pipeline(), limits) {
        server = std::make_unique<PhoneServer>(sends, std::move(options));
        const Result<void> started = server->start();
        EXPECT_TRUE(started) << started.error();
    }
    ~Served() {
        stopSends();
        if (server) {
            server->stop();
        }
    }

    static ServerOptions defaults() {
        ServerOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        options.token = kToken;
        options.hosts = HostCheck({"127.0.0.1", "karaoke-pc"});
        return options;
    }

    // Serving stops: the sends that wait are answered, none of them is sent.
    void stopSends() {
        owner.call([this](SendSession&, SendPipeline&) { sends.close(); });
    }

    HttpReply get(const std::string& path, const HttpHeaders& headers = {}) const {
        return test::httpRequest(server->port(), "GET", path, headers);
    }

    HttpReply send(const std::string& body, const std::string& token = kToken) const {
        return test::postSend(server->port(), token, body);
    }

    // Returns once `count` sends wait in the pipeline.
    void untilWaiting(std::size_t count) {
        while (owner.pipeline().waiting() < count) {
            std::this_thread::sleep_for(1ms);
        }
    }

    FakeHidBackend backend;
    test::RecordingLog log;

  private:
    struct Plugged {
        explicit Plugged(FakeHidBackend& backend) { backend.plug({kDevice}); }
    } m_plugged;

  public:
    test::OwnerThread owner;
    PipelineSends sends;
    std::unique_ptr<PhoneServer> server;
};

std::string sendBody(const std::string& system, const std::string& command) {
    return nlohmann::json{{"system", system}, {"command", command}}.dump();
}

// Forty headers of 1,000 bytes: more than any request of the page's needs.
HttpHeaders bulkyHeaders() {
    HttpHeaders headers;
    for (int i = 0; i < 40; ++i) {
        headers.emplace_back("X-Filler-" + std::to_string(i), std::string(1000, 'a'));
    }
    return headers;
}

// `body` in chunks of 100 bytes, as Transfer-Encoding: chunked frames it.
std::string chunked(const std::string& body) {
    std::string out;
    for (std::size_t at = 0; at < body.size(); at += 100) {
        const std::string chunk = body.substr(at, 100);
        char size[8];
        std::snprintf(size, sizeof size, "%zx", chunk.size());
        out += std::string(size) + "\r\n" + chunk + "\r\n";
    }
    return out + "0\r\n\r\n";
}

TEST(PhoneServer, AnswersEachRequestAsTheRulesSay) {
    const std::string bearer = std::string("Bearer ") + kToken;
    const std::string json = "application/json";
    const std::string bigBody = sendBody("T3", std::string(1100, '1'));
    // "{port}" in a Host or Origin stands for the port served on.
    const struct {
        const char* what;
        const char* method;
        const char* path;
        HttpHeaders headers;
        std::string body;
        int status;
        const char* inBody;
    } rows[] = {
        // clang-format off
        {"page", "GET", "/", {}, "", 200, "<html lang=\"ja\">"},
        {"script", "GET", "/app.js", {}, "", 200, "Bearer"},
        {"style", "GET", "/style.css", {}, "", 200, "keypad"},
        {"icon", "GET", "/favicon.ico", {}, "", 200, ""},
        {"unknown path", "GET", "/etc/passwd", {}, "", 404, "見付かりません"},
        {"catalogue", "GET", "/api/systems", {{"Authorization", bearer}}, "", 200,
         R"({"letter":"T","name":"TOEI システム","numbers":[1,2,3,4,5,6,7,8]})"},
        {"no token", "GET", "/api/systems", {}, "", 401, "リンクが違います"},
        {"wrong token", "GET", "/api/systems", {{"Authorization", "Bearer 00"}}, "", 401,
         "リンクが違います"},
        {"token without scheme", "GET", "/api/systems", {{"Authorization", kToken}}, "", 401, ""},
        {"two tokens", "GET", "/api/systems", {{"Authorization", bearer}, {"Authorization", bearer}},
         "", 400, "要求が正しくありません"},
        {"send", "POST", "/api/send", {{"Authorization", bearer}, {"Content-Type", json}},
         sendBody("T3", "12"), 200,
         R"("delivered":true,"lines":["デバイスが見付かりました(Rev.0100)。","tavik T3 12"])"},
        {"unknown system", "POST", "/api/send",
         {{"Authorization", bearer}, {"Content-Type", "application/json; charset=utf-8"}},
         sendBody("Y", "12"), 400, R"({"error":"システム指定が間違っています。"})"},
        {"NUL in command", "POST", "/api/send", {{"Authorization", bearer}, {"Content-Type", json}},
         sendBody("T3", std::string("1\0" "2", 3)), 400, "曲番号が間違っているか"},
        {"send without token", "POST", "/api/send", {{"Content-Type", json}}, sendBody("T3", "12"),
         401, ""},
        {"not JSON", "POST", "/api/send", {{"Authorization", bearer}, {"Content-Type", json}},
         "{\"system\":", 400, "要求が正しくありません"},
        {"number for text", "POST", "/api/send", {{"Authorization", bearer}, {"Content-Type", json}},
         R"({"system":"T3","command":12})", 400, ""},
        {"extra field", "POST", "/api/send", {{"Authorization", bearer}, {"Content-Type", json}},
         R"({"system":"T3","command":"12","x":1})", 400, ""},
        {"form post", "POST", "/api/send",
         {{"Authorization", bearer}, {"Content-Type", "application/x-www-form-urlencoded"}},
         "system=T3", 415, ""},
        {"body over 1 KiB", "POST", "/api/send", {{"Authorization", bearer}, {"Content-Type", json}},
         bigBody, 413, ""},
        {"chunked body over 1 KiB", "POST", "/api/send",
         {{"Authorization", bearer}, {"Content-Type", json}, {"Transfer-Encoding", "chunked"}},
         chunked(bigBody), 413, ""},
        {"two lengths", "POST", "/api/send",
         {{"Authorization", bearer}, {"Content-Type", json}, {"Content-Length", "2"},
          {"Content-Length", "2"}}, "{}", 400, ""},
        {"PUT", "PUT", "/api/send", {{"Authorization", bearer}, {"Content-Type", json}}, "{}", 405,
         ""},
        {"DELETE", "DELETE", "/", {}, "", 405, ""},
        {"POST to the page", "POST", "/", {{"Content-Type", json}}, "{}", 405, ""},
        {"rebound host name", "GET", "/", {{"Host", "evil.example:{port}"}}, "", 403,
         "操作できません"},
        {"host name", "GET", "/", {{"Host", "KARAOKE-PC:{port}"}}, "", 200, ""},
        {"localhost", "GET", "/", {{"Host", "localhost:{port}"}}, "", 200, ""},
        {"another port", "GET", "/", {{"Host", "127.0.0.1:1"}}, "", 403, ""},
        {"no port", "GET", "/", {{"Host", "127.0.0.1"}}, "", 403, ""},
        {"two hosts", "GET", "/",
         {{"Host", "127.0.0.1:{port}"}, {"Host", "evil.example:{port}"}}, "", 400, ""},
        {"foreign origin", "POST", "/api/send",
         {{"Authorization", bearer}, {"Content-Type", json}, {"Origin", "http://evil.example"}},
         sendBody("T3", "12"), 403, ""},
        {"two origins", "GET", "/api/systems",
         {{"Authorization", bearer}, {"Origin", "http://127.0.0.1:{port}"},
          {"Origin", "http://127.0.0.1:{port}"}}, "", 400, ""},
        {"null origin", "GET", "/api/systems", {{"Authorization", bearer}, {"Origin", "null"}}, "",
         403, ""},
        {"origin on a port that only begins with ours", "GET", "/api/systems",
         {{"Authorization", bearer}, {"Origin", "http://127.0.0.1:{port}0"}}, "", 403, ""},
        {"40 KB of headers", "GET", "/", bulkyHeaders(), "", 400, ""},
        // The fifth wrong token from this address: last, since it locks the address out.
        {"token that differs in its first character", "GET", "/api/systems",
         {{"Authorization", "Bearer f" + std::string(kToken + 1)}}, "", 401, ""},
        // clang-format on
    };
    Served served;
    const std::string port = std::to_string(served.server->port());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        HttpHeaders headers = row.headers;
        for (auto& [name, value] : headers) {
            if (const auto at = value.find("{port}"); at != std::string::npos) {
                value.replace(at, 6, port);
            }
        }
        const HttpReply reply =
            test::httpRequest(served.server->port(), row.method, row.path, headers, row.body);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_NE(reply.body.find(row.inBody), std::string::npos) << reply.body;
        EXPECT_EQ(reply.header("Cache-Control"), "no-store");
        EXPECT_EQ(reply.header("X-Content-Type-Options"), "nosniff");
        EXPECT_NE(reply.header("Content-Security-Policy").find("default-src 'none'"),
                  std::string::npos);
        EXPECT_EQ(reply.header("Referrer-Policy"), "no-referrer");
        EXPECT_EQ(reply.header("X-Frame-Options"), "DENY");
        EXPECT_FALSE(reply.has("Access-Control-Allow-Origin"));
    }
    // Only the one send that encoded reached the transmitter (one report); no line has the token.
    EXPECT_EQ(served.backend.writes(kDevice).size(), 1U);
    for (const std::string& line : served.log.lines()) {
        EXPECT_EQ(line.find(kToken), std::string::npos) << line;
    }
}

// The party's one system: the only one listed, the only one sent to; the window may change it.
TEST(PhoneServer, KeepsToTheFixedSystem) {
    ServerOptions options = Served::defaults();
    options.system = resolveSystemToken("T3");
    Served served({100, 8}, options);
    const HttpHeaders bearer = {{"Authorization", std::string("Bearer ") + kToken}};
    EXPECT_EQ(served.get("/api/systems", bearer).body,
              R"([{"letter":"T","name":"TOEI システム","numbers":[3]}])");
    const struct {
        const char* system;
        int status;
        const char* inBody;
    } rows[] = {
        {"T3", 200, "tavik T3 12"},
        {"J", 400, R"({"error":"このパーティーで送れるのは TOEI システム 3 だけです。"})"},
        {"T5", 400, "TOEI システム 3 だけ"},
        {"T", 400, "TOEI システム 3 だけ"},  // T alone is T1
        {"T9", 400, "メーカー選択が間違っています"},
        {"Ｔ３", 200, "tavik T3 12"},           // as an input method types it
        {"Ｔ５", 400, "TOEI システム 3 だけ"},  // and no way around the party's system
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.system);
        const HttpReply reply = served.send(sendBody(row.system, "12"));
        EXPECT_EQ(reply.status, row.status);
        EXPECT_NE(reply.body.find(row.inBody), std::string::npos) << reply.body;
    }
    served.server->fixSystem(resolveSystemToken("J"));
    EXPECT_EQ(served.get("/api/systems", bearer).body,
              R"([{"letter":"J","name":"JOYSOUND","numbers":[]}])");
    EXPECT_EQ(served.send(sendBody("J", "12")).status, 200);
    // Every system open: the host's selection is what a page offers first.
    served.server->fixSystem(std::nullopt, resolveSystemToken("T5"));
    const std::string every = served.get("/api/systems", bearer).body;
    EXPECT_NE(every.find(R"({"current":5,"letter":"T","name":"TOEI システム")"), std::string::npos)
        << every;
    EXPECT_EQ(every.find("current"), every.rfind("current")) << "one system is the host's";
    EXPECT_EQ(served.send(sendBody("T5", "12")).status, 200);
    EXPECT_EQ(served.backend.writes(kDevice).size(), 4U);
}

// A port in use is refused, not shared: two servers on one port would split the phones.
TEST(PhoneServer, RefusesAPortAnotherServerHolds) {
    Served first;
    ServerOptions options = Served::defaults();
    options.port = first.server->port();
    PhoneServer second(first.sends, options);
    const Result<void> started = second.start();
    EXPECT_FALSE(started);
    EXPECT_EQ(started.error(), "cannot listen on 127.0.0.1:" + std::to_string(options.port) +
                                   ": Address already in use");
}

TEST(PhoneServer, SlowsDownWrongTokensFromOneAddress) {
    Served served;
    for (int i = 0; i < WrongTokenThrottle::kMaxFailures; ++i) {
        EXPECT_EQ(served.get("/api/systems").status, 401);
    }
    // Now even the right token waits out the window: guessing on costs a minute a few tries.
    const HttpReply refused =
        served.get("/api/systems", {{"Authorization", std::string("Bearer ") + kToken}});
    EXPECT_EQ(refused.status, 429);
    EXPECT_EQ(refused.header("Retry-After"), "60");
}

TEST(PhoneServer, LimitsSendsPerSecondAndWaiting) {
    {
        Served served;  // 5 a second
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(served.send(sendBody("T3", "1" + std::to_string(i))).status, 200);
        }
        EXPECT_EQ(served.send(sendBody("T3", "19")).status, 429);
    }
    {
        Served served({100, 8}, Served::defaults(), 10s);
        // The first is sent at once; the rest wait out its gap.
        EXPECT_EQ(served.send(sendBody("T3", "11")).status, 200);
        std::vector<std::thread> clients;
        std::vector<int> statuses(8, 0);
        for (std::size_t i = 0; i < 8; ++i) {
            clients.emplace_back(
                [&, i] { statuses[i] = served.send(sendBody("T3", "12")).status; });
            served.untilWaiting(i + 1);
        }
        const HttpReply full = served.send(sendBody("T3", "12"));
        EXPECT_EQ(full.status, 429);
        EXPECT_EQ(full.header("Retry-After"), "1");
        served.stopSends();  // those waiting are told, none is sent
        for (auto& client : clients) {
            client.join();
        }
        EXPECT_EQ(statuses, std::vector<int>(8, 503));
        EXPECT_EQ(served.backend.writes(kDevice).size(), 1U);
    }
}

// The kept token: created for its owner alone, then read back as it is, on every platform.
TEST(AccessToken, FileKeepsOneTokenForItsOwner) {
    const std::string path = testing::TempDir() + "tavik-kept-token";
    std::remove(path.c_str());
    const Result<std::string> created = loadOrCreateTokenFile(path);
    ASSERT_TRUE(created && isAccessToken(created.value())) << created.error();
    const Result<std::string> read = loadOrCreateTokenFile(path);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read.value(), created.value());
    EXPECT_NE(newAccessToken().value(), created.value());
    std::remove(path.c_str());
}

TEST(PhoneServer, SendsOneAtATimeInArrivalOrder) {
    constexpr int kClients = 20;
    constexpr auto kGap = 20ms;
    ServerOptions options = Served::defaults();
    options.places = kClients;
    Served served({1000, kClients}, options, kGap);
    auto release = served.owner.hold();
    std::vector<std::thread> clients;
    std::vector<std::string> answers(kClients);
    // Each client's request is queued before the next one starts, so arrival order is known.
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back(
            [&, i] { answers[i] = served.send(sendBody("T3", std::to_string(1000 + i))).body; });
        served.untilWaiting(static_cast<std::size_t>(i) + 1);
    }
    release();
    for (auto& client : clients) {
        client.join();
    }
    const auto writes = served.backend.writes(kDevice);
    const auto times = served.backend.writeTimes(kDevice);
    ASSERT_EQ(writes.size(), 2U * kClients);  // two reports a packet
    for (int i = 0; i < kClients; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(answers[i].find("\"tavik T3 " + std::to_string(1000 + i) + "\""),
                  std::string::npos)
            << answers[i];
        // The packets never interleave and keep the gap.
        const auto first = 2 * static_cast<std::size_t>(i);
        EXPECT_EQ(writes[first][0], 0);
        if (i > 0) {
            EXPECT_GE(times[first] - times[first - 1], kGap);
        }
    }
    // The log shows the sends in arrival order.
    std::vector<std::string> sent;
    for (const std::string& line : served.log.lines()) {
        if (line.rfind("tavik T3 ", 0) == 0) {
            sent.push_back(line);
        }
    }
    ASSERT_EQ(sent.size(), static_cast<std::size_t>(kClients));
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(sent[i], "tavik T3 " + std::to_string(1000 + i));
    }
}

// A connection's deadline covers its own reading and writing, not its wait for its turn: with
// a gap far longer than the deadline, every one of 8 waiting sends is answered.
TEST(PhoneServer, AnswersEverySendThatWaitedLongerThanItsDeadline) {
    ServerOptions options = Served::defaults();
    options.connectionDeadline = 300ms;
    Served served({100, 8}, options, 200ms);
    std::vector<std::thread> clients;
    std::vector<int> statuses(8, 0);
    for (int& status : statuses) {
        clients.emplace_back([&] { status = served.send(sendBody("T3", "12")).status; });
    }
    for (auto& client : clients) {
        client.join();
    }
    EXPECT_EQ(statuses, std::vector<int>(8, 200));
    EXPECT_EQ(served.backend.writes(kDevice).size(), 8U);
}

// Stopping while 50 clients connect and send: done within a second, every send that was made
// answered 200, every other one refused or cut off, never answered as sent without its report.
TEST(PhoneServer, StopsPromptlyUnderLoad) {
    ServerOptions options = Served::defaults();
    options.places = 50;
    auto served = std::make_unique<Served>(SendLimits{1000, 50}, options, 5ms);
    const int port = served->server->port();
    std::vector<std::thread> clients;
    std::vector<int> statuses(50, 0);
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        clients.emplace_back([&, i] {
            statuses[i] =
                test::postSend(port, kToken, sendBody("T3", std::to_string(1000 + i))).status;
        });
    }
    std::this_thread::sleep_for(50ms);
    const auto began = std::chrono::steady_clock::now();
    served->stopSends();
    served->server.reset();  // stopped, and the connections it cut off closed
    EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
    for (auto& client : clients) {
        client.join();
    }
    const auto answered =
        static_cast<std::size_t>(std::count(statuses.begin(), statuses.end(), 200));
    EXPECT_EQ(answered, served->backend.writes(kDevice).size() / 2)
        << "two reports a packet; " << testing::PrintToString(statuses);
    for (const int status : statuses) {
        EXPECT_TRUE(status == 200 || status == 503 || status <= 0) << status;  // <= 0: no answer
    }
    for (const std::string& line : served->log.lines()) {
        if (line.rfind("tavik T3 ", 0) == 0) {
            const int i = std::stoi(line.substr(9)) - 1000;
            EXPECT_EQ(statuses[static_cast<std::size_t>(i)], 200) << line;
        }
    }
}

// A window's hosting of phones, without the window: serving from the first open to the stop,
// said in the log, the box shown with the links and told which system phones send to.
TEST(PhoneHosting, ServesTheWindowsSelectionOrEverySystem) {
    struct Box : PhoneHostingView {
        void showPhoneBox(const std::vector<std::string>& shown, const std::string& to,
                          const std::string& note) override {
            urls = shown;
            system = to;
            portNote = note;
            open = true;
        }
        void setPhoneSystem(const std::string& to) override { system = to; }
        void closePhoneBox() override { open = false; }
        std::vector<std::string> urls;
        std::string system = "-";
        std::string portNote;
        bool open = false;
    } box;
    // The usual port taken: the box and the log say which one serves instead.
    ServerOptions usual;
    usual.port = kDefaultPort;
    struct : PhoneSends {
        Admission submit(std::string, std::string, Done) override { return Admission::kStopped; }
    } none;
    PhoneServer holder(none, usual);
    (void)holder.start();  // taken already, by another, is as good
    FakeHidBackend backend;
    test::RecordingLog log;
    test::FakeView view;
    ThreadLoop loop;
    SendSession session(backend, log);
    SendPipeline pipeline(session, loop);
    RemoteController controller(view, session, pipeline);
    PhoneHosting hosting(box, controller, session, pipeline);
    controller.initialise({"T", "3", ""});
    hosting.open();
    ASSERT_TRUE(hosting.serving()) << log.lines().back();
    EXPECT_TRUE(box.open);
    EXPECT_EQ(box.system, "TOEI システム 3");
    ASSERT_FALSE(box.urls.empty());
    EXPECT_NE(box.urls.back().find("/#k="), std::string::npos) << box.urls.back();
    EXPECT_EQ(box.urls.back().find(":8462/"), std::string::npos) << box.urls.back();
    EXPECT_EQ(box.portNote.rfind("ポート 8462 は使用中のため ", 0), 0U) << box.portNote;
    view.numbers.select(4);
    hosting.followSelectors();
    EXPECT_EQ(box.system, "TOEI システム 5");
    hosting.setEverySystem(true);
    EXPECT_EQ(box.system, "");
    hosting.stop();
    EXPECT_FALSE(hosting.serving());
    EXPECT_FALSE(box.open);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{std::string(messages::kServingStarted), box.portNote,
                                        std::string(messages::kServingStopped)}));
}

TEST(PhoneServer, SlowAndIdleClientsCannotHoldIt) {
    ServerOptions options = Served::defaults();
    options.places = 2;
    options.waitingConnections = 1;
    options.ioTimeout = 300ms;
    options.connectionDeadline = 800ms;
    Served served({}, options);
    const int port = served.server->port();
    // An idle connection ends after the read time-out; one that trickles a byte every 200 ms
    // (never long enough for the time-out) ends at its deadline.
    EXPECT_LT(test::closedAfter(port, "", 0ms), 700ms);
    const std::string trickle = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: aaaaaaaaaaaa";
    EXPECT_LT(test::closedAfter(port, trickle, 200ms), 3000ms);
    // With every place taken, a further connection is refused at once, not queued.
    std::vector<std::thread> holders;
    for (int i = 0; i < 3; ++i) {
        holders.emplace_back([port] { test::closedAfter(port, "", 0ms); });
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_LT(test::closedAfter(port, "", 0ms), 200ms);
    const test::HttpReply busy = test::httpRequest(port, "GET", "/");
    EXPECT_EQ(busy.status, 503);
    EXPECT_NE(busy.body.find("混み合っています"), std::string::npos) << busy.body;
    EXPECT_EQ(busy.header("X-Content-Type-Options"), "nosniff");
    for (auto& holder : holders) {
        holder.join();
    }
    EXPECT_EQ(served.get("/").status, 200);  // and serves again once they are gone
}

}  // namespace
}  // namespace tavik::phone
