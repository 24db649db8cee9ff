// SPDX-License-Identifier: MIT
// tavik-cli serve in-process, stopped by a POSIX signal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

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
        SendQueue unused;
        ServerOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        PhoneServer probe(unused, options);
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

// A --device that names none of the transmitters present is told at the start, before any
// guest's send could only say that none was found (here the port is taken, so serving ends).
TEST(ServeCommand, WarnsAtStartOfAnUnmatchedDevice) {
    SendQueue unused;
    ServerOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    PhoneServer holder(unused, options);
    std::string error;
    ASSERT_TRUE(holder.start(error)) << error;
    FakeHidBackend backend;
    backend.plug({kDevice});
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    cli::runCli({"tavik-cli", "serve", "--device", "nosuch", "--listen",
                 "127.0.0.1:" + std::to_string(holder.port())},
                in, out, err, &backend);
    EXPECT_EQ(err.str().rfind("tavik-cli: no transmitter matches --device nosuch; found: " +
                                  std::string(kDevice) + "\n",
                              0),
              0U)
        << err.str();
    unused.close();
}

}  // namespace
}  // namespace tavik::phone
