// SPDX-License-Identifier: MIT
// The send pipeline on a thread of its own, fed from others: order, completions, pacing by
// timers, and what a close does with what waits.
#include "send_pipeline.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "support/fake_hid_backend.hpp"
#include "support/owner_thread.hpp"
#include "support/recording_log.hpp"

namespace tavik {
namespace {

using namespace std::chrono_literals;
using test::FakeHidBackend;

// Four sources at once: every command is sent once, each source's in its order, and each
// completion runs on the owner's thread with the lines of its own send.
TEST(SendPipeline, SendsEveryCommandOnceInEachSourcesOrder) {
    FakeHidBackend backend;
    backend.plug({.path = "t"});
    test::RecordingLog log;
    test::OwnerThread owner(backend, log);
    std::thread::id ownerId;
    owner.call([&](SendSession&, SendPipeline&) { ownerId = std::this_thread::get_id(); });
    std::mutex mutex;
    std::vector<std::string> completed;
    std::atomic<int> offThread{0};
    std::vector<std::thread> sources;
    for (int s = 0; s < 4; ++s) {
        sources.emplace_back([&, s] {
            for (int i = 0; i < 10; ++i) {
                const std::string command = std::to_string(1000 + 100 * s + i);
                ASSERT_EQ(
                    owner.pipeline().submit(SendCommand::token("T3", command),
                                            [&, command](std::optional<SendResult> result) {
                                                offThread += std::this_thread::get_id() != ownerId;
                                                std::lock_guard lock(mutex);
                                                completed.push_back(result && !result->lines.empty()
                                                                        ? result->lines.back()
                                                                        : "none for " + command);
                                            }),
                    SendPipeline::Admission::kAccepted);
            }
        });
    }
    for (auto& source : sources) {
        source.join();
    }
    const auto count = [&] {
        std::lock_guard lock(mutex);
        return completed.size();
    };
    while (count() < 40) {
        std::this_thread::sleep_for(1ms);
    }
    std::lock_guard lock(mutex);
    EXPECT_EQ(log.lines().size(), 41U) << "the transmitter found, then the 40 sends, nothing else";
    EXPECT_EQ(offThread.load(), 0);
    EXPECT_EQ(backend.writes("t").size(), 80U) << "two reports a packet, each packet once";
    for (int s = 0; s < 4; ++s) {
        int last = -1;
        for (const std::string& line : completed) {
            const int number = std::stoi(line.substr(line.rfind(' ') + 1));
            if (number / 100 == 10 + s) {
                EXPECT_GT(number, last) << line;
                last = number;
            }
        }
    }
}

// While packets wait out their gap, the owner's loop goes on with other work.
TEST(SendPipeline, KeepsTheGapWithoutHoldingTheOwner) {
    FakeHidBackend backend;
    backend.plug({.path = "t"});
    test::RecordingLog log;
    test::OwnerThread owner(backend, log, 100ms);
    std::atomic<int> done{0};
    for (int i = 0; i < 5; ++i) {
        owner.pipeline().submit(SendCommand::token("J", "KU"),
                                [&](const std::optional<SendResult>&) { ++done; });
    }
    auto longest = 0ms;
    auto last = std::chrono::steady_clock::now();
    while (done.load() < 5) {
        owner.call([](SendSession&, SendPipeline&) {});  // a turn of the owner's loop
        const auto now = std::chrono::steady_clock::now();
        longest =
            std::max(longest, std::chrono::duration_cast<std::chrono::milliseconds>(now - last));
        last = now;
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_LT(longest, 60ms) << "the owner answered within that";
    const auto times = backend.writeTimes("t");
    ASSERT_EQ(times.size(), 5U);
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], 100ms);
    }
}

// A close hands back what waits, unsent; the send in progress (here waiting for a transmitter)
// ends at its next search with its result; nothing is taken after.
TEST(SendPipeline, CloseAnswersWhatWaitsAndEndsTheSendInProgress) {
    FakeHidBackend backend;  // no transmitter
    test::RecordingLog log;
    test::OwnerThread owner(backend, log);
    std::vector<std::optional<SendResult>> results(3);
    std::atomic<int> done{0};
    for (std::optional<SendResult>& slot : results) {
        owner.pipeline().submit(SendCommand::token("J", "KU", {60s, nullptr}),
                                [&](std::optional<SendResult> result) {
                                    slot = std::move(result);
                                    ++done;
                                });
    }
    std::this_thread::sleep_for(300ms);  // the first searches again and again
    const auto began = std::chrono::steady_clock::now();
    owner.call([](SendSession&, SendPipeline& pipeline) { pipeline.close(); });
    while (done.load() < 3) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
    ASSERT_TRUE(results[0].has_value());
    EXPECT_EQ(results[0]->status, SendStatus::kNotFound);
    EXPECT_FALSE(results[1].has_value());
    EXPECT_FALSE(results[2].has_value());
    EXPECT_EQ(owner.pipeline().submit(SendCommand::token("J", "KU"), {}),
              SendPipeline::Admission::kClosed);
}

}  // namespace
}  // namespace tavik
