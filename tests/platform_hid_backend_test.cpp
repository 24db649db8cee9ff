// SPDX-License-Identifier: MIT
// The platform's HID access (hidapi, or SetupAPI and HID on Windows). Without hardware only
// enumeration runs, and finds no transmitter; set TAVIK_TEST_DEVICE to the path of a plugged-in
// transmitter (see `tavik-cli devices`) to open it twice as the link does.
#include "platform_hid.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace tavik {
namespace {

TEST(PlatformHidBackend, EnumeratesWithoutFailing) {
    const auto backend = createPlatformHidBackend();
    const bool hardware = std::getenv("TAVIK_TEST_DEVICE") != nullptr;
    for (const HidDeviceInfo& info : backend->enumerate()) {
        EXPECT_FALSE(info.path.empty());
        EXPECT_TRUE(hardware || info.vendorId != kTransmitterVendorId ||
                    info.productId != kTransmitterProductId)
            << "a transmitter where none is plugged in: " << info.path;
    }
    std::string error;
    EXPECT_EQ(backend->open("/nonexistent/hidraw-path", error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST(PlatformHidBackend, OpensARealTransmitterTwice) {
    const char* path = std::getenv("TAVIK_TEST_DEVICE");
    if (path == nullptr) {
        GTEST_SKIP() << "set TAVIK_TEST_DEVICE to a transmitter's path";
    }
    const auto backend = createPlatformHidBackend();
    bool listed = false;
    for (const HidDeviceInfo& info : backend->enumerate()) {
        if (info.path == path) {
            listed = true;
            EXPECT_EQ(info.vendorId, kTransmitterVendorId);
            EXPECT_EQ(info.productId, kTransmitterProductId);
        }
    }
    ASSERT_TRUE(listed);
    std::string error;
    auto writer = backend->open(path, error);
    ASSERT_NE(writer, nullptr) << error;
    auto reader = backend->open(path, error);
    ASSERT_NE(reader, nullptr) << error;
    std::uint8_t report[8];
    EXPECT_GE(reader->read(report, sizeof report, 50), 0);
}

// A reader that waits in a long read is ended at once by a cancel from another thread, so that a
// program ends right after its last report.
TEST(PlatformHidBackend, CancelEndsAWaitingReadOfARealTransmitter) {
    const char* path = std::getenv("TAVIK_TEST_DEVICE");
    if (path == nullptr) {
        GTEST_SKIP() << "set TAVIK_TEST_DEVICE to a transmitter's path";
    }
    using namespace std::chrono;
    const auto backend = createPlatformHidBackend();
    std::string error;
    auto reader = backend->open(path, error);
    ASSERT_NE(reader, nullptr) << error;
    int last = 0;
    steady_clock::time_point returned;
    std::thread thread([&] {
        std::uint8_t report[8];
        while ((last = reader->read(report, sizeof report, 10000)) >= 0) {
        }
        returned = steady_clock::now();
    });
    std::this_thread::sleep_for(milliseconds(200));  // well inside the read
    const auto start = steady_clock::now();
    reader->cancelRead();
    thread.join();  // at the latest when the read's time runs out
    const auto took = duration_cast<milliseconds>(returned - start);
    EXPECT_EQ(last, kReadCancelled);
    EXPECT_LT(took, seconds(1));
    std::printf("cancel ended the read in %lld ms\n", static_cast<long long>(took.count()));
}

}  // namespace
}  // namespace tavik
