// SPDX-License-Identifier: MIT
#include "cross_thread_log.hpp"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

namespace tavik {
namespace {

TEST(CrossThreadLog, ALineFromAnotherThreadLandsAfterTheEarlierOnes) {
    std::vector<std::string> lines;
    std::atomic<int> wakes{0};
    CrossThreadLog log([&](const std::string& line) { lines.push_back(line); }, [&] { ++wakes; });
    log.appendLog("first");
    std::atomic<bool> returned{false};
    std::thread reader([&] {
        log.appendLog("from reader");
        returned = true;
    });
    while (wakes.load() == 0) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(returned.load()) << "the reader waits until its line is in";
    log.appendLog("second");  // takes the waiting line in first
    reader.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "from reader", "second"}));
}

TEST(CrossThreadLog, ManyThreadsKeepWholeLinesInTheirOrder) {
    std::vector<std::string> lines;
    std::atomic<bool> done{false};
    CrossThreadLog log([&](const std::string& line) { lines.push_back(line); }, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 50; ++i) {
                log.appendLog("thread " + std::to_string(t) + " line " + std::to_string(i));
            }
        });
    }
    std::thread joiner([&] {
        for (auto& thread : threads) {
            thread.join();
        }
        done = true;
    });
    while (!done.load()) {
        log.deliverPending();
        std::this_thread::yield();
    }
    joiner.join();
    log.deliverPending();
    ASSERT_EQ(lines.size(), 200U);
    std::array<int, 4> next{};  // each thread's lines arrive whole and in its own order
    for (const std::string& line : lines) {
        const int t = line[7] - '0';
        ASSERT_EQ(line, "thread " + std::to_string(t) + " line " + std::to_string(next[t]++));
    }
}

}  // namespace
}  // namespace tavik
