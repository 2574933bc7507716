// --export-signals at scale: 10 million frames of a 100-message database (six signals a message
// on average, both bit orders, signed and scaled values, value descriptions, one multiplexed
// message), one frame in ten of an identifier the database does not name.
//
//   BM_Decode           the decoding alone: lookup and bit extraction, frames/s and values/s
//   BM_ExportToNull     decoding and CSV formatting, written to /dev/null
//   BM_ExportToFile     the whole export to a file in /tmp, written beside it and renamed
//
//   signal_bench --save DIR   writes DIR/bench.krv and DIR/bench.dbc instead, so that the batch
//                             itself can be timed: Korvane --export-signals OUT --dbc ... krv

#include "candb/DbcReader.h"
#include "candb/SignalCsvExport.h"
#include "document/DocumentFile.h"
#include "curves/ExtractValue.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr std::uint32_t kFrames = 10'000'000;
constexpr int kMessages = 100;

std::uint64_t frameTime(const CapturedFrame& f) {
    return FrameTimeMs(f);
}

std::uint32_t identifierOf(int m) {
    return m < 80 ? 0x100u + static_cast<std::uint32_t>(m) * 7
                  : 0x18FF0000u + static_cast<std::uint32_t>(m);
}

std::string databaseText() {
    std::string t = "VERSION \"bench\"\nBU_: A B\n";
    std::string values;
    for (int m = 0; m < kMessages; ++m) {
        const std::uint32_t id = identifierOf(m);
        const std::uint32_t written = m < 80 ? id : id | 0x80000000u;
        t += "BO_ " + std::to_string(written) + " Message" + std::to_string(m) + ": 8 A\n";
        if (m == 42) {
            t += " SG_ Page M : 0|8@1+ (1,0) [0|0] \"\" B\n";
            for (int p = 0; p < 4; ++p) {
                t += " SG_ Page" + std::to_string(p) + " m" + std::to_string(p) +
                     " : 8|32@1- (0.01,0) [0|0] \"V\" B\n";
            }
            continue;
        }
        const int signals = 4 + m % 5;  // 4 to 8
        const int width = 64 / signals;
        for (int s = 0; s < signals; ++s) {
            const int start = s * width;
            const bool motorola = (m + s) % 3 == 0;
            const int startBit = motorola ? start / 8 * 8 + 7 - start % 8 : start;
            t += " SG_ S" + std::to_string(m) + "_" + std::to_string(s) + " : " +
                 std::to_string(startBit) + "|" + std::to_string(width) + "@" +
                 (motorola ? "0" : "1") + (s % 2 == 0 ? "+" : "-") + " (" +
                 (s % 4 == 0   ? "1,0"
                  : s % 4 == 1 ? "0.1,-40"
                  : s % 4 == 2 ? "0.25,0"
                               : "-0.5,100") +
                 ") [0|0] \"" +
                 (s % 4 == 1   ? "degC"
                  : s % 4 == 2 ? "rpm"
                               : "") +
                 "\" B\n";
            if (s == 0 && width <= 16) {
                values += "VAL_ " + std::to_string(written) + " S" + std::to_string(m) +
                          "_0 0 \"Off\" 1 \"On\" 2 \"Error\" 3 \"Not available\" ;\n";
            }
        }
    }
    return t + values;
}

struct Fixture {
    SignalDecoder decoder;
    FrameStore store;
};

Fixture& fixture() {
    static Fixture* f = [] {
        const DbcReadResult r = DbcReader::read(databaseText());
        if (!r.ok) {
            std::fprintf(stderr, "%s\n", r.error.c_str());
            std::abort();
        }
        auto* fx = new Fixture{SignalDecoder({r.database}), FrameStore{}};
        std::mt19937 rng(17);
        for (std::uint32_t i = 0; i < kFrames; ++i) {
            CapturedFrame c;
            const std::uint32_t pick = rng();
            const int m = static_cast<int>(pick % kMessages);
            if (pick % 10 == 9) {
                c.identifier = 0x7F0 + pick % 8;  // not in the database
            } else {
                c.identifier = identifierOf(m);
                c.format = m < 80 ? 0 : 1;
            }
            c.length = 8;
            const std::uint32_t a = rng();
            const std::uint32_t b = rng();
            for (int k = 0; k < 4; ++k) {
                c.data[k] = static_cast<std::uint8_t>(a >> (8 * k));
                c.data[4 + k] = static_cast<std::uint8_t>(b >> (8 * k));
            }
            if (m == 42) c.data[0] &= 3;
            if (pick % 8 < 3) c.data[0] &= 3;  // some values with descriptions
            const std::uint32_t ms = i / 20;   // 20 frames a millisecond
            c.minutes = ms / 60000 % 60;
            c.seconds = ms / 1000 % 60;
            c.millis = ms % 1000;
            c.wraps = ms / 3600000;
            fx->store.append(c);
        }
        return fx;
    }();
    return *f;
}

void report(benchmark::State& state, std::uint64_t values) {
    const double frames = static_cast<double>(kFrames) * static_cast<double>(state.iterations());
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["values/s"] =
        benchmark::Counter(static_cast<double>(values) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["values/frame"] = static_cast<double>(values) / kFrames;
}

void BM_Decode(benchmark::State& state) {
    Fixture& fx = fixture();
    DecodedFrame out = fx.decoder.makeFrame();
    std::uint64_t values = 0;
    for (auto _ : state) {
        values = 0;
        fx.store.visit(0, kFrames, [&](const CapturedFrame* records, std::size_t n, std::size_t) {
            for (std::size_t k = 0; k < n; ++k) {
                fx.decoder.decode(records[k], out);
                values += out.values().size();
            }
        });
        benchmark::DoNotOptimize(values);
    }
    report(state, values);
}

void BM_ExportToNull(benchmark::State& state) {
    Fixture& fx = fixture();
    std::FILE* null = std::fopen("/dev/null", "wb");
    const SignalCsvWriter writer(fx.decoder, &frameTime);
    std::uint64_t values = 0;
    for (auto _ : state) values = writer.write(null, fx.store).rows;
    std::fclose(null);
    report(state, values);
}

void BM_ExportToFile(benchmark::State& state) {
    Fixture& fx = fixture();
    const std::string path = "/tmp/signal_bench.csv";
    std::uint64_t values = 0;
    for (auto _ : state) {
        const SignalExportResult r = exportSignalValues(path, fx.decoder, fx.store, &frameTime);
        if (!r.ok) state.SkipWithError(r.error.c_str());
        values = r.rows;
    }
    std::remove(path.c_str());
    report(state, values);
}

}  // namespace

BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportToNull)->Unit(benchmark::kMillisecond)->Iterations(2);
// The kernel's copy into the file runs on the writer thread: wall-clock time, and the CPU of both.
BENCHMARK(BM_ExportToFile)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--save") == 0) {
        const std::string dir = argv[2];
        std::ofstream(dir + "/bench.dbc") << databaseText();
        const FileResult saved =
            saveDocument(dir + "/bench.krv", DocumentContents{}, fixture().store, kFrames, nullptr);
        if (!saved.ok) std::fprintf(stderr, "%s\n", saved.error.c_str());
        return saved.ok ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
