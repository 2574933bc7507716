// FilterStep over a large store: frames x conditions tested per second.

#include "filters/FilterState.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr std::uint32_t kFrames = 10'000'000;

const FrameStore& store() {
    static FrameStore* s = [] {
        auto* st = new FrameStore;
        std::mt19937 rng(7);
        for (std::uint32_t i = 0; i < kFrames; ++i) {
            CapturedFrame f;
            const std::uint32_t r = rng();
            f.format = (r & 0xF) == 0 ? 1 : 0;
            f.identifier = f.format == 1 ? (r >> 3) & 0x1FFFFFFF : (r >> 4) & 0x7FF;
            f.status = (r >> 20 & 0x1F) == 0 ? 1 : 0;
            f.length = static_cast<std::uint8_t>(r % 9);
            const std::uint32_t d = rng();
            for (int k = 0; k < 8; ++k) {
                f.data[k] = k < f.length ? static_cast<std::uint8_t>(d >> (k * 3)) : 0;
            }
            st->append(f);
        }
        return st;
    }();
    return *s;
}

std::vector<FilterCondition> mixedConditions() {
    std::vector<FilterCondition> cs(8);
    const std::uint32_t on = FCF_ENABLED | FCF_FORMAT;
    cs[0].flags = FCF_CAN | on | FCF_ID;
    cs[0].identifier = 0x123;
    cs[1].flags = FCF_CAN | on | FCF_ADVANCED_ID;
    cs[1].advancedMask = 0x700;
    cs[1].advancedBits = 0x500;
    cs[2].flags = FCF_CAN | on | FCF_LENGTH | FCF_DATA0 | FCF_DATA1;
    cs[2].formatAndLength = 8 << 8;
    cs[2].data[0] = 0x12;
    cs[2].data[1] = 0x34;
    cs[3].flags = FCF_DEVICENET | on | FCF_METHOD1 | FCF_DN_GROUP2 | FCF_DN_SRC | FCF_DN_DST;
    cs[3].dnSourceMac = 5;
    cs[3].dnDestMac = 9;
    cs[4].flags = FCF_DEVICENET | on | FCF_METHOD1 | FCF_DN_GROUP1 | FCF_DN_MSGID;
    cs[4].dnMessageId = 13;
    cs[5].flags = FCF_DEVICENET | on | FCF_METHOD1 | FCF_DN_GROUP3 | FCF_DN_DST;
    cs[5].dnDestMac = 1;
    cs[6].flags = FCF_CANOPEN | on | FCF_CO_FCODE;
    cs[6].coFunctionCode = 3;
    cs[7].flags = FCF_CANOPEN | on | FCF_METHOD1 | FCF_CO_COBID;
    cs[7].coCobId = 0x701;
    return cs;
}

void BM_FilterPassOverWholeStore(benchmark::State& state) {
    const FrameStore& s = store();
    const ApplicationFlags flags;
    const auto conditions =
        state.range(0) == 0 ? std::vector<FilterCondition>{} : mixedConditions();
    const auto mode = state.range(1) == 0 ? FilterMode::kShow : FilterMode::kHide;
    std::size_t shown = 0;
    for (auto _ : state) {
        FilterState fs;
        FilterRebuild(fs, s, flags, conditions, mode);  // clears, then one FilterStep over all
        shown = fs.displayIndexList.size();
        benchmark::DoNotOptimize(shown);
    }
    const double frames = static_cast<double>(kFrames) * static_cast<double>(state.iterations());
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["tests/s"] = benchmark::Counter(
        frames * static_cast<double>(std::max<std::size_t>(conditions.size(), 1)),
        benchmark::Counter::kIsRate);
    state.counters["shown"] = static_cast<double>(shown);
}
BENCHMARK(BM_FilterPassOverWholeStore)
    ->Args({0, 0})
    ->Args({8, 0})
    ->Args({8, 1})
    ->Unit(benchmark::kMillisecond);

// One step of the rebuild a filter dialog's OK runs: the longest the window waits at a time.
void BM_FilterRebuildOneStep(benchmark::State& state) {
    const FrameStore& s = store();
    const ApplicationFlags flags;
    const auto conditions = mixedConditions();
    const std::uint32_t step = filterStepFrames(conditions.size());
    for (auto _ : state) {
        state.PauseTiming();
        FilterState fs;
        fs.conditions = conditions;
        fs.recomputeActive();
        fs.storeGeneration = s.generation();
        state.ResumeTiming();
        FilterStep(fs, s, flags, step);
        benchmark::DoNotOptimize(fs.displayIndexList.size());
    }
    state.counters["frames/step"] = static_cast<double>(step);
}
BENCHMARK(BM_FilterRebuildOneStep)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
