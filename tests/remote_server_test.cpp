// SPDX-License-Identifier: MIT
// The web remote in-process, over the fake transmitter: the API, every access rule, the limits
// and the order of sends.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>
#include <vector>

#include "cli_app.hpp"
#include "remote_server.hpp"
#include "send_queue.hpp"
#include "send_session.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/recording_log.hpp"

namespace tavik::remote {
namespace {

using namespace std::chrono_literals;
using test::FakeHidBackend;

constexpr char kToken[] = "00112233445566778899aabbccddeeff";
constexpr char kDevice[] = "/dev/hidraw0";

// A server on 127.0.0.1 and the thread that owns its session, as tavik-cli serve has them.
class Served {
  public:
    explicit Served(SendLimits limits = {}, ServerOptions options = defaults(),
                    bool transmitter = true)
        : m_queue(limits) {
        if (transmitter) {
            backend.plug({kDevice});
        }
        server = std::make_unique<RemoteServer>(m_queue, std::move(options));
        std::string error;
        EXPECT_TRUE(server->start(error)) << error;
    }
    ~Served() {
        m_queue.close();
        if (m_owner.joinable()) {
            m_owner.join();
        }
        server->stop();
    }

    static ServerOptions defaults() {
        ServerOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        options.token = kToken;
        options.hosts = HostCheck({"127.0.0.1", "karaoke-pc"});
        return options;
    }

    // The session, its link and every send live on this thread, as on the CLI's main thread.
    void runOwner(std::chrono::milliseconds gap = 0ms) {
        m_owner = std::thread([this, gap] {
            SendSession session(backend, log, {{}, gap});
            session.start();
            while (m_queue.waitAndRun(session)) {
            }
            session.shutdown();
        });
    }

    httplib::Client client() const {
        httplib::Client c("127.0.0.1", server->port());
        c.set_read_timeout(10, 0);
        return c;
    }

    httplib::Result send(const std::string& body, const std::string& token = kToken) const {
        return client().Post("/api/send", {{"Authorization", "Bearer " + token}}, body,
                             "application/json");
    }

    SendQueue& queue() { return m_queue; }

    FakeHidBackend backend;
    test::RecordingLog log;
    std::unique_ptr<RemoteServer> server;

