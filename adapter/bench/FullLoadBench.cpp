// Zero loss at full bus load: the driver host's load generator against the program's capture
// poll (VexaApi, 1 ms timer, FrameStore), counting frames put on the bus against frames that
// reach the store, and the CPU each side uses.
//
//   full_load_bench [--seconds S] [--length N] [--extended] [--rate R --overdrive]
//                   [--sweep R1,R2,...]

#include "capture/CapturePoll.h"
#include "platform/MultimediaTimer.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Run {
    double seconds = 60;
    int length = 8;
    bool extended = false;
    double rate = 0;
    bool overdrive = false;
};

struct Result {
    std::uint64_t offered = 0, buffered = 0, lost = 0, delivered = 0, stored = 0;
    double hostCpu = 0, pollCpu = 0, seconds = 0;
};

double processCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double selfCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool measure(const Run& run, Result& r) {
    TempRuntimeDir dir;
    const std::string stats = dir.path() + "/stats.txt";
    std::vector<std::string> args = {
        "--quiet",      "--source", "load", "--load-length", std::to_string(run.length),
        "--stats-file", stats};
    if (run.extended) args.push_back("--load-extended");
    if (run.rate > 0) args.insert(args.end(), {"--load-rate", std::to_string(run.rate)});
    if (run.overdrive) args.push_back("--overdrive");
    HostProcess host(ADP4021D_PATH, dir.path(), args);
    if (!host.ready() || Vexa_INIT() != 1 || SetVexa(0, 1000, 0, run.extended ? 2 : 1) != 1) {
        std::fprintf(stderr, "full_load_bench: the host did not come up\n");
        return false;
    }
    FrameStore store;
    CaptureState state;
    ApplicationFlags flags;
    VexaLibraryDevice device;
    CapturePoll poll(device, store, state, flags);
    platform::MultimediaTimer timer;
    state.capturing = 1;
    timer.start(std::chrono::milliseconds(1), [&] { poll.tick(); });

    const pid_t hostPid = [&] {
        // The host is our only child.
        std::ifstream children("/proc/self/task/" + std::to_string(getpid()) + "/children");
        pid_t pid = 0;
        children >> pid;
        return pid;
    }();
    const double hostCpu0 = processCpuSeconds(hostPid);
    const double selfCpu0 = selfCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    RunVexa();
    std::this_thread::sleep_for(std::chrono::duration<double>(run.seconds));
    StopVexa();
    // What the adapter still holds is drained by the poll.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.hostCpu = processCpuSeconds(hostPid) - hostCpu0;
    r.pollCpu = selfCpuSeconds() - selfCpu0;
    timer.stop();
    r.stored = store.count();
    host.stop();

    std::ifstream in(stats);
    std::string word;
    unsigned long long onBus = 0, sent = 0, index = 0;
    in >> word >> index >> word >> onBus >> word >> r.offered >> word >> r.buffered >> word >>
        r.lost >> word >> r.delivered >> word >> sent;
    return static_cast<bool>(in);
}

void report(const Run& run, const Result& r) {
    std::printf(
        "%s %d-byte frames%s, %.1f s: offered %llu (%.0f frames/s), stored %llu, lost in adapter "
        "%llu, missing %lld; CPU host %.1f%%, poll %.1f%% of one core\n",
        run.extended ? "extended" : "standard", run.length, run.overdrive ? " (overdrive)" : "",
        r.seconds, static_cast<unsigned long long>(r.offered),
        static_cast<double>(r.offered) / r.seconds, static_cast<unsigned long long>(r.stored),
        static_cast<unsigned long long>(r.lost),
        static_cast<long long>(r.offered) - static_cast<long long>(r.stored),
        100 * r.hostCpu / r.seconds, 100 * r.pollCpu / r.seconds);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Run run;
    std::vector<double> sweep;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--seconds")
            run.seconds = std::atof(v), ++i;
        else if (a == "--length")
            run.length = std::atoi(v), ++i;
        else if (a == "--extended")
            run.extended = true;
        else if (a == "--rate")
            run.rate = std::atof(v), ++i;
        else if (a == "--overdrive")
            run.overdrive = true;
        else if (a == "--sweep") {
            std::stringstream s(v);
            std::string item;
            while (std::getline(s, item, ',')) sweep.push_back(std::atof(item.c_str()));
            ++i;
        } else {
            std::fprintf(stderr,
                         "usage: full_load_bench [--seconds S] [--length N] [--extended] "
                         "[--rate R] [--overdrive] [--sweep R1,R2,...]\n");
            return 2;
        }
    }
    if (sweep.empty()) {
        Result r;
        if (!measure(run, r)) return 1;
        report(run, r);
        return r.lost == 0 && r.stored == r.offered ? 0 : 3;
    }
    for (double rate : sweep) {
        Run each = run;
        each.rate = rate;
        each.overdrive = true;
        Result r;
        if (!measure(each, r)) return 1;
        std::printf("rate %.0f/s: ", rate);
        report(each, r);
    }
    return 0;
}
