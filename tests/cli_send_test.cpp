// SPDX-License-Identifier: MIT
// tavik-cli send and devices, driven in-process over the fake transmitter.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli_app.hpp"
#include "devices_command.hpp"
#include "hex_text.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/interrupt.hpp"

namespace tavik {
namespace {

using test::FakeHidBackend;
using test::hexWrites;

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

// Full-width letters and digits, as an input method types them, are logged as ASCII.
TEST(CliSend, NoTransmitterLogsNotFoundThenTheSendLine) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"send", "T3", "12"}, {"send", "Ｔ３", "１２"}}) {
        FakeHidBackend backend;
        const CliRun r = runTool(backend, args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "デバイスが見付かりません。\ntavik T3 12\n") << args[1];
    }
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

// The log line on standard output, then on standard error what the input lacks.
TEST(CliSend, BadInputSendsNothing) {
    const struct {
        const char* system;
        const char* command;
        const char* line;
        const char* err;
    } cases[] = {{"Q", "12", "システム指定が間違っています。",
                  "no system has the letter Q (see 'tavik-cli list')"},
                 {"\x01", "12", "システム指定が間違っています。",
                  "a system is a letter, then its number (see 'tavik-cli list')"},
                 {"T9", "12", "メーカー選択が間違っています。", "T takes 1 to 8"},
                 {"A5", "12", "メーカー選択が間違っています。", "A takes 0 to 4"},
                 {"G", "SE", "曲番号が間違っているか、非対応の機能キーです。",
                  "G has no SE; it has KU KD SP ST"},
                 {"D", "12X", "曲番号が間違っているか、非対応の機能キーです。",
                  "D has no key for a character of this song number, or it is too long for one "
                  "packet"},
                 {"J", "ＫＸ", "曲番号が間違っているか、非対応の機能キーです。",
                  "neither a song number nor a function name (J has SE KU KD SP ST CL; see "
                  "'tavik-cli --help')"}};
    for (const auto& c : cases) {
        FakeHidBackend backend;
        backend.plug({.path = "t"});
        const CliRun r = runTool(backend, {"send", c.system, c.command});
        EXPECT_EQ(r.exitCode, 2) << c.system;
        EXPECT_EQ(r.out, std::string(c.line) + "\n") << c.system;
        EXPECT_EQ(r.err, "tavik-cli: " + std::string(c.err) + "\n") << c.system;
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
    EXPECT_EQ(r.err,
              "OUT[ 43 81 16 1F ] / IN[ ]\nOUT[ 13 55 AA 08 ] / IN[ ]\n"
              "tavik-cli: line 4: no system has the letter Q (see 'tavik-cli list')\n");
    EXPECT_EQ(backend.opens("t"), 2);
}

// A batch waits for a missing or lost transmitter (--wait, 10 s by default), saying so once per
// absence; when the wait runs out it stops and names the line to resume at.
TEST(CliSend, BatchWaitsForItsTransmitter) {
    const std::string notFound = "デバイスが見付かりません。\n";
    const std::string found = "デバイスが見付かりました(Rev.0100)。\n";
    const std::string sendFailed = "デバイスへの送信に失敗しました。\n";
    const struct {
        const char* name;
        std::vector<std::string> options;
        const char* input;
        // Of the transmitter plugged in from the start; 0: none plugged in; -1: every write.
        int failingWrite;
        int exitCode;
        std::string out;
        std::string err;
    } cases[] = {
        {"no wait: each line searches once",
         {"--wait", "0"},
         "J KU\nJ KD\n",
         0,
         1,
         notFound + "tavik J KU\n" + notFound + "tavik J KD\n",
         ""},
        {"the wait runs out: nothing more is read",
         {"--wait", "1"},
         "\nJ KU\nJ KD\n",
         0,
         1,
         notFound + "tavik J KU\n",
         "tavik-cli: no transmitter for 1 s; stopped before line 2\n"},
        {"a packet none of whose reports was written is written again",
         {},
         "J KU\nJ KD\n",
         1,
         0,
         found + sendFailed + found + "tavik J KU\ntavik J KD\n",
         ""},
        {"without a wait it is not",
         {"--wait", "0"},
         "J KU\nJ KD\n",
         1,
         1,
         found + sendFailed + "tavik J KU\n" + found + "tavik J KD\n",
         ""},
        {"a failed packet is written again once only, however long the wait",
         {"--wait", "2"},
         "J KU\n",
         -1,
         1,
         found + sendFailed + found + sendFailed + "tavik J KU\n",
         ""},
        {"bad input outranks a command not delivered",
         {"--wait", "0"},
         "Q 1\nJ KU\n",
         0,
         2,
         "システム指定が間違っています。\n" + notFound + "tavik J KU\n",
         "tavik-cli: line 1: no system has the letter Q (see 'tavik-cli list')\n"},
        {"a packet cut between its reports is not",
         {},
         "X 12345\nJ KD\n",
         2,
         1,
         found + sendFailed + "tavik X 12345\n" + found + "tavik J KD\n",
         ""},
    };
    for (const auto& c : cases) {
        FakeHidBackend backend;
        if (c.failingWrite != 0) {
            backend.plug({.path = "t", .failEveryWrite = c.failingWrite < 0});
            backend.failWrite("t", c.failingWrite);
        }
        std::vector<std::string> args{"send", "--batch", "--gap", "0"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun r = runTool(backend, args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
    }
}

// Unplugged after two packets and back 500 ms later: the reader's loss is told, no line is lost,
// the gap holds across the reconnection, and the absence is told once.
TEST(CliSend, BatchRidesOutAReplug) {
    using namespace std::chrono_literals;
    FakeHidBackend backend;
    backend.plug({.path = "t"});
    std::thread unplugger([&] {
        while (backend.writes("t").size() < 2) {
            std::this_thread::sleep_for(1ms);
        }
        backend.unplug("t");
        std::this_thread::sleep_for(500ms);
        backend.plug({.path = "t"});
    });
    const CliRun r =
        runTool(backend, {"send", "--batch", "--gap", "100"}, "J 1\nJ 2\nJ 3\nJ 4\nJ 5\n");
    unplugger.join();
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(hexWrites(backend, "t").size(), 5U);
    for (const char* once : {"デバイスからの受信に失敗しました。", "デバイスが見付かりません。"}) {
        EXPECT_NE(r.out.find(once), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find(once), r.out.rfind(once)) << r.out;
    }
    const auto times = backend.writeTimes("t");
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], 100ms) << i;
    }
}