  private:
    SendQueue m_queue;
    std::thread m_owner;
};

int statusOf(const httplib::Result& result) {
    return result ? result->status : -1;
}

std::string sendBody(const std::string& system, const std::string& command) {
    return nlohmann::json{{"system", system}, {"command", command}}.dump();
}

// Forty headers of 1,000 bytes: more than any request of the page's needs.
httplib::Headers bulkyHeaders() {
    httplib::Headers headers;
    for (int i = 0; i < 40; ++i) {
        headers.emplace("X-Filler-" + std::to_string(i), std::string(1000, 'a'));
    }
    return headers;
}

TEST(RemoteServer, AnswersEachRequestAsTheRulesSay) {
    const std::string bearer = std::string("Bearer ") + kToken;
    const struct {
        const char* what;
        const char* method;
        const char* path;
        httplib::Headers headers;
        std::string body;
        const char* contentType;
        int status;
        const char* inBody;
    } rows[] = {
        // clang-format off
        {"page", "GET", "/", {}, "", "", 200, "<html lang=\"ja\">"},
        {"script", "GET", "/app.js", {}, "", "", 200, "Bearer"},
        {"style", "GET", "/style.css", {}, "", "", 200, "keypad"},
        {"unknown path", "GET", "/etc/passwd", {}, "", "", 404, "見付かりません"},
        {"catalogue", "GET", "/api/systems", {{"Authorization", bearer}}, "", "", 200,
         R"({"letter":"T","name":"TOEI システム","numbers":[1,2,3,4,5,6,7,8]})"},
        {"no token", "GET", "/api/systems", {}, "", "", 401, "リンクが違います"},
        {"wrong token", "GET", "/api/systems", {{"Authorization", "Bearer 00"}}, "", "", 401,
         "リンクが違います"},
        {"token without scheme", "GET", "/api/systems", {{"Authorization", kToken}}, "", "", 401,
         ""},
        {"send", "POST", "/api/send", {{"Authorization", bearer}}, sendBody("T3", "12"),
         "application/json", 200,
         R"("delivered":true,"lines":["デバイスが見付かりました(Rev.0100)。","tavik T3 12"])"},
        {"unknown system", "POST", "/api/send", {{"Authorization", bearer}}, sendBody("Y", "12"),
         "application/json; charset=utf-8", 400, R"({"error":"システム指定が間違っています。"})"},
        {"NUL in command", "POST", "/api/send", {{"Authorization", bearer}},
         sendBody("T3", std::string("1\0" "2", 3)), "application/json", 400, "曲番号が間違っているか"},
        {"send without token", "POST", "/api/send", {}, sendBody("T3", "12"), "application/json",
         401, ""},
        {"not JSON", "POST", "/api/send", {{"Authorization", bearer}}, "{\"system\":",
         "application/json", 400, "要求が正しくありません"},
        {"number for text", "POST", "/api/send", {{"Authorization", bearer}},
         R"({"system":"T3","command":12})", "application/json", 400, ""},
        {"extra field", "POST", "/api/send", {{"Authorization", bearer}},
         R"({"system":"T3","command":"12","x":1})", "application/json", 400, ""},
        {"form post", "POST", "/api/send", {{"Authorization", bearer}}, "system=T3",
         "application/x-www-form-urlencoded", 415, ""},
        {"body over 1 KiB", "POST", "/api/send", {{"Authorization", bearer}},
         sendBody("T3", std::string(1100, '1')), "application/json", 413, ""},
        {"PUT", "PUT", "/api/send", {{"Authorization", bearer}}, "{}", "application/json", 405, ""},
        {"DELETE", "DELETE", "/", {}, "", "", 405, ""},
        {"POST to the page", "POST", "/", {}, "{}", "application/json", 405, ""},
        {"rebound host name", "GET", "/", {{"Host", "evil.example:8462"}}, "", "", 403,
         "操作できません"},
        {"host name", "GET", "/", {{"Host", "KARAOKE-PC:8462"}}, "", "", 200, ""},
        {"localhost", "GET", "/", {{"Host", "localhost:8462"}}, "", "", 200, ""},
        {"foreign origin", "POST", "/api/send",
         {{"Authorization", bearer}, {"Origin", "http://evil.example"}}, sendBody("T3", "12"),
         "application/json", 403, ""},
        {"null origin", "GET", "/api/systems", {{"Authorization", bearer}, {"Origin", "null"}},
         "", "", 403, ""},
        {"40 KB of headers", "GET", "/", bulkyHeaders(), "", "", 400, ""},
        // clang-format on
    };
    Served served;
    served.runOwner();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        httplib::Headers headers = row.headers;
        if (headers.find("Host") == headers.end()) {
            headers.emplace("Host", "127.0.0.1:" + std::to_string(served.server->port()));
        }
        httplib::Request request;
        request.method = row.method;
        request.path = row.path;
        request.headers = headers;
        request.body = row.body;
        if (*row.contentType != '\0') {
            request.set_header("Content-Type", row.contentType);
        }
        auto client = served.client();
        httplib::Response response;
        httplib::Error error = httplib::Error::Success;
        ASSERT_TRUE(client.send(request, response, error)) << httplib::to_string(error);
        EXPECT_EQ(response.status, row.status);
        EXPECT_NE(response.body.find(row.inBody), std::string::npos) << response.body;
        EXPECT_EQ(response.get_header_value("Cache-Control"), "no-store");
        EXPECT_EQ(response.get_header_value("X-Content-Type-Options"), "nosniff");
        EXPECT_NE(response.get_header_value("Content-Security-Policy").find("default-src 'none'"),
                  std::string::npos);
        EXPECT_FALSE(response.has_header("Access-Control-Allow-Origin"));
    }
    // Only the one send that encoded reached the transmitter (one report); no line has the token.
    EXPECT_EQ(served.backend.writes(kDevice).size(), 1U);
    for (const std::string& line : served.log.lines()) {
        EXPECT_EQ(line.find(kToken), std::string::npos) << line;
    }
}

TEST(RemoteServer, SlowsDownWrongTokensFromOneAddress) {
    Served served;
    for (int i = 0; i < WrongTokenThrottle::kMaxFailures; ++i) {
        EXPECT_EQ(statusOf(served.client().Get("/api/systems")), 401);
    }
    // Now even the right token waits out the window: guessing on costs a minute a few tries.
    const auto refused =
        served.client().Get("/api/systems", {{"Authorization", std::string("Bearer ") + kToken}});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 429);
    EXPECT_EQ(refused->get_header_value("Retry-After"), "60");
}

