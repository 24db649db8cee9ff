// SPDX-License-Identifier: MIT
#include "device_link.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "cross_thread_log.hpp"
#include "encoder.hpp"
#include "hex_text.hpp"
#include "link_messages.hpp"
#include "support/fake_hid_backend.hpp"
#include "support/recording_log.hpp"

namespace tavik {
namespace {

using namespace std::chrono_literals;
using test::FakeHidBackend;
using test::hexWrites;
using test::RecordingLog;

const std::string kFound0100 = "デバイスが見付かりました(Rev.0100)。";
const std::string kNotFound(messages::kDeviceNotFound);
const std::string kReceiveFailed(messages::kReceiveFailed);
const std::string kSendFailed(messages::kSendFailed);

const DeviceLink::Options kFastReads{5, ""};

CodePacket encoded(SystemId system, std::int32_t number, const char* text) {
    CodePacket packet;
    EXPECT_GT(Encoder{}.encodeCommand(packet, system, number, text), 0);
    return packet;
}

template <typename Predicate>
bool eventually(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

template <typename Function>
std::chrono::milliseconds timed(Function function) {
    const auto start = std::chrono::steady_clock::now();
    function();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

class DeviceLinkTest : public ::testing::Test {
  protected:
    FakeHidBackend backend;
    RecordingLog log;
};

TEST_F(DeviceLinkTest, NotFoundThenFoundByALaterSend) {
    DeviceLink link(backend, log, kFastReads);
    link.initialise();
    const CodePacket packet = encoded(3, -1, "se");
    EXPECT_EQ(link.transmitPacket(packet, packet.count), TransmitResult::kNotConnected);
    EXPECT_EQ(link.transmitPacket(packet, packet.count), TransmitResult::kNotConnected);
    EXPECT_EQ(link.findDevice(Absence::kQuiet), 0);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{kNotFound, kNotFound})) << "a quiet search";

    backend.plug({.path = "/dev/hidraw3"});
    EXPECT_EQ(link.transmitPacket(packet, packet.count), TransmitResult::kSent);
    EXPECT_EQ(link.connected(), 1);
    EXPECT_EQ(log.lines().back(), kFound0100);
    EXPECT_EQ(hexWrites(backend, "/dev/hidraw3"),
              (std::vector<std::string>{"00 43 81 16 1F 00 00 00 00"}));
    link.shutdownLink();
    EXPECT_EQ(backend.openHandles(), 0);
}

TEST_F(DeviceLinkTest, OnlyTheExactVendorAndProductAreTaken) {
    backend.plug({.path = "wrong-product", .productId = 0x2023});
    backend.plug({.path = "wrong-vendor", .vendorId = 0x0BFF});
    backend.plug({.path = "unopenable", .openError = "Permission denied"});
    backend.plug({.path = "first", .versionNumber = 0x0105});
    backend.plug({.path = "second", .versionNumber = 0x001A});
    DeviceLink link(backend, log, kFastReads);
    link.initialise();
    EXPECT_EQ(link.findDevice(), 1);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"デバイスが見付かりました(Rev.0105)。"}));
    EXPECT_EQ(backend.opens("wrong-product") + backend.opens("wrong-vendor"), 0);
    EXPECT_EQ(backend.opens("first"), 2);
    EXPECT_EQ(backend.opens("second"), 0);
    EXPECT_EQ(backend.openHandles(), 2);
    link.shutdownLink();
    EXPECT_EQ(backend.openHandles(), 0);
}

TEST_F(DeviceLinkTest, VersionIsFourUpperCaseHexDigits) {
    backend.plug({.path = "t", .versionNumber = 0x001A});
    DeviceLink link(backend, log, kFastReads);
    link.initialise();
    ASSERT_EQ(link.findDevice(), 1);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"デバイスが見付かりました(Rev.001A)。"}));
}

TEST_F(DeviceLinkTest, ReportsCarryTheStaleFillerOfTheFirst) {
    backend.plug({.path = "t"});
    DeviceLink link(backend, log, kFastReads);
    link.initialise();
    const CodePacket packet = encoded(0, -1, "12345");
    ASSERT_EQ(link.transmitPacket(packet, packet.count), TransmitResult::kSent);
    EXPECT_EQ(hexWrites(backend, "t"), (std::vector<std::string>{"00 39 2E D1 10 14 18 17 11",
                                                                 "00 15 17 D1 10 14 18 17 11"}));
}

TEST_F(DeviceLinkTest, UnplugLogsTheFailureOnceAndTheNextSendSearches) {
    backend.plug({.path = "t"});
    std::atomic<int> losses{0};
    DeviceLink link(backend, log, {5, "", [&] { ++losses; }});
    link.initialise();
    ASSERT_EQ(link.findDevice(), 1);
    backend.unplug("t");
    ASSERT_TRUE(eventually([&] { return losses.load() == 1; })) << "the front end is told";
    EXPECT_EQ(link.connected(), 0);
    const CodePacket packet = encoded(3, -1, "KU");
    // The search first ends the old reader: whatever it logged is in by then.
    EXPECT_EQ(link.transmitPacket(packet, packet.count), TransmitResult::kNotConnected);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{kFound0100, kReceiveFailed, kNotFound}));
    EXPECT_EQ(backend.openHandles(), 0) << "the lost connection's write handle is closed too";
    EXPECT_EQ(losses.load(), 1);
}

