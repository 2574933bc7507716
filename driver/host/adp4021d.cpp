// adp4021d: the ADP4021 driver host with emulated adapters.

#include "adapter/DemoNetwork.h"
#include "adapter/EmulatedAdapter.h"
#include "adapter/FullLoadGenerator.h"
#include "adapter/LogReplay.h"
#include "adapter/SharedBus.h"
#include "driver/host/DriverHost.h"
#include "driver/host/RealBusHost.h"
#include "driver/host/StopSignals.h"
#include "platform/devio/DeviceInterfaces.h"
#include "platform/kernel/KernelHost.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const char kUsage[] =
    "Usage: adp4021d [options]\n"
    "Hosts the ADP4021 driver in user space and plugs emulated ADP4021 adapters into its\n"
    "virtual USB bus. Each started adapter's device interface is served as a socket under\n"
    "<runtime dir>/interfaces/{A71602A8-A799-44DC-805F-7FF25F30BEDB}/, where VexaApi finds it.\n"
    "Runs until SIGINT or SIGTERM, then unplugs every adapter (surprise removal, removal);\n"
    "a host that has not ended within a second of the signal ends at once.\n"
    "\n"
    "Adapters and their bus:\n"
    "  --adapters N          number of emulated adapters (default 1); each has its own bus\n"
    "  --shared-bus          the adapters share one bus: each receives what the others send,\n"
    "                        and one source feeds them all (try a sender against a receiver)\n"
    "  --source SOURCE       what the bus carries (default demo):\n"
    "                          demo         CANopen nodes and a DeviceNet master with slaves\n"
    "                          replay:FILE  a candump, ASC (.asc), BLF (.blf) or pcap (.pcap,\n"
    "                                       .pcapng) log at its own pace, from when the\n"
    "                                       adapter first starts capturing\n"
    "                          load         frames back to back (see --load-*)\n"
    "                          none         a quiet bus\n"
    "                          canbus:PLUGIN:INTERFACE  a real bus through a Qt Serial Bus\n"
    "                                       plugin, e.g. canbus:socketcan:can0 (Qt's virtual\n"
    "                                       bus canbus:virtualcan:... only with\n"
    "                                       --unauthenticated-test-bus)\n"
    "                          slcan:DEVICE[,baud=N]  a real bus through an slcan serial\n"
    "                                       adapter, e.g. slcan:/dev/ttyACM0\n"
    "  --list-buses          the CAN interfaces and serial ports found, and exit\n"
    "  --replay-loop         start the log again when it ends\n"
    "  --load-length N       data bytes of the load frames, 0-8 (default 8)\n"
    "  --load-extended       extended load frames (default standard)\n"
    "  --load-rate R         load frames per second instead of a full bus\n"
    "  --overdrive           ignore bit timing: frames arrive as fast as the source wants\n"
    "  --rx-buffer N         the adapter's receive buffer in frames (default 4096)\n"
    "  --unauthenticated-test-bus\n"
    "                        allow canbus:virtualcan:INTERFACE, Qt's virtual CAN bus, for\n"
    "                        tests: it is TCP on localhost without authentication, so any\n"
    "                        local process can put frames on it, and one malformed line from\n"
    "                        any of them crashes Qt's plugin and the host with it. The host\n"
    "                        never serves this bus itself: start virtualcan_hub first, which\n"
    "                        passes on well-formed frames only\n"
    "\n"
    "Test configurations:\n"
    "  --no-data-endpoint    configuration 1 lacks endpoint 0x82\n"
    "  --mute-replies        the adapter never answers on endpoint 0x81\n"
    "\n"
    "Host:\n"
    "  --runtime-dir DIR     where the interface sockets go (default $KORVANE_RUNTIME_DIR,\n"
    "                        else $XDG_RUNTIME_DIR/korvane, else /tmp/korvane-<uid>)\n"
    "  --registry FILE       the driver's registry values, e.g. a [Parameters] section with\n"
    "                        BreakOnEntry=dword:00000001\n"
    "  --trace FILE          driver trace lines to FILE (default stderr)\n"
    "  --quiet               no driver trace lines\n"
    "  --transfer-log FILE   every USB transfer of the first adapter (endpoint, direction,\n"
    "                        length, bytes) to FILE\n"
    "  --stats-file FILE     the adapters' frame counters, written at exit\n"
    "  --help                this text\n";

