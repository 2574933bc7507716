// FrameStore: append throughput with a reader running beside it, and memory per stored frame.

#include "capture/FrameStore.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <fstream>
#include <thread>

#include <unistd.h>

namespace {

CapturedFrame sample(std::uint32_t i) {
    CapturedFrame f;
    f.identifier = i;
    f.length = 8;
    f.millis = i % 1000;
    return f;
}

// Appends `frames` in poll-sized batches while another thread reads every published record.
void BM_AppendWithConcurrentReader(benchmark::State& state) {
    const auto frames = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        FrameStore store;
        std::atomic<bool> done{false};
        std::atomic<std::uint64_t> result{0};
        std::thread reader([&] {
            std::uint64_t checksum = 0;
            std::uint32_t next = 0;
            while (!done.load(std::memory_order_relaxed) || next < store.count()) {
                const std::uint32_t n = store.count();
                for (; next < n; ++next) {
                    checksum += store.at(next).identifier;
                }
            }
            result = checksum;
        });
        CapturedFrame batch[18];
        for (std::uint32_t i = 0; i < frames; i += 18) {
            for (std::uint32_t k = 0; k < 18; ++k) {
                batch[k] = sample(i + k);
            }
            store.appendBatch(batch, 18, [](CapturedFrame*, std::size_t) { return true; });
        }
        done = true;
        reader.join();
        benchmark::DoNotOptimize(result.load());
        state.PauseTiming();
        store.clear();  // freeing is not part of appending
        state.ResumeTiming();
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AppendWithConcurrentReader)
    ->Arg(10'000'002)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Memory all-in per stored frame: what the store holds, and what the process really grew by.
void BM_MemoryPerFrame(benchmark::State& state) {
    const auto frames = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        const std::size_t before = residentBytes();
        FrameStore store;
        for (std::uint32_t i = 0; i < frames; ++i) {
            store.append(sample(i));
        }
        const std::size_t after = residentBytes();
        state.counters["store B/frame"] = static_cast<double>(store.memoryInUse()) / frames;
        state.counters["RSS B/frame"] = static_cast<double>(after - before) / frames;
    }
}
BENCHMARK(BM_MemoryPerFrame)->Arg(10'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