// A failed write drops the connection and the rest of the packet; the result tells whether any
// of the packet reached the transmitter.
TEST(DeviceLinkWrites, FailedWriteStopsThePacketAndDropsTheConnection) {
    const struct {
        int failingWrite;
        TransmitResult result;
    } cases[] = {{1, TransmitResult::kNothingWritten}, {2, TransmitResult::kCutShort}};
    for (const auto& c : cases) {
        FakeHidBackend backend;
        RecordingLog log;
        backend.plug({.path = "t"});
        DeviceLink link(backend, log, kFastReads);
        link.initialise();
        ASSERT_EQ(link.findDevice(), 1);
        backend.failWrite("t", c.failingWrite);
        const CodePacket packet = encoded(0, -1, "12345");  // two reports
        EXPECT_EQ(link.transmitPacket(packet, packet.count), c.result);
        EXPECT_EQ(link.connected(), 0);
        EXPECT_EQ(log.lines(), (std::vector<std::string>{kFound0100, kSendFailed}));
        EXPECT_EQ(backend.writes("t").size(), static_cast<std::size_t>(c.failingWrite - 1));
        EXPECT_EQ(backend.openHandles(), 0) << "closed at once, the reader's handle included";

        EXPECT_EQ(link.transmitPacket(packet, packet.count), TransmitResult::kSent);
        EXPECT_EQ(log.lines().back(), kFound0100) << "the next send searches again";
        EXPECT_EQ(backend.openHandles(), 2) << "the lost connection's handles are released";
    }
}

TEST_F(DeviceLinkTest, FailedSecondOpenShowsThroughTheReader) {
    backend.plug({.path = "t", .failOpenNumber = 2});
    DeviceLink link(backend, log, kFastReads);
    link.initialise();
    EXPECT_EQ(link.findDevice(), 1);
    ASSERT_TRUE(eventually([&] { return link.connected() == 0; }));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{kFound0100, kReceiveFailed}));
}

TEST_F(DeviceLinkTest, TraceShowsEachReportAndTheLastInput) {
    backend.plug({.path = "t"});
    DeviceLink link(backend, log, kFastReads);
    std::vector<std::string> trace;
    link.setTrace([&](const std::string& line) { trace.push_back(line); });
    link.initialise();
    const CodePacket packet = encoded(2, -1, "12345");
    ASSERT_EQ(link.transmitPacket(packet, packet.count), TransmitResult::kSent);
    EXPECT_EQ(trace, (std::vector<std::string>{"OUT[ 18 84 10 60 70 80 90 A0 ] / IN[ ]",
                                               "OUT[ F0 ] / IN[ ]"}));
    backend.queueInputReport("t", {0x00, 0x01, 0xAB});
    ASSERT_TRUE(eventually([&] {
        trace.clear();
        link.transmitPacket(packet, 5);
        return trace.back() == "OUT[ 18 84 10 60 ] / IN[ 00 01 AB ]";
    }));
}

// hidraw leaves the report ID of an unnumbered report out; the input report has it first.
TEST_F(DeviceLinkTest, InputReportStartsWithTheReportIdWhereTheReadOmitsIt) {
    backend.plug({.path = "t", .omitsReportId = true});
    DeviceLink link(backend, log, kFastReads);
    std::string last;
    link.setTrace([&](const std::string& line) { last = line; });
    link.initialise();
    ASSERT_EQ(link.findDevice(), 1);
    backend.queueInputReport("t", {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
    const CodePacket packet = encoded(3, -1, "KU");
    ASSERT_TRUE(eventually([&] {
        link.transmitPacket(packet, packet.count);
        return last == "OUT[ 43 81 16 54 ] / IN[ 00 01 02 03 04 05 06 07 ]";
    })) << last;
}

// shutdownLink cancels the reader's read: it returns at once whatever the reader is doing, even
// with a read time-out far longer than any bound here.
TEST_F(DeviceLinkTest, ShutdownIsPromptInEveryState) {
    std::atomic<int> losses{0};
    const DeviceLink::Options slowReads{5000, "", [&] { ++losses; }};
    {
        DeviceLink never(backend, log, slowReads);
        never.initialise();
        EXPECT_LT(timed([&] { never.shutdownLink(); }), 1s) << "never connected";
    }
    backend.plug({.path = "silent"});
    {
        DeviceLink link(backend, log, slowReads);
        link.initialise();
        ASSERT_EQ(link.findDevice(), 1);
        EXPECT_LT(timed([&] { link.shutdownLink(); }), 1s) << "reader waiting in a read";
    }
    {
        DeviceLink link(backend, log, slowReads);
        link.initialise();
        ASSERT_EQ(link.findDevice(), 1);
        backend.failWrite("silent", 1);
        const CodePacket packet = encoded(3, -1, "KU");
        EXPECT_LT(timed([&] {
                      EXPECT_EQ(link.transmitPacket(packet, packet.count),
                                TransmitResult::kNothingWritten);
                  }),
                  1s)
            << "connection dropped by a write";
        EXPECT_LT(timed([&] { link.shutdownLink(); }), 1s);
    }
    EXPECT_EQ(backend.openHandles(), 0);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{kFound0100, kFound0100, kSendFailed}))
        << "an ended reader says nothing";
    EXPECT_EQ(losses.load(), 0) << "and tells of no loss";
}

