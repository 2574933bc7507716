// Text export of a million rows in each reading: rows/s and the peak memory the export adds.
//
//   export_bench [rows]

#include "views/TextExport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

long kb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
    }
    return 0;
}

struct CountingProgress final : Progress {
    void begin(std::uint32_t) override {}
    void setPercent(int) override { ++updates; }
    void end() override {}
    int updates = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const std::uint32_t rows =
        argc > 1 ? static_cast<std::uint32_t>(std::atol(argv[1])) : 1'000'000;
    FrameStore store;
    FilterState filter;
    ApplicationFlags flags;
    for (std::uint32_t i = 0; i < rows; ++i) {
        CapturedFrame f;
        f.identifier = i % 3 == 0 ? 0x18FF0000 + i : i % 0x800;
        f.format = i % 3 == 0 ? 1 : 0;
        f.length = static_cast<std::uint8_t>(i % 9);
        f.status = i % 50 == 0 ? 1 : 0;
        f.millis = i % 1000;
        store.append(f);
    }
    FilterStep(filter, store, flags);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("export-bench-" + std::to_string(::getpid()) + ".txt"))
                                 .string();
    const char* names[] = {"CAN", "DeviceNet", "CANopen"};
    for (int reading = 0; reading < 3; ++reading) {
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = kb("VmRSS:");
        CountingProgress progress;
        const auto t0 = std::chrono::steady_clock::now();
        const ExportResult r = exportText(path, static_cast<ProtocolReading>(reading),
                                          filter.displayIndexList, store, 0, &progress);
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!r.ok()) {
            std::fprintf(stderr, "export_bench: %s\n", r.detail.c_str());
            return 1;
        }
        std::printf(
            "export %u rows, %s: %.3f s, %.2f M rows/s, %.0f MB written, %d progress "
            "updates, peak memory +%ld kB\n",
            rows, names[reading], s, rows / s / 1e6,
            static_cast<double>(std::filesystem::file_size(path)) / 1e6, progress.updates,
            kb("VmHWM:") - before);
    }
    std::filesystem::remove(path);
    return 0;
}
