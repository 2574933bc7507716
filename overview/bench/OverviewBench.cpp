// The bus overview at scale: building it over a large document, the cost of a live tick at full
// bus load, sorting 2,000 rows for a repaint, and the bus load over the same document.
//
//   overview_bench [benchmark options]
//   KORVANE_OVERVIEW_BENCH_FRAMES=100000000 overview_bench   (default 20,000,000 frames; each
//                                                              costs 44 bytes of store)

#include "overview/BusLoad.h"
#include "overview/BusOverview.h"
#include "overview/OverviewOrder.h"

#include "capture/AdapterClock.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

namespace {

std::uint32_t benchFrames() {
    const char* n = std::getenv("KORVANE_OVERVIEW_BENCH_FRAMES");
    const long long v = n != nullptr ? std::atoll(n) : 0;
    return v > 0 && v < 4'000'000'000LL ? static_cast<std::uint32_t>(v) : 20'000'000u;
}

// A busy bus: 400 standard and 100 extended identifiers, 8 bytes, a counter and a slowly
// changing value, one frame every 50 us.
CapturedFrame busFrame(std::uint32_t i, std::mt19937& rng) {
    CapturedFrame f;
    const std::uint32_t r = rng();
    const std::uint32_t slot = r % 500;
    f.format = slot >= 400 ? 1 : 0;
    f.identifier = f.format != 0 ? 0x18FF0000u + slot : 0x100u + slot;
    f.length = 8;
    f.data[0] = static_cast<std::uint8_t>(i);
    f.data[1] = static_cast<std::uint8_t>(i >> 14);
    f.data[7] = static_cast<std::uint8_t>(slot);
    setAdapterTimeUs(f, std::uint64_t{i} * 50);
    return f;
}

const FrameStore& document() {
    static FrameStore* store = [] {
        auto* s = new FrameStore;
        std::mt19937 rng(3);
        const std::uint32_t n = benchFrames();
        for (std::uint32_t i = 0; i < n; ++i) s->append(busFrame(i, rng));
        return s;
    }();
    return *store;
}

void BM_OverviewOfWholeDocument(benchmark::State& state) {
    const FrameStore& store = document();
    std::size_t rows = 0;
    for (auto _ : state) {
        BusOverview overview;
        overview.update(store);
        rows = overview.size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(store.count()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_OverviewOfWholeDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BusLoadOfWholeDocument(benchmark::State& state) {
    const FrameStore& store = document();
    for (auto _ : state) {
        BusLoad load(500);
        load.update(store);
        benchmark::DoNotOptimize(load.bins().size());
    }
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(store.count()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BusLoadOfWholeDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

// One 200 ms tick at 20,000 frames a second (a full 1 Mbit/s bus of 8-byte frames is about
// 8,000): the share of one core that keeping the overview, and the bus load, current costs.
void BM_LiveTickAtFullLoad(benchmark::State& state) {
    constexpr std::uint32_t kPerTick = 4'000;
    constexpr double kTickSeconds = 0.2;
    const bool withLoad = state.range(0) != 0;
    FrameStore store;
    std::mt19937 rng(5);
    std::uint32_t next = 0;
    for (; next < 2'000'000; ++next) store.append(busFrame(next, rng));
    BusOverview overview;
    BusLoad load(1000);
    overview.update(store);
    if (withLoad) load.update(store);
    for (auto _ : state) {
        state.PauseTiming();
        for (std::uint32_t k = 0; k < kPerTick; ++k, ++next) store.append(busFrame(next, rng));
        state.ResumeTiming();
        overview.update(store);
        if (withLoad) load.update(store);
    }
    // Seconds per tick over the tick's length, in percent.
    state.counters["core %"] =
        benchmark::Counter(kTickSeconds / 100.0, benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_LiveTickAtFullLoad)->Arg(0)->Arg(1)->ArgName("with_bus_load");

// Sorting for a repaint of 2,000 identifiers by a period column.
void BM_SortTwoThousandRows(benchmark::State& state) {
    FrameStore store;
    std::mt19937 rng(9);
    for (std::uint32_t i = 0; i < 20'000; ++i) {
        CapturedFrame f;
        f.identifier = rng() % 2'000;
        setAdapterTimeUs(f, std::uint64_t{i} * 100 + rng() % 50);
        store.append(f);
    }
    BusOverview overview;
    overview.update(store);
    for (auto _ : state) {
        benchmark::DoNotOptimize(overviewOrder(overview.rows(), OverviewColumn::kMeanPeriod, true));
    }
    state.counters["rows"] = static_cast<double>(overview.size());
}
BENCHMARK(BM_SortTwoThousandRows)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
