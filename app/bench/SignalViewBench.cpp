// What the CAN databases cost where a user looks:
//
//   BM_ScanBytes / BM_ScanSignal   a y(t) curve's scan of every frame, by byte positions and by
//                                  the database signal at the same bytes: frames/s of each
//   BM_ScanSignalMotorola          the same bytes as a big-endian signal
//   BM_ScanSignalMultiplexed       a signal that every other frame of its message carries
//   BM_SignalsColumn/N             the Signals cells of one screen of rows (40) at the end of a
//                                  store of N frames: the same whatever N, since only painted
//                                  rows are decoded
//
//   signal_view_bench [benchmark options]

#include "document/ProgramState.h"
#include "app/SignalCurveSource.h"
#include "candb/DbcReader.h"
#include "curves/CurveScan.h"
#include "views/DataListModel.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string_view>

namespace {

constexpr std::uint32_t kFrames = 5'000'000;

const char* const kDatabase = R"(VERSION ""
BO_ 389 Drive_TPDO1: 8 Drive
 SG_ DrivePosition : 0|16@1+ (0.1,0) [0|999.9] "mm" Master
 SG_ DriveTorque : 16|16@1- (0.01,0) [-10|10] "Nm" Master
 SG_ DriveSpeed : 32|16@1+ (1,0) [0|5000] "rpm" Master
 SG_ DriveState : 48|8@1+ (1,0) [0|1] "" Master
 SG_ DriveCounter : 56|8@1+ (1,0) [0|255] "" Master
VAL_ 389 DriveState 0 "Idle" 1 "Running" ;
BO_ 645 Drive_TPDO2: 4 Drive
 SG_ DriveEnergy : 0|32@1+ (0.001,0) [0|4294967.295] "kWh" Master
)";

// Three frames in four carry the curve's message; the others are of another identifier.
void fill(FrameStore& store, std::uint32_t frames) {
    for (std::uint32_t n = 0; n < frames; ++n) {
        CapturedFrame f;
        f.identifier = n % 4 == 3 ? 0x285 : 0x185;
        f.length = 8;
        for (int k = 0; k < 8; ++k) f.data[k] = static_cast<std::uint8_t>(n * (k + 1));
        f.millis = n % 1000;
        f.seconds = n / 1000 % 60;
        store.append(f);
    }
}

ProgramState& state() {
    static ProgramState* s = [] {
        auto* made = new ProgramState;
        (void)made->databases.add("drive.dbc", kDatabase);
        fill(made->store, kFrames);
        return made;
    }();
    return *s;
}

CurveDefinition speedBytes() {
    CurveDefinition d;
    d.flags = curve_flags::kDefined | curve_flags::kYReverse | 0x30;  // D4, D5
    d.identifier = 0x185;
    d.resolution = 100;
    return d;
}

// Other placements of the speed's bytes, for the scans alone.
const char* const kScanDatabase = R"(VERSION ""
BO_ 389 Drive_Scan: 8 Drive
 SG_ DriveSpeed : 32|16@1+ (1,0) [0|5000] "rpm" Master
 SG_ SpeedMotorola : 39|16@0+ (1,0) [0|5000] "rpm" Master
 SG_ Page M : 0|1@1+ (1,0) [0|1] "" Master
 SG_ SpeedOnPage0 m0 : 32|16@1+ (1,0) [0|5000] "rpm" Master
)";

std::shared_ptr<const SignalDecoder> scanDecoder() {
    static const auto made = std::make_shared<const SignalDecoder>(
        std::vector<std::shared_ptr<const CanDatabase>>{DbcReader::read(kScanDatabase).database});
    return made;
}

// `signal` empty: the curve's byte positions.
void scan(benchmark::State& run, const char* signal) {
    ProgramState& s = state();
    const CurveDefinition curve = speedBytes();
    CurveSignals signals{};
    if (*signal != 0) {
        const bool own = std::string_view(signal) == "DriveSpeed";
        signals[0] = curveSignal(own ? s.databases.decoder() : scanDecoder(), 0x185, false, signal);
    }
    for (auto _ : run) {
        YtScan yt;
        yt.setDefinitions({curve, {}, {}, {}});
        yt.setSignals(signals);
        yt.scan(s.store, s.flags);
        benchmark::DoNotOptimize(yt.slot(0).samples.size());
    }
    run.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(kFrames) * static_cast<double>(run.iterations()),
                           benchmark::Counter::kIsRate);
}

void BM_ScanBytes(benchmark::State& run) {
    scan(run, "");
}

void BM_ScanSignal(benchmark::State& run) {
    scan(run, "DriveSpeed");
}

void BM_ScanSignalMotorola(benchmark::State& run) {
    scan(run, "SpeedMotorola");
}

void BM_ScanSignalMultiplexed(benchmark::State& run) {
    scan(run, "SpeedOnPage0");
}

void BM_SignalsColumn(benchmark::State& run) {
    ProgramState& s = state();
    const auto rows = static_cast<std::uint32_t>(run.range(0));
    s.filter = {};
    FilterStep(s.filter, s.store, s.flags, rows);
    DataListModel model(s);
    model.databasesChanged();
    model.followDisplayList();
    const int column = model.signalsColumn();
    for (auto _ : run) {
        for (int r = model.rowCount() - 40; r < model.rowCount(); ++r) {
            benchmark::DoNotOptimize(model.data(model.index(r, column)));
        }
    }
}

}  // namespace

BENCHMARK(BM_ScanBytes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanSignal)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanSignalMotorola)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanSignalMultiplexed)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SignalsColumn)->Arg(1'000)->Arg(100'000)->Arg(kFrames)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