// Ctrl+C while a line waits ends the batch there, with the line to resume at.
TEST(CliSend, InterruptedBatchNamesTheLineToResumeAt) {
    using namespace std::chrono_literals;
    FakeHidBackend backend;
    bool interrupted = false;
    std::thread interrupter([&] {
        std::this_thread::sleep_for(300ms);
        interrupted = test::interruptThisProcess();
    });
    const CliRun r = runTool(backend, {"send", "--batch", "--wait", "2"}, "J 1\nJ 2\n");
    interrupter.join();
    if (!interrupted) {
        GTEST_SKIP() << "no Ctrl+C here (no console)";
    }
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.out, "デバイスが見付かりません。\ntavik J 1\n");
    EXPECT_EQ(r.err, "tavik-cli: interrupted; stopped before line 1\n");
}

// Bad lines of a batch send nothing, each is named by its line, and the batch goes on with the
// next line.
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
    EXPECT_EQ(r.err,
              "tavik-cli: line 2: the command holds a control byte\n"
              "tavik-cli: line 3: J takes no number\n"
              "tavik-cli: line 4: the line is longer than 4096 bytes\n");
    EXPECT_EQ(hexWrites(backend, "t"), (std::vector<std::string>{"00 43 81 16 54 00 00 00 00",
                                                                 "00 43 81 16 0B 00 00 00 00"}));
}

// A --device that names none of the transmitters present says what is there, rather than only
// that nothing was found; one it names says nothing more.
TEST(CliSend, UnmatchedDeviceNamesWhatWasFound) {
    FakeHidBackend backend;
    backend.plug({.path = "/dev/hidraw0", .serialNumber = "TV0001"});
    backend.plug({.path = "/dev/hidraw1"});
    CliRun r = runTool(backend, {"send", "--device", "nosuch", "T3", "12"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "デバイスが見付かりません。\ntavik T3 12\n");
    EXPECT_EQ(r.err,
              "tavik-cli: no transmitter matches --device nosuch; found: /dev/hidraw0 (serial "
              "TV0001), /dev/hidraw1\n");
    for (const char* device : {"TV0001", "/dev/hidraw1"}) {
        r = runTool(backend, {"send", "--device", device, "T3", "12"});
        EXPECT_EQ(r.exitCode, 0) << device;
        EXPECT_EQ(r.err, "") << device;
    }
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

    // A slow transmitter: the gap runs from the end of a packet's last write, not its start.
    FakeHidBackend slow;
    slow.plug({.path = "t", .writeDelay = 100ms});
    ASSERT_EQ(runTool(slow, {"send", "--batch", "--gap", "80"}, "X 12345\nJ KD\n").exitCode, 0);
    const auto slowTimes = slow.writeTimes("t");  // each write's end
    ASSERT_EQ(slowTimes.size(), 3U);
    EXPECT_GE(slowTimes[2] - 100ms - slowTimes[1], 80ms);
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
