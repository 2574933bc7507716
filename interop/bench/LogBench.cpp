// Import and export speed of candump and ASC logs, through the frame store as the program does:
//   log_bench [FRAMES] [DIR]     (default 10000000 frames, in a new folder under /tmp)
// Prints frames per second for each step and the process's peak memory. The candump log it
// writes is kept so that other readers can be timed on the same file.

#include "document/LogImport.h"
#include "document/LogTime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// CPU time of the process (user and system): the machine is shared, so wall time says less.
double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
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

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;
    std::string dir;
    if (argc > 2) {
        dir = argv[2];
    } else {
        char templ[] = "/tmp/log-bench-XXXXXX";
        if (::mkdtemp(templ) == nullptr) return 1;
        dir = templ;
    }
    // A capture of mixed traffic: mostly standard data frames, some extended and remote ones.
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

    for (LogFormat format : {LogFormat::kCandump, LogFormat::kAsc}) {
        const char* name = format == LogFormat::kAsc ? "ASC" : "candump";
        const std::string path = dir + (format == LogFormat::kAsc ? "/bench.asc" : "/bench.log");
        LogExportOptions options;
        options.format = format;
        auto start = std::chrono::steady_clock::now();
        double cpu = cpuSeconds();
        const LogExportResult written = exportLog(path, options, store, nullptr, 0, nullptr);
        double s = seconds(start);
        cpu = cpuSeconds() - cpu;
        if (!written) {
            std::fprintf(stderr, "export failed: %s\n", written.error.c_str());
            return 1;
        }
        std::printf(
            "export %-7s wall %6.2f s %5.2f M frames/s | cpu %6.2f s %5.2f M frames/s | %llu MB\n",
            name, s, static_cast<double>(written.frames) / s / 1e6, cpu,
            static_cast<double>(written.frames) / cpu / 1e6,
            static_cast<unsigned long long>(fileSize(path) >> 20));

        FrameStore imported;
        start = std::chrono::steady_clock::now();
        cpu = cpuSeconds();
        const LogImportResult read = importLog(path, format, imported, nullptr);
        s = seconds(start);
        cpu = cpuSeconds() - cpu;
        if (!read.ok() || imported.count() != count) {
            std::fprintf(stderr, "import failed\n");
            return 1;
        }
        std::printf(
            "import %-7s wall %6.2f s %5.2f M frames/s | cpu %6.2f s %5.2f M frames/s | peak %ld "
            "MB\n",
            name, s, static_cast<double>(count) / s / 1e6, cpu,
            static_cast<double>(count) / cpu / 1e6, peakMegabytes());
    }
    std::printf("logs kept in %s\n", dir.c_str());
    return 0;
}