struct Options {
    int adapters = 1;
    bool sharedBus = false;
    std::string source = "demo";
    bool replayLoop = false;
    int loadLength = 8;
    bool loadExtended = false;
    double loadRate = 0;
    bool overdrive = false;
    bool allowTestBus = false;
    long rxBuffer = 4096;
    bool noDataEndpoint = false;
    bool muteReplies = false;
    std::string runtimeDir;
    std::string registry;
    std::string trace;
    bool quiet = false;
    std::string transferLog;
    std::string statsFile;
};

bool number(const char* text, double low, double high, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && out >= low && out <= high;
}

bool parse(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        double v = 0;
        const auto needs = [&](bool ok) {
            if (!ok) error = "bad or missing value for " + a;
            ++i;
            return ok;
        };
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--list-buses") {
            RealBusHost::listBuses(stdout);
            std::exit(0);
        } else if (a == "--adapters") {
            if (!needs(value && number(value, 1, 16, v))) return false;
            o.adapters = static_cast<int>(v);
        } else if (a == "--source") {
            if (!needs(value != nullptr)) return false;
            o.source = value;
        } else if (a == "--shared-bus") {
            o.sharedBus = true;
        } else if (a == "--replay-loop") {
            o.replayLoop = true;
        } else if (a == "--load-length") {
            if (!needs(value && number(value, 0, 8, v))) return false;
            o.loadLength = static_cast<int>(v);
        } else if (a == "--load-extended") {
            o.loadExtended = true;
        } else if (a == "--load-rate") {
            if (!needs(value && number(value, 1, 10'000'000, v))) return false;
            o.loadRate = v;
        } else if (a == "--overdrive") {
            o.overdrive = true;
        } else if (a == "--unauthenticated-test-bus") {
            o.allowTestBus = true;
        } else if (a == "--rx-buffer") {
            if (!needs(value && number(value, 18, 10'000'000, v))) return false;
            o.rxBuffer = static_cast<long>(v);
        } else if (a == "--no-data-endpoint") {
            o.noDataEndpoint = true;
        } else if (a == "--mute-replies") {
            o.muteReplies = true;
        } else if (a == "--runtime-dir" || a == "--registry" || a == "--trace" ||
                   a == "--transfer-log" || a == "--stats-file") {
            if (!needs(value != nullptr)) return false;
            (a == "--runtime-dir"    ? o.runtimeDir
             : a == "--registry"     ? o.registry
             : a == "--trace"        ? o.trace
             : a == "--transfer-log" ? o.transferLog
                                     : o.statsFile) = value;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else {
            error = "unknown option " + a + " (see --help)";
            return false;
        }
    }
    if (o.sharedBus && RealBusHost::names(o.source)) {
        // A real bus is already shared with whatever else is on it.
        error = "--shared-bus applies to the emulated buses, not to " + o.source;
        return false;
    }
    return true;
}