TEST(RemoteServer, LimitsSendsPerSecondAndWaiting) {
    {
        Served served;  // 5 a second
        served.runOwner();
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(statusOf(served.send(sendBody("T3", "1" + std::to_string(i)))), 200);
        }
        EXPECT_EQ(statusOf(served.send(sendBody("T3", "19"))), 429);
    }
    {
        Served served({100, 8});  // nobody runs the sends: they wait
        std::vector<std::thread> clients;
        std::vector<int> statuses(8, 0);
        for (std::size_t i = 0; i < 8; ++i) {
            clients.emplace_back(
                [&, i] { statuses[i] = statusOf(served.send(sendBody("T3", "12"))); });
            while (served.queue().waiting() < i + 1) {
                std::this_thread::sleep_for(1ms);
            }
        }
        EXPECT_EQ(statusOf(served.send(sendBody("T3", "12"))), 429);
        served.queue().close();  // serving stops: those waiting are told, none is sent
        for (auto& client : clients) {
            client.join();
        }
        EXPECT_EQ(statuses, std::vector<int>(8, 503));
        EXPECT_TRUE(served.backend.writes(kDevice).empty());
    }
}

// A stop lets the send in progress finish; the ones still waiting are never begun.
TEST(SendQueue, StopFinishesTheSendInProgressOnly) {
    FakeHidBackend backend;
    backend.plug({kDevice});
    test::RecordingLog log;
    SendQueue queue;
    auto first = queue.submit("T3", "11");
    auto second = queue.submit("T3", "12");
    auto third = queue.submit("T3", "13");
    std::thread owner([&] {
        SendSession session(backend, log, {{}, 300ms});
        session.start();
        while (queue.waitAndRun(session)) {
        }
        session.shutdown();
    });
    first.result.wait();
    while (queue.waiting() > 1) {  // the second is taken and waits out the gap
        std::this_thread::sleep_for(1ms);
    }
    queue.close();
    owner.join();
    EXPECT_TRUE(second.result.get().value().delivered());
    EXPECT_FALSE(third.result.get().has_value());
    EXPECT_EQ(queue.submit("T3", "14").refusal, SendQueue::Refusal::kStopped);
    EXPECT_EQ(backend.writes(kDevice).size(), 2U);
}

TEST(RemoteServer, SendsOneAtATimeInArrivalOrder) {
    constexpr int kClients = 20;
    constexpr auto kGap = 20ms;
    ServerOptions options = Served::defaults();
    options.workers = kClients + 1;
    Served served({1000, kClients}, options);
    std::vector<std::thread> clients;
    std::vector<std::string> answers(kClients);
    // Each client's request is queued before the next one starts, so arrival order is known.
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            const auto answer = served.send(sendBody("T3", std::to_string(1000 + i)));
            answers[i] = answer ? answer->body : httplib::to_string(answer.error());
        });
        while (served.queue().waiting() < static_cast<std::size_t>(i) + 1) {
            std::this_thread::sleep_for(1ms);
        }
    }
    served.runOwner(kGap);
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

