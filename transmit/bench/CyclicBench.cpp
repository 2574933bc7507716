// cyclic_bench: the emulated adapter's cyclic set through the real driver host.
//
//   memory: 8 frames of 8 bytes every 1 ms at 10 kbit/s (far more than the bus carries) for 60 s;
//           the host's resident memory is sampled every 5 s and must stay flat.
//   period: a set repeated every N ms on a shared bus, captured by vexacap on the second adapter
//           for 10 s; the period between rounds as the receiver time-stamps them, against N.
//
// Usage: cyclic_bench [memory-seconds [period-seconds]]   (defaults 60 and 10)

#include "devapi/VexaApi.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t onlyChild() {
    std::ifstream children("/proc/self/task/" + std::to_string(getpid()) + "/children");
    pid_t pid = 0;
    children >> pid;
    return pid;
}

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<TxMessage> set(int count, int length) {
    std::vector<TxMessage> messages(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        TxMessage& m = messages[static_cast<std::size_t>(i)];
        m.identifier = 0x100u + static_cast<std::uint32_t>(i);
        m.length = static_cast<std::uint8_t>(length);
        for (int b = 0; b < length; ++b) m.data[b] = 0x55;
    }
    return messages;
}

bool memoryRun(int seconds) {
    TempRuntimeDir dir;
    const std::string stats = dir.path() + "/stats.txt";
    HostProcess host(ADP4021D_PATH, dir.path(),
                     {"--quiet", "--source", "none", "--stats-file", stats});
    const auto messages = set(8, 8);
    if (!host.ready() || Vexa_INIT() != 1 || SetVexa(0, 10, 0, 1) != 1 ||
        SetMultiData(messages.data(), 8, 1, 0) != 1) {
        std::fprintf(stderr, "cyclic_bench: the host did not come up\n");
        return false;
    }
    const pid_t pid = onlyChild();
    std::printf("memory: 8 frames x 8 bytes every 1 ms at 10 kbit/s, cycle 0 (until stopped)\n");
    std::printf("  %6s  %12s\n", "s", "host RSS kB");
    const long before = residentKb(pid);
    std::printf("  %6d  %12ld  (before Run)\n", 0, before);
    RunMultiData();
    long first = -1, last = -1, peak = 0;
    for (int t = 5; t <= seconds; t += 5) {
        std::this_thread::sleep_for(std::chrono::seconds(std::min(5, seconds)));
        last = residentKb(pid);
        if (first < 0) first = last;
        peak = std::max(peak, last);
        std::printf("  %6d  %12ld\n", t, last);
        std::fflush(stdout);
    }
    StopMultiData();
    host.stop();
    std::istringstream in(readFile(stats));
    std::string word;
    unsigned long long sent = 0, rounds = 0, skipped = 0;
    while (in >> word) {
        if (word == "sent") in >> sent;
        if (word == "rounds") in >> rounds;
        if (word == "skipped") in >> skipped;
    }
    std::printf("  growth from 5 s to the end: %+ld kB (peak %ld kB)\n", last - first, peak);
    std::printf("  frames sent %llu, rounds sent %llu, rounds skipped %llu (%.1f%% of %llu due)\n",
                sent, rounds, skipped,
                rounds + skipped > 0
                    ? 100.0 * static_cast<double>(skipped) / static_cast<double>(rounds + skipped)
                    : 0.0,
                rounds + skipped);
    return true;
}

bool periodRun(int intervalMs, int frames, int length, int seconds) {
    TempRuntimeDir dir;
    const std::string output = dir.path() + "/captured.txt";
    HostProcess host(ADP4021D_PATH, dir.path(),
                     {"--quiet", "--source", "none", "--adapters", "2", "--shared-bus"}, 2);
    if (!host.ready() || Vexa_INIT() != 1 || SetVexa(0, 500, 0, 1) != 1) {
        std::fprintf(stderr, "cyclic_bench: the host did not come up\n");
        return false;
    }
    const pid_t capture = ::fork();
    if (capture == 0) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::execl(VEXACAP_PATH, VEXACAP_PATH, "--adapter", "1", "--baud", "500", nullptr);
        ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto messages = set(frames, length);
    SetMultiData(messages.data(), frames, intervalMs, 0);
    RunMultiData();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    StopMultiData();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(capture, SIGTERM);
    ::waitpid(capture, nullptr, 0);
    host.stop();

    // Receive times of each round's first frame.
    std::vector<double> starts;
    std::istringstream lines(readFile(output));
    for (std::string line; std::getline(lines, line);) {
        unsigned m = 0, s = 0, ms = 0, us = 0, id = 0;
        char kind[16] = {};
        if (std::sscanf(line.c_str(), "%u-%u-%u-%u %*s %15s %X", &m, &s, &ms, &us, kind, &id) !=
            6) {
            continue;
        }
        if (id == 0x100) starts.push_back(((m * 60.0 + s) * 1000.0 + ms) * 1000.0 + us);
    }
    if (starts.size() < 3) {
        std::printf("period %3d ms: only %zu rounds captured\n", intervalMs, starts.size());
        return false;
    }
    std::vector<double> periods;
    for (std::size_t i = 1; i < starts.size(); ++i) periods.push_back(starts[i] - starts[i - 1]);
    double sum = 0;
    for (double p : periods) sum += p;
    const double mean = sum / static_cast<double>(periods.size());
    double square = 0;
    for (double p : periods) square += (p - mean) * (p - mean);
    const auto [low, high] = std::minmax_element(periods.begin(), periods.end());
    std::printf(
        "period: %d ms configured, %d frames x %d bytes at 500 kbit/s, %d s: %zu rounds received "
        "(%d due)\n  mean %.4f ms (%+.3f%%), stddev %.3f ms, min %.3f ms, max %.3f ms\n",
        intervalMs, frames, length, seconds, starts.size(), seconds * 1000 / intervalMs,
        mean / 1000, (mean / 1000 - intervalMs) * 100 / intervalMs,
        std::sqrt(square / static_cast<double>(periods.size())) / 1000, *low / 1000, *high / 1000);
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int memorySeconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    const int periodSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    std::printf("cyclic_bench (timings on a shared, busy machine are noisy)\n");
    bool ok = memoryRun(memorySeconds);
    ok = periodRun(10, 8, 8, periodSeconds) && ok;
    ok = periodRun(1, 2, 8, periodSeconds) && ok;
    ok = periodRun(100, 1, 0, periodSeconds) && ok;
    return ok ? 0 : 1;
}
