// Save and load of a 10-million-frame document: frames/s, MB/s of frame records, and the peak
// memory each step adds.
//
//   document_bench [frames] [folder]

#include "document/DocumentFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

// A memory figure of this process in kB: "VmHWM:" (the peak since the last reset) or "VmRSS:".
long statusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
    }
    return 0;
}

long peakKb() { return statusKb("VmHWM:"); }
long residentKb() { return statusKb("VmRSS:"); }

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint32_t count =
        argc > 1 ? static_cast<std::uint32_t>(std::atol(argv[1])) : 10'000'000;
    const std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    const std::string path = folder + "/document-bench-" + std::to_string(::getpid()) + ".krv";
    DocumentContents contents;
    {
        FrameStore store;
        for (std::uint32_t i = 0; i < count; ++i) {
            CapturedFrame f;
            f.identifier = i;
            f.length = 8;
            f.millis = i % 1000;
            store.append(f);
        }
        resetPeak();
        const long before = residentKb();
        const auto t0 = std::chrono::steady_clock::now();
        const FileResult saved = saveDocument(path, contents, store, store.count(), nullptr);
        const double s = seconds(t0);
        if (!saved.ok) {
            std::fprintf(stderr, "document_bench: %s\n", saved.error.c_str());
            return 1;
        }
        const double mb = static_cast<double>(count) * kFrameRecordBytes / 1e6;
        std::printf(
            "save %u frames: %.2f s, %.1f M frames/s, %.0f MB/s of frame records "
            "(with fsync), peak memory +%ld MB\n",
            count, s, count / s / 1e6, mb / s, (peakKb() - before) / 1024);
    }
    {
        resetPeak();
        const long before = residentKb();
        FrameStore frames;
        const auto t0 = std::chrono::steady_clock::now();
        const FileResult loaded = loadDocument(path, contents, frames, nullptr);
        const double s = seconds(t0);
        if (!loaded.ok || frames.count() != count) {
            std::fprintf(stderr, "document_bench: %s\n", loaded.error.c_str());
            return 1;
        }
        const double mb = static_cast<double>(count) * kFrameRecordBytes / 1e6;
        std::printf(
            "load %u frames: %.2f s, %.1f M frames/s, %.0f MB/s of frame records, "
            "peak memory +%ld MB (the store itself: %zu MB)\n",
            count, s, count / s / 1e6, mb / s, (peakKb() - before) / 1024,
            frames.memoryInUse() >> 20);
    }
    std::filesystem::remove(path);
    return 0;
}