// A raw connection that sends `bytes`, one every `pause`, and reports when the server closed it.
std::chrono::milliseconds closedAfter(int port, const std::string& bytes,
                                      std::chrono::milliseconds pause) {
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto begin = std::chrono::steady_clock::now();
    if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(sock);
        return 0ms;
    }
    for (const char c : bytes) {
        if (send(sock, &c, 1, MSG_NOSIGNAL) != 1) {
            break;
        }
        std::this_thread::sleep_for(pause);
    }
    char buffer[512];
    while (recv(sock, buffer, sizeof buffer, 0) > 0) {
    }
    close(sock);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 begin);
}

TEST(RemoteServer, SlowAndIdleClientsCannotHoldIt) {
    ServerOptions options = Served::defaults();
    options.workers = 2;
    options.waitingConnections = 1;
    options.ioTimeout = 300ms;
    options.connectionDeadline = 800ms;
    Served served({}, options);
    const int port = served.server->port();
    // An idle connection ends after the read time-out; one that trickles a byte every 200 ms
    // (never long enough for the time-out) ends at its deadline.
    EXPECT_LT(closedAfter(port, "", 0ms), 700ms);
    const std::string trickle = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: aaaaaaaaaaaa";
    EXPECT_LT(closedAfter(port, trickle, 200ms), 3000ms);
    // With every place taken, a further connection is refused at once, not queued.
    std::vector<std::thread> holders;
    for (int i = 0; i < 3; ++i) {
        holders.emplace_back([port] { closedAfter(port, "", 0ms); });
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_LT(closedAfter(port, "", 0ms), 200ms);
    for (auto& holder : holders) {
        holder.join();
    }
    EXPECT_EQ(statusOf(served.client().Get("/")), 200);  // and serves again once they are gone
}

// tavik-cli serve in this process, over the scripted transmitter: a phone's send, then SIGTERM.
TEST(ServeCommand, SendsAndStopsCleanlyOnSigterm) {
    const std::string tokenFile = testing::TempDir() + "tavik-serve-token";
    std::remove(tokenFile.c_str());
    std::ofstream(tokenFile) << kToken << '\n';
    chmod(tokenFile.c_str(), 0600);
    // A port that is free now, so that the test knows where to connect.
    int port = 0;
    {
        SendQueue unused;
        ServerOptions options = Served::defaults();
        RemoteServer probe(unused, options);
        std::string error;
        ASSERT_TRUE(probe.start(error)) << error;
        port = probe.port();
        unused.close();
    }
    FakeHidBackend backend;
    backend.plug({kDevice});
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    int code = -1;
    std::thread serving([&] {
        code = cli::runCli({"tavik-cli", "serve", "--listen", "127.0.0.1:" + std::to_string(port),
                            "--token-file", tokenFile},
                           in, out, err, &backend);
    });
    httplib::Client client("127.0.0.1", port);
    int status = -1;
    for (int tries = 0; tries < 500 && status < 0; ++tries) {
        std::this_thread::sleep_for(10ms);
        status =
            statusOf(client.Post("/api/send", {{"Authorization", std::string("Bearer ") + kToken}},
                                 sendBody("T3", "12"), "application/json"));
    }
    EXPECT_EQ(status, 200);
    kill(getpid(), SIGTERM);
    serving.join();
    EXPECT_EQ(code, 0) << err.str();
    const std::string printed = out.str();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/#k=" + kToken + "\n";
    EXPECT_EQ(printed.rfind(url, 0), 0U) << printed;
    EXPECT_NE(
        printed.find("tavik-cli: serving; Ctrl+C stops\nデバイスが見付かりました(Rev.0100)。\n"
                     "tavik T3 12\n"),
        std::string::npos)
        << printed;
    EXPECT_EQ(printed.find(kToken, url.size()), std::string::npos) << "the token only in the link";
    EXPECT_EQ(backend.writes(kDevice).size(), 1U);
    std::remove(tokenFile.c_str());
}

}  // namespace
}  // namespace tavik::remote
