// SPDX-License-Identifier: MIT
// Encoding runs on every button press and in batches: it must not touch the heap.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "catalogue.hpp"
#include "encoder.hpp"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace tavik {
namespace {

TEST(EncoderAllocation, EncodingAllocatesNothing) {
    static const char* const kTexts[] = {
        "12345", "1234-56", "1234A5", "KU", "se", "", "99999999999999999999", "12X"};
    CodePacket packet;
    Encoder encoder;
    const long before = g_allocations.load();
    long encoded = 0;
    for (SystemId system = 0; system < kSystemCount; ++system) {
        for (const char* text : kTexts) {
            encoded +=
                encoder.encodeCommand(packet, system, catalogueEntry(system).numberMin, text) > 0;
        }
    }
    EXPECT_EQ(g_allocations.load() - before, 0);
    EXPECT_GT(encoded, 50);  // the loop did encode, not only fail

    // The counter works: an allocation is seen.
    void* probe = ::operator new(sizeof(int));
    EXPECT_EQ(g_allocations.load() - before, 1);
    ::operator delete(probe);
}

}  // namespace
}  // namespace tavik
