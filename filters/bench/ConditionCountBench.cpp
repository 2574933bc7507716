// The filter pass against growing numbers of enabled conditions: the first eight of every kind,
// the rest exact identifiers (some with a data byte), as a document built up over time holds.

#include "filters/FilterState.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr std::uint32_t kFrames = 200'000;

const FrameStore& store() {
    static FrameStore* s = [] {
        auto* st = new FrameStore;
        std::mt19937 rng(7);
        for (std::uint32_t i = 0; i < kFrames; ++i) {
            CapturedFrame f;
            const std::uint32_t r = rng();
            f.format = (r & 0xF) == 0 ? 1 : 0;
            f.identifier = f.format == 1 ? (r >> 3) & 0x1FFFFFFF : (r >> 4) & 0x7FF;
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

std::vector<FilterCondition> conditions(std::size_t count) {
    std::vector<FilterCondition> cs;
    const std::uint32_t on = FCF_ENABLED | FCF_FORMAT;
    const auto add = [&](FilterCondition c) {
        if (cs.size() < count) cs.push_back(c);
    };
    FilterCondition c;
    c.flags = FCF_CAN | on | FCF_ID;
    c.identifier = 0x123;
    add(c);
    c = {};
    c.flags = FCF_CAN | on | FCF_ADVANCED_ID;
    c.advancedMask = 0x700;
    c.advancedBits = 0x500;
    add(c);
    c = {};
    c.flags = FCF_CAN | on | FCF_LENGTH | FCF_DATA0 | FCF_DATA1;
    c.formatAndLength = 8 << 8;
    c.data[0] = 0x12;
    c.data[1] = 0x34;
    add(c);
    c = {};
    c.flags = FCF_DEVICENET | on | FCF_METHOD1 | FCF_DN_GROUP2 | FCF_DN_SRC | FCF_DN_DST;
    c.dnSourceMac = 5;
    c.dnDestMac = 9;
    add(c);
    c = {};
    c.flags = FCF_DEVICENET | on | FCF_METHOD1 | FCF_DN_GROUP1 | FCF_DN_MSGID;
    c.dnMessageId = 13;
    add(c);
    c = {};
    c.flags = FCF_DEVICENET | on | FCF_METHOD1 | FCF_DN_GROUP3 | FCF_DN_DST;
    c.dnDestMac = 1;
    add(c);
    c = {};
    c.flags = FCF_CANOPEN | on | FCF_CO_FCODE;
    c.coFunctionCode = 3;
    add(c);
    c = {};
    c.flags = FCF_CANOPEN | on | FCF_METHOD1 | FCF_CO_COBID;
    c.coCobId = 0x701;
    add(c);
    std::mt19937 rng(11);
    while (cs.size() < count) {
        c = {};
        c.flags = FCF_CAN | on | FCF_ID;
        c.formatAndLength = rng() % 16 == 0 ? 1 : 0;
        c.identifier = c.formatAndLength == 1 ? rng() & 0x1FFFFFFF : rng() & 0x7FF;
        if (rng() % 4 == 0) {
            c.flags |= FCF_DATA0;
            c.data[0] = static_cast<std::uint8_t>(rng());
        }
        cs.push_back(c);
    }
    return cs;
}

void BM_FilterPassByConditionCount(benchmark::State& state) {
    const FrameStore& s = store();
    const ApplicationFlags flags;
    const auto cs = conditions(static_cast<std::size_t>(state.range(0)));
    std::size_t shown = 0;
    for (auto _ : state) {
        FilterState fs;
        FilterRebuild(fs, s, flags, cs, FilterMode::kShow);
        shown = fs.displayIndexList.size();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(kFrames) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["shown"] = static_cast<double>(shown);
}
BENCHMARK(BM_FilterPassByConditionCount)
    ->Arg(1)
    ->Arg(8)
    ->Arg(100)
    ->Arg(10'000)
    ->Arg(50'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