// The window's log only takes lines when its thread pumps. A reader that hands over its failure
// line while the window's thread is inside shutdownLink must neither deadlock nor lose the line.
TEST_F(DeviceLinkTest, ShutdownLetsAWaitingReaderLineThrough) {
    std::vector<std::string> window;  // touched only by this ("window") thread
    std::promise<void> handedOver;
    CrossThreadLog pumpedLog([&](const std::string& line) { window.push_back(line); },
                             [&] { handedOver.set_value(); });
    backend.plug({.path = "t"});
    DeviceLink link(backend, pumpedLog, kFastReads);
    link.initialise();
    ASSERT_EQ(link.findDevice(), 1);
    backend.unplug("t");
    handedOver.get_future().wait();  // the reader now waits in appendLog
    EXPECT_EQ(window.size(), 1U);
    EXPECT_LT(timed([&] { link.shutdownLink(); }), 500ms);
    EXPECT_EQ(window, (std::vector<std::string>{kFound0100, kReceiveFailed}));
    EXPECT_EQ(backend.openHandles(), 0);
}

TEST_F(DeviceLinkTest, ThousandReconnectionsLeaveOneReaderAndNoHandles) {
    DeviceLink link(backend, log, {1, ""});
    link.initialise();
    const CodePacket packet = encoded(3, -1, "KU");
    for (int cycle = 0; cycle < 1000; ++cycle) {
        backend.plug({.path = "t"});
        // Unless the reader has seen the unplug yet, the first write fails and drops the link.
        TransmitResult result = link.transmitPacket(packet, packet.count);
        if (result == TransmitResult::kNothingWritten) {
            result = link.transmitPacket(packet, packet.count);
        }
        ASSERT_EQ(result, TransmitResult::kSent) << cycle;
        ASSERT_LE(backend.openHandles(), 4) << cycle;
        backend.unplug("t");
        if (cycle % 2 == 0) {
            ASSERT_TRUE(eventually([&] { return link.connected() == 0; })) << cycle;
        }
    }
    EXPECT_EQ(backend.maxConcurrentReads(), 1);
    link.shutdownLink();
    EXPECT_EQ(backend.openHandles(), 0);
    EXPECT_EQ(backend.writes("t").size(), 1000U);
}

// --device names one transmitter by node or serial number, and keeps naming it after a replug
// under another node.
TEST_F(DeviceLinkTest, DeviceOptionFollowsItsTransmitter) {
    for (const char* wanted : {"/dev/hidraw7", "S-2"}) {
        FakeHidBackend devices;
        RecordingLog lines;
        devices.plug({.path = "/dev/hidraw3", .serialNumber = "S-1"});
        devices.plug({.path = "/dev/hidraw7", .versionNumber = 0x0200, .serialNumber = "S-2"});
        DeviceLink link(devices, lines, {5, wanted});
        link.initialise();
        const CodePacket packet = encoded(3, -1, "KU");
        ASSERT_EQ(link.transmitPacket(packet, packet.count), TransmitResult::kSent) << wanted;
        devices.unplug("/dev/hidraw7");
        devices.plug({.path = "/dev/hidraw9", .versionNumber = 0x0200, .serialNumber = "S-2"});
        if (link.transmitPacket(packet, packet.count) == TransmitResult::kNothingWritten) {
            link.transmitPacket(packet, packet.count);  // the unplug was not seen yet
        }
        EXPECT_EQ(devices.opens("/dev/hidraw3"), 0) << wanted;
        EXPECT_EQ(devices.writes("/dev/hidraw9").size(), 1U) << wanted;
    }
}

// A transmitter that is present but cannot be opened is named with the reason.
TEST_F(DeviceLinkTest, UnopenableTransmitterIsNamedWithTheReason) {
    backend.plug({.path = "/dev/hidraw3", .openError = "Permission denied"});
    backend.plug({.path = "/dev/hidraw4", .productId = 0x2023, .openError = "Permission denied"});
    DeviceLink link(backend, log, kFastReads);
    link.initialise();
    EXPECT_EQ(link.findDevice(), 0);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  kNotFound, "デバイスを開けません(/dev/hidraw3: Permission denied)。"}));
    EXPECT_EQ(link.unopenableInLastSearch(), 1);
}

}  // namespace
}  // namespace tavik
