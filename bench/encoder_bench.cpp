// SPDX-License-Identifier: MIT
#include <benchmark/benchmark.h>

#include <vector>

#include "catalogue.hpp"
#include "encoder.hpp"
#include "output_report.hpp"

namespace {

struct Command {
    tavik::SystemId system;
    std::int32_t number;
    const char* text;
};

// What a karaoke evening sends: mostly 4-6 digit song numbers, some function keys, every system.
std::vector<Command> realisticMix() {
    static const char* const kTexts[] = {"1234", "12345", "123456", "1234-56", "KU",
                                         "kd",   "ST",    "SP",     "CL",      "54321"};
    std::vector<Command> mix;
    for (tavik::SystemId s = 0; s < tavik::kSystemCount; ++s) {
        const tavik::MakerEntry& entry = tavik::catalogueEntry(s);
        for (const char* text : kTexts) {
            mix.push_back({s, entry.hasNumbers() ? entry.numberMax : -1, text});
        }
    }
    return mix;
}

void BM_EncodeCommand(benchmark::State& state) {
    const auto mix = realisticMix();
    tavik::CodePacket packet;
    tavik::Encoder encoder;
    std::size_t i = 0;
    for (auto _ : state) {
        const Command& c = mix[i];
        benchmark::DoNotOptimize(encoder.encodeCommand(packet, c.system, c.number, c.text));
        benchmark::ClobberMemory();
        i = i + 1 == mix.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_EncodeCommand);

void BM_SplitIntoReports(benchmark::State& state) {
    tavik::CodePacket packet;
    tavik::Encoder{}.encodeCommand(packet, 0, -1, "12345");  // two reports
    for (auto _ : state) {
        benchmark::DoNotOptimize(tavik::splitIntoReports(packet, packet.count));
    }
}
BENCHMARK(BM_SplitIntoReports);

}  // namespace

BENCHMARK_MAIN();
