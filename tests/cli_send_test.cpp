// SPDX-License-Identifier: MIT
// tavik-cli send and devices, driven in-process over the fake transmitter.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_app.hpp"
#include "devices_command.hpp"
#include "hex_text.hpp"
#include "support/fake_hid_backend.hpp"

namespace tavik {
namespace {

using test::FakeHidBackend;

std::vector<std::string> hexWrites(const FakeHidBackend& backend, const std::string& path) {
    std::vector<std::string> out;
    for (const auto& w : backend.writes(path)) {
        out.push_back(hexJoined(w));
    }
    return out;
}

struct CliRun {
    int exitCode;
    std::string out;
    std::string err;
};

CliRun runTool(FakeHidBackend& backend, std::vector<std::string> args,
               const std::string& input = {}) {
    args.insert(args.begin(), "tavik-cli");
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = cli::runCli(args, in, out, err, &backend);
    return {code, out.str(), err.str()};
}

TEST(CliSend, NoTransmitterLogsNotFoundThenTheSendLine) {
    FakeHidBackend backend;
    const CliRun r = runTool(backend, {"send", "T3", "12"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "デバイスが見付かりません。\ntavik T3 12\n");
}

TEST(CliSend, SendsTheReportsAndLogsLikeTheWindow) {
    FakeHidBackend backend;
    backend.plug({.path = "/dev/hidraw1", .versionNumber = 0x0105});
    const CliRun r = runTool(backend, {"send", "x", "123"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "デバイスが見付かりました(Rev.0105)。\ntavik X 123\n");
    ASSERT_EQ(backend.writes("/dev/hidraw1").size(), 1U);
    EXPECT_EQ(hexJoined(backend.writes("/dev/hidraw1")[0]), "00 37 2E D1 10 17 14 18 17");
    EXPECT_EQ(backend.openHandles(), 0);
}

TEST(CliSend, BadInputSendsNothing) {
    const struct {
        const char* system;
        const char* command;
        const char* line;
    } cases[] = {{"Q", "12", "システム指定が間違っています。"},
                 {"T9", "12", "メーカー選択が間違っています。"},
                 {"G", "SE", "曲番号が間違っているか、非対応の機能キーです。"}};
    for (const auto& c : cases) {
        FakeHidBackend backend;
        backend.plug({.path = "t"});
        const CliRun r = runTool(backend, {"send", c.system, c.command});
        EXPECT_EQ(r.exitCode, 2) << c.system;
        EXPECT_EQ(r.out, std::string(c.line) + "\n") << c.system;
        EXPECT_EQ(backend.opens("t"), 0) << "nothing searched or sent";
    }
}

TEST(CliSend, BatchKeepsOneConnectionAndTracesReports) {
    FakeHidBackend backend;
    backend.plug({.path = "t"});
    const CliRun r =
        runTool(backend, {"send", "--batch", "--trace", "--gap", "0"}, "J se\nC12 ku\n\nQ 1\n");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out,
              "デバイスが見付かりました(Rev.0100)。\ntavik J se\ntavik C12 ku\n"
              "システム指定が間違っています。\n");
    EXPECT_EQ(r.err, "OUT[ 43 81 16 1F ] / IN[ ]\nOUT[ 13 55 AA 08 ] / IN[ ]\n");
    EXPECT_EQ(backend.opens("t"), 2);
}

TEST(CliSend, BatchSearchesAgainWhileNotConnected) {
    FakeHidBackend backend;
    backend.plug({.path = "t"});
    backend.failWrite("t", 1);
    const CliRun r = runTool(backend, {"send", "--batch"}, "J KU\nJ KD\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              "デバイスが見付かりました(Rev.0100)。\nデバイスへの送信に失敗しました。\ntavik J KU\n"
              "デバイスが見付かりました(Rev.0100)。\ntavik J KD\n");
}

// Bad lines of a batch send nothing, and the batch goes on with the next line.
TEST(CliSend, BatchRefusesControlBytesAndLongLines) {
    using namespace std::string_literals;
    FakeHidBackend backend;
    backend.plug({.path = "t"});
    const std::string input =
        "\xEF\xBB\xBFJ KU\nJ K\0U\nJ\0 KU\n"s + "J KD" + std::string(4100, ' ') + "\nJ KD\n";
    const CliRun r = runTool(backend, {"send", "--batch", "--gap", "0"}, input);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out,
              "デバイスが見付かりました(Rev.0100)。\ntavik J KU\n"
              "曲番号が間違っているか、非対応の機能キーです。\nメーカー選択が間違っています。\n"
              "曲番号が間違っているか、非対応の機能キーです。\ntavik J KD\n");
    EXPECT_EQ(hexWrites(backend, "t"), (std::vector<std::string>{"00 43 81 16 54 00 00 00 00",
                                                                 "00 43 81 16 0B 00 00 00 00"}));
}

// The gap lies between packets, never between the reports of one packet.
TEST(CliSend, BatchWaitsTheGapBetweenPackets) {
    using namespace std::chrono_literals;
    FakeHidBackend backend;
    backend.plug({.path = "t"});
    const CliRun r = runTool(backend, {"send", "--batch", "--gap", "60"}, "J KU\nX 12345\nJ KD\n");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const auto times = backend.writeTimes("t");
    ASSERT_EQ(times.size(), 4U);  // X 12345 takes two reports
    EXPECT_GE(times[1] - times[0], 60ms);
    EXPECT_LT(times[2] - times[1], 60ms);
    EXPECT_GE(times[3] - times[2], 60ms);
}

TEST(CliSend, UnopenableTransmitterIsNamedAndHinted) {
    FakeHidBackend backend;
    backend.plug({.path = "/dev/hidraw3", .openError = "Permission denied"});
    const CliRun r = runTool(backend, {"send", "T3", "12"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(
        r.out,
        "デバイスが見付かりません。\nデバイスを開けません(/dev/hidraw3: Permission denied)。\n"
        "tavik T3 12\n");
    EXPECT_EQ(r.err.rfind("tavik-cli: ", 0), 0U);
    EXPECT_NE(r.err.find("'tavik-cli devices'"), std::string::npos) << r.err;
}

TEST(CliDevices, ListsUsableAndUnusableTransmitters) {
    FakeHidBackend backend;
    backend.plug({.path = "/dev/hidraw0", .vendorId = 0x046D});
    backend.plug({.path = "/dev/hidraw1", .versionNumber = 0x001A, .serialNumber = "A1"});
    backend.plug({.path = "/dev/hidraw2", .openError = "Permission denied"});
    CliRun r = runTool(backend, {"devices"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "/dev/hidraw1  Rev.001A  serial A1  Fake Maker  Fake Transmitter\n"
              "/dev/hidraw2  Rev.0100  cannot open: Permission denied\n");
    EXPECT_EQ(r.err.rfind("tavik-cli: ", 0), 0U);
    EXPECT_EQ(backend.openHandles(), 0);

    // The hint fits where the rule is: only a build tree is told to copy it.
    const auto root = std::filesystem::path(::testing::TempDir()) / "tavik-devices-root";
    for (const char* rule : {"", "lib/udev/rules.d", "usr/lib/udev/rules.d"}) {
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / rule);
        if (*rule != '\0') {
            std::ofstream(root / rule / "70-tavik.rules") << "\n";
        }
        std::ostringstream out, err;
        cli::listDevices(backend, out, err, root);
        const std::string hint = err.str();
        EXPECT_NE(hint.find("udevadm trigger --action=add --subsystem-match=hidraw"),
                  std::string::npos)
            << rule;
        EXPECT_NE(hint.find("group plugdev"), std::string::npos) << rule;
        EXPECT_EQ(hint.find("packaging/70-tavik.rules") != std::string::npos, *rule == '\0')
            << hint;
        EXPECT_NE(hint.find(rule), std::string::npos) << "names the rule found: " << hint;
    }
    std::filesystem::remove_all(root);

    FakeHidBackend none;
    r = runTool(none, {"devices"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "デバイスが見付かりません。\n");
}

}  // namespace
}  // namespace tavik
