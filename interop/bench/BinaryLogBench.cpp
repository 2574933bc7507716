// Import and export speed of BLF logs and pcap captures, through the frame store as the program
// does, against a peer reader of the same file in the same run:
//   binary_log_bench [FRAMES] [DIR]     (default 10000000 frames, in a new folder under /tmp)
// The peer of a BLF log is python-can's BLFReader; python-can reads no pcap, so the peer of a
// capture is tshark printing each frame's identifier. Each peer runs as a child process and is
// timed here; the ratio says how many times longer it took than Korvane's import.

#include "document/LogImport.h"
#include "document/LogTime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double cpuSeconds(int who) {
    rusage u{};
    ::getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakMegabytes() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

std::uint64_t fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

// Runs `command` through the shell, its output on ours; false when it could not run or failed.
bool runTimed(const std::string& command, Timing& t) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = cpuSeconds(RUSAGE_CHILDREN);
    const int status = std::system(command.c_str());
    t.wall = seconds(start);
    t.cpu = cpuSeconds(RUSAGE_CHILDREN) - cpu;
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;
    std::string dir;
    if (argc > 2) {
        dir = argv[2];
    } else {
        char templ[] = "/tmp/binary-log-bench-XXXXXX";
        if (::mkdtemp(templ) == nullptr) return 1;
        dir = templ;
    }
    // The same mixed traffic as log_bench: mostly standard data frames, some extended and remote.
    FrameStore store;
    std::mt19937 random(1);
    std::uint64_t t = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        CapturedFrame f;
        t += 50 + random() % 400;
        setCaptureTime(f, t);
        f.format = random() % 8 == 0;
        f.identifier = static_cast<std::uint32_t>(random()) & (f.format ? 0x1FFFFFFF : 0x7FF);
        f.status = random() % 50 == 0;
        f.length = static_cast<std::uint8_t>(random() % 9);
        for (auto& b : f.data) b = static_cast<std::uint8_t>(random());
        store.append(f);
    }
    std::printf("%llu frames, store %zu MB, peak so far %ld MB\n",
                static_cast<unsigned long long>(count), store.memoryInUse() >> 20, peakMegabytes());

    const std::string peerScript = KORVANE_PYTHON_CAN_READ;
    for (LogFormat format : {LogFormat::kBlf, LogFormat::kPcap}) {
        const bool blf = format == LogFormat::kBlf;
        const char* name = blf ? "BLF" : "pcap";
        const std::string path = dir + (blf ? "/bench.blf" : "/bench.pcap");
        LogExportOptions options;
        options.format = format;
        auto start = std::chrono::steady_clock::now();
        double cpu = cpuSeconds(RUSAGE_SELF);
        const LogExportResult written = exportLog(path, options, store, nullptr, 0, nullptr);
        double s = seconds(start);
        cpu = cpuSeconds(RUSAGE_SELF) - cpu;
        if (!written) {
            std::fprintf(stderr, "export failed: %s\n", written.error.c_str());
            return 1;
        }
        std::printf(
            "export %-4s wall %6.2f s %5.2f M frames/s | cpu %6.2f s %5.2f M frames/s | %llu MB\n",
            name, s, static_cast<double>(written.frames) / s / 1e6, cpu,
            static_cast<double>(written.frames) / cpu / 1e6,
            static_cast<unsigned long long>(fileSize(path) >> 20));

        FrameStore imported;
        start = std::chrono::steady_clock::now();
        cpu = cpuSeconds(RUSAGE_SELF);
        const LogImportResult read = importLog(path, format, imported, nullptr);
        const double importWall = seconds(start);
        const double importCpu = cpuSeconds(RUSAGE_SELF) - cpu;
        if (!read.ok() || imported.count() != count) {
            std::fprintf(stderr, "import failed\n");
            return 1;
        }
        std::printf(
            "import %-4s wall %6.2f s %5.2f M frames/s | cpu %6.2f s %5.2f M frames/s | peak %ld "
            "MB\n",
            name, importWall, static_cast<double>(count) / importWall / 1e6, importCpu,
            static_cast<double>(count) / importCpu / 1e6, peakMegabytes());
        std::fflush(stdout);

        const std::string command = blf ? "/usr/bin/python3 " + peerScript + " " + path
                                        : "tshark -r " + path +
                                              " -T fields -e can.id 2>/dev/null | wc -l | "
                                              "sed 's/^/tshark: frames printed: /'";
        Timing peer;
        if (!runTimed(command, peer)) {
            std::printf("peer %-4s could not be run (%s)\n", name,
                        blf ? "python-can missing?" : "tshark missing?");
            continue;
        }
        std::printf(
            "peer   %-4s wall %6.2f s %5.2f M frames/s | cpu %6.2f s | %.1f times "
            "Korvane's import time (cpu %.1f)\n",
            blf ? "python-can" : "tshark", peer.wall, static_cast<double>(count) / peer.wall / 1e6,
            peer.cpu, peer.wall / importWall, peer.cpu / importCpu);
        std::fflush(stdout);
    }
    std::printf("logs kept in %s\n", dir.c_str());
    return 0;
}
