// SPDX-License-Identifier: MIT
// tavik-cli serve in-process, stopped by a POSIX signal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "access_token.hpp"
#include "cli_app.hpp"
#include "phone_server.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/http_client.hpp"

namespace tavik::phone {
namespace {

using namespace std::chrono_literals;
using test::FakeHidBackend;

constexpr char kToken[] = "00112233445566778899aabbccddeeff";
constexpr char kDevice[] = "/dev/hidraw0";

// A server on a free loopback port that only holds it.
struct HeldPort {
    struct NoSends : PhoneSends {
        Admission submit(std::string, std::string, Done) override { return Admission::kStopped; }
    } none;
    static ServerOptions loopback() {
        ServerOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        return options;
    }
    PhoneServer server{none, loopback()};
    Result<void> started = server.start();
};

// tavik-cli serve in this process, over the scripted transmitter: a phone's send, the
// transmitter pulled out (its connection closed by serve's thread), then SIGTERM.
TEST(ServeCommand, SendsAndStopsCleanlyOnSigterm) {
    const std::string tokenFile = testing::TempDir() + "tavik-serve-token";
    std::remove(tokenFile.c_str());
    std::ofstream(tokenFile) << kToken << '\n';
    chmod(tokenFile.c_str(), 0600);
    // A port that is free now, so that the test knows where to connect.
    int port = 0;
    {
        const HeldPort probe;
        ASSERT_TRUE(probe.started) << probe.started.error();
        port = probe.server.port();
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
    int status = -1;
    for (int tries = 0; tries < 500 && status < 0; ++tries) {
        std::this_thread::sleep_for(10ms);
        status = test::postSend(port, kToken, R"({"system":"T3","command":"12"})").status;
    }
    EXPECT_EQ(status, 200);
    backend.unplug(kDevice);
    for (int tries = 0; tries < 200 && backend.openHandles() > 0; ++tries) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(backend.openHandles(), 0) << "the lost connection's write handle is closed";
    kill(getpid(), SIGTERM);
    serving.join();
    EXPECT_EQ(code, 0) << err.str();
    EXPECT_EQ(err.str(), "tavik-cli: serving; Ctrl+C stops\n");
    const std::string printed = out.str();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/#k=" + kToken + "\n";
    EXPECT_EQ(printed.rfind(url, 0), 0U) << printed;
    EXPECT_NE(printed.find("\nデバイスが見付かりました(Rev.0100)。\ntavik T3 12\n"),
              std::string::npos)
        << printed;
    EXPECT_EQ(printed.find(kToken, url.size()), std::string::npos) << "the token only in the link";
    EXPECT_EQ(backend.writes(kDevice).size(), 1U);
    std::remove(tokenFile.c_str());
}

// What a token file must be: a regular file of ours that no one else may read. Opening never
// blocks (a FIFO would wait for a writer), and the words say what is wrong with the path.
TEST(AccessToken, RefusesWhatIsNoPrivateFileOfOurs) {
    const std::string dir = testing::TempDir() + "tavik-token-kinds/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    const auto file = [&](const char* name, mode_t mode) {
        std::string path = dir + name;
        std::ofstream(path) << kToken << '\n';
        chmod(path.c_str(), mode);
        return path;
    };
    mkfifo((dir + "fifo").c_str(), 0600);
    std::string theirs = file("theirs", 0600);
    // Root owns every file it makes; another user's is one given away, else one of root's.
    if (geteuid() == 0) {
        EXPECT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    } else {
        theirs = "/etc/passwd";
    }
    const struct {
        std::string path;
        const char* says;  // empty: the token is read
    } rows[] = {
        {file("mine", 0600), ""},
        {file("group", 0640), "is open to other users (mode 0640); make it yours alone: chmod 600"},
        {file("others", 0604), "(mode 0604); make it yours alone: chmod 600"},
        {dir + "fifo", "is a named pipe (FIFO), not a file"},
        {dir, "is a directory, not a file"},
        {"/dev/null", "is a device, not a file"},
        {theirs, "belongs to another user"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const auto began = std::chrono::steady_clock::now();
        const Result<std::string> result = loadOrCreateTokenFile(row.path);
        EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
        if (*row.says == '\0') {
            ASSERT_TRUE(result) << result.error();
            EXPECT_EQ(result.value(), kToken);
            continue;
        }
        EXPECT_FALSE(result);
        EXPECT_NE(result.error().find(row.says), std::string::npos) << result.error();
        EXPECT_EQ(std::string(row.says).find("chmod") != std::string::npos,
                  result.error().find("chmod") != std::string::npos)
            << "advice to change the mode only where that is the fault: " << result.error();
    }
    std::filesystem::remove_all(dir);
}

// A --device that names none of the transmitters present is told at the start, before any
// guest's send could only say that none was found (here the port is taken, so serving ends).
TEST(ServeCommand, WarnsAtStartOfAnUnmatchedDevice) {
    const HeldPort holder;
    ASSERT_TRUE(holder.started) << holder.started.error();
    FakeHidBackend backend;
    backend.plug({kDevice});
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    cli::runCli({"tavik-cli", "serve", "--device", "nosuch", "--listen",
                 "127.0.0.1:" + std::to_string(holder.server.port())},
                in, out, err, &backend);
    EXPECT_EQ(err.str().rfind("tavik-cli: no transmitter matches --device nosuch; found: " +
                                  std::string(kDevice) + "\n",
                              0),
              0U)
        << err.str();
}

}  // namespace
}  // namespace tavik::phone