std::unique_ptr<BusSource> makeSource(const Options& o, std::string& error) {
    if (o.source == "demo") {
        return std::make_unique<DemoNetwork>();
    }
    if (o.source == "load") {
        return std::make_unique<FullLoadGenerator>(static_cast<std::uint8_t>(o.loadLength),
                                                   o.loadExtended, o.loadRate);
    }
    if (o.source == "none") {
        return nullptr;
    }
    if (o.source.rfind("replay:", 0) == 0) {
        const std::string path = o.source.substr(7);
        // The log is read as it plays; what it held is told once the first round is through.
        const auto report = [path](const LogReadResult& r) {
            if (!r.ok) {
                std::fprintf(stderr, "adp4021d: %s: replay stopped: %s\n", path.c_str(),
                             r.error.c_str());
                return;
            }
            std::fprintf(stderr, "adp4021d: %s: %llu frames replayed, %llu %s not usable\n",
                         path.c_str(), static_cast<unsigned long long>(r.frames),
                         static_cast<unsigned long long>(r.skippedLines()),
                         r.records ? "records" : "lines");
            for (const LogWarning& w : r.warnings) {
                std::fprintf(stderr, "adp4021d: %s:%s%llu: %s%s%s\n", path.c_str(),
                             r.records ? "record " : "", static_cast<unsigned long long>(w.line),
                             skipReasonText(w.reason, r.records),
                             w.detail.empty() ? "" : ": ", w.detail.c_str());
            }
        };
        auto replay = LogReplay::openFile(path, o.replayLoop, report, error);
        if (!replay) {
            error = "cannot read the log " + path + ": " + error;
        }
        return replay;
    }
    error = "unknown source " + o.source + " (see --help)";
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!parse(argc, argv, o, error)) {
        std::fprintf(stderr, "adp4021d: %s\n", error.c_str());
        return 2;
    }
    if (!o.runtimeDir.empty()) {
        ::setenv("KORVANE_RUNTIME_DIR", o.runtimeDir.c_str(), 1);
    }

    // Before anything is opened: a source may take its time, and the host must still stop.
    StopSignals stop;
    std::signal(SIGPIPE, SIG_IGN);

    std::FILE* traceFile = nullptr;
    if (!o.trace.empty() && (traceFile = std::fopen(o.trace.c_str(), "a")) == nullptr) {
        std::fprintf(stderr, "adp4021d: cannot write the trace file %s\n", o.trace.c_str());
        return 1;
    }
    std::mutex traceMutex;
    if (!o.quiet) {
        kernel::setDebugSink([&](const std::string& line) {
            std::lock_guard lock(traceMutex);
            std::fputs(line.c_str(), traceFile != nullptr ? traceFile : stderr);
            std::fflush(traceFile != nullptr ? traceFile : stderr);
        });
    }

    int status = 0;
    {
        DriverHost host;
        if (!host.claimRuntimeFolder(error)) {
            std::fprintf(stderr, "adp4021d: %s\n", error.c_str());
            return 1;
        }
        if (!host.loadDriver(o.registry, error)) {
            std::fprintf(stderr, "adp4021d: %s\n", error.c_str());
            return 1;
        }
        std::unique_ptr<SharedBus> sharedBus;
        if (o.sharedBus) {
            sharedBus = std::make_unique<SharedBus>(makeSource(o, error));
        }
        std::vector<std::unique_ptr<EmulatedAdapter>> adapters;
        RealBusHost realBuses(host, adapters, o.allowTestBus);
        for (int n = 0; n < o.adapters; ++n) {
            AdapterOptions options;
            options.dataEndpoint = !o.noDataEndpoint;
            options.muteReplies = o.muteReplies;
            options.receiveBufferFrames = static_cast<std::size_t>(o.rxBuffer);
            if (n == 0) options.transferLogPath = o.transferLog;
            if (RealBusHost::names(o.source)) {
                if (!realBuses.add(o.source, options, error)) {
                    std::fprintf(stderr, "adp4021d: %s\n", error.c_str());
                    return 1;
                }
                continue;
            }
            std::unique_ptr<BusSource> source =
                sharedBus ? sharedBus->join() : makeSource(o, error);
            if (!error.empty()) {
                std::fprintf(stderr, "adp4021d: %s\n", error.c_str());
                return 1;
            }
            options.overdrive = o.overdrive;
            adapters.push_back(std::make_unique<EmulatedAdapter>(std::move(source), options));
            host.plug(*adapters.back());
        }
        const auto served = host.servedInterfaces();
        std::fprintf(stderr, "adp4021d: %zu of %d adapter(s) started, serving in %s\n",
                     served.size(), o.adapters,
                     (devio::runtimeDirectory() + "/interfaces").c_str());

        const int signal = realBuses.empty() ? stop.wait() : realBuses.waitForSignal(stop);
        std::fprintf(stderr, "adp4021d: %s, unplugging\n", strsignal(signal));
        host.unplugAll();

        if (!o.statsFile.empty()) {
            std::FILE* f = std::fopen(o.statsFile.c_str(), "w");
            if (f == nullptr) {
                status = 1;
            } else {
                for (std::size_t n = 0; n < adapters.size(); ++n) {
                    const AdapterStats s = adapters[n]->stats();
                    std::fprintf(f,
                                 "adapter %zu on_bus %llu offered %llu buffered %llu lost %llu "
                                 "delivered %llu sent %llu rounds %llu skipped %llu\n",
                                 n, static_cast<unsigned long long>(s.framesOnBus),
                                 static_cast<unsigned long long>(s.framesOffered),
                                 static_cast<unsigned long long>(s.framesBuffered),
                                 static_cast<unsigned long long>(s.framesLost),
                                 static_cast<unsigned long long>(s.framesDelivered),
                                 static_cast<unsigned long long>(s.framesSent),
                                 static_cast<unsigned long long>(s.cyclicRoundsSent),
                                 static_cast<unsigned long long>(s.cyclicRoundsSkipped));
                }
                std::fclose(f);
            }
        }
    }
    stop.finished();
    kernel::setDebugSink(nullptr);
    if (traceFile != nullptr) {
        std::fclose(traceFile);
    }
    return status;
}
