// Cell texts of one screen of rows, at the start, the middle and the end of a 10-million-frame
// store: the cost must not depend on where the screen is.

#include "views/DataListCells.h"

#include <benchmark/benchmark.h>

namespace {

constexpr std::uint32_t kFrames = 10'000'000;
constexpr int kRowsPerScreen = 40;

struct Capture {
    FrameStore store;
    FilterState filter;
    ApplicationFlags flags;
    Capture() {
        for (std::uint32_t i = 0; i < kFrames; ++i) {
            CapturedFrame f;
            f.identifier = i % 0x800;
            f.length = static_cast<std::uint8_t>(i % 9);
            f.millis = i % 1000;
            store.append(f);
        }
        FilterStep(filter, store, flags);
    }
};

Capture& capture() {
    static Capture* c = new Capture;
    return *c;
}

void BM_OneScreenOfCells(benchmark::State& state) {
    Capture& c = capture();
    const auto first = static_cast<std::uint32_t>(state.range(0));
    const auto reading = static_cast<ProtocolReading>(state.range(1));
    const int columns = static_cast<int>(dataListColumns(reading).size());
    std::size_t characters = 0;
    for (auto _ : state) {
        for (std::uint32_t row = first; row < first + kRowsPerScreen; ++row) {
            for (int column = 0; column < columns; ++column) {
                characters +=
                    dataListCellText(c.filter, c.store, c.flags, row, column, reading).size();
            }
        }
    }
    benchmark::DoNotOptimize(characters);
    state.counters["screens/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void screens(benchmark::internal::Benchmark* b) {
    for (int reading = 0; reading < 3; ++reading) {
        for (std::int64_t first : {0L, 5'000'000L, static_cast<long>(kFrames) - kRowsPerScreen}) {
            b->Args({first, reading});
        }
    }
}
BENCHMARK(BM_OneScreenOfCells)->Apply(screens)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
