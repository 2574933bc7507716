// RecvData: decoding of full 18-frame batches, alone and through a device handle.

#include "devapi/Blocks.h"
#include "devapi/VexaApi.h"
#include "tests/support/ScriptedAdapter.h"

#include <benchmark/benchmark.h>

namespace {

std::vector<std::uint8_t> fullRead() {
    std::vector<std::uint8_t> read(vexa::kDataReadSize, 0);
    for (std::size_t i = 0; i < 18; ++i) {
        RecordSpec r;
        r.lengthAndFormat = i % 2 ? 0x88 : 0x08;
        r.millis22 = 1000 + static_cast<std::uint32_t>(i);
        r.identifier = 0x100 + static_cast<std::uint32_t>(i);
        putRecord(read, i / 3, i % 3, r);
    }
    return read;
}

void BM_DecodeFullBatch(benchmark::State& state) {
    const auto read = fullRead();
    ReceivedFrame frames[18];
    for (auto _ : state) {
        benchmark::DoNotOptimize(vexa::decodeDataRead(read.data(), frames));
        benchmark::ClobberMemory();
    }
    state.counters["batches/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["frames/s"] = benchmark::Counter(18.0 * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeFullBatch);

void BM_RecvDataThroughAHandle(benchmark::State& state) {
    TempRuntimeDir dir;
    ScriptedAdapter adapter(dir);
    if (Vexa_INIT() != 1) {
        state.SkipWithError("no interface");
        return;
    }
    const auto read = fullRead();
    ReceivedFrame frames[18];
    std::int32_t a = 0, b = 0, count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        adapter.queueRead(read);
        state.ResumeTiming();
        if (RecvData(&a, &b, &count, frames) != 1 || count != 18) {
            state.SkipWithError("read failed");
            break;
        }
    }
    state.counters["batches/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RecvDataThroughAHandle)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
