// vexacap: sets up the adapter, captures and prints every frame it receives.

#include "devapi/Blocks.h"
#include "devapi/VexaApi.h"
#include "platform/devio/DeviceInterfaces.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include <stdlib.h>
#include <sys/stat.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

void usage() {
    std::puts(
        "Usage: vexacap [options]\n"
        "Captures frames from the first ADP4021 adapter and prints them, one line each.\n\n"
        "  --baud KBITS     baud rate in kbit/s (default 500)\n"
        "  --mode N         work mode 0-3 (default 0)\n"
        "  --node N         node ID 0-127 (default 0)\n"
        "  --extended       extended frames (default standard)\n"
        "  --count N        stop after N frames (default: until Ctrl+C)\n"
        "  --seconds S      stop after S seconds\n"
        "  --adapter N      capture from the adapter at position N of the found ones (default 0,\n"
        "                   the first; another program may use the first meanwhile)\n"
        "  --help           this text");
}

bool parseInt(const char* text, long low, long high, int& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

// The library always opens the first adapter it finds. To reach another one, this process gets a
// private runtime folder in which the chosen adapter's interface is the only one.
class AdapterChoice {
public:
    ~AdapterChoice() {
        if (!m_folder.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(m_folder, ec);
        }
    }
    bool choose(unsigned position) {
        const devio::DeviceInterfaceSet set(vexa::kInterfaceClass);
        std::string path;
        if (set.enumInterface(position, path) != devio::EnumStatus::kOk) return false;
        char folder[] = "/tmp/vexacap-XXXXXX";  // mkdtemp makes it 0700
        if (::mkdtemp(folder) == nullptr) return false;
        m_folder = folder;
        const std::filesystem::path interfaces =
            std::filesystem::path(m_folder) / "interfaces" / vexa::kInterfaceClass;
        std::error_code ec;
        // The library refuses a runtime folder that others could reach into, so each level is
        // private like the one mkdtemp made.
        for (const auto& level : {interfaces.parent_path(), interfaces}) {
            if (::mkdir(level.c_str(), 0700) != 0) return false;
        }
        std::filesystem::create_symlink(path, interfaces / "ADP4021Device", ec);
        if (ec) return false;
        ::setenv("KORVANE_RUNTIME_DIR", m_folder.c_str(), 1);
        return true;
    }

private:
    std::string m_folder;
};

}  // namespace

int main(int argc, char** argv) {
    int baud = 500, mode = 0, node = 0, frameType = 1, count = -1, seconds = -1, adapter = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        bool ok = true;
        if (arg == "--help") {
            usage();
            return 0;
        } else if (arg == "--extended") {
            frameType = 2;
        } else if (arg == "--baud" && hasValue) {
            ok = parseInt(argv[++i], 0, 1023, baud);
        } else if (arg == "--mode" && hasValue) {
            ok = parseInt(argv[++i], 0, 3, mode);
        } else if (arg == "--node" && hasValue) {
            ok = parseInt(argv[++i], 0, 127, node);
        } else if (arg == "--count" && hasValue) {
            ok = parseInt(argv[++i], 1, 2147483647, count);
        } else if (arg == "--seconds" && hasValue) {
            ok = parseInt(argv[++i], 1, 2147483647, seconds);
        } else if (arg == "--adapter" && hasValue) {
            ok = parseInt(argv[++i], 0, 127, adapter);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "vexacap: bad argument '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }

    AdapterChoice choice;
    if (adapter > 0 && !choice.choose(static_cast<unsigned>(adapter))) {
        std::fprintf(stderr, "vexacap: there is no adapter at position %d\n", adapter);
        return 1;
    }
    if (Vexa_INIT() != 1) {
        std::fprintf(stderr,
                     "vexacap: no ADP4021 adapter found. Is the driver host adp4021d running?\n");
        return 1;
    }
    if (SetVexa(node, baud, mode, frameType) != 1) {
        std::fprintf(stderr, "vexacap: the adapter refused the set-up\n");
        return 1;
    }
    if (RunVexa() != 1) {
        std::fprintf(stderr, "vexacap: the adapter refused to start capturing\n");
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    long printed = 0;
    while (g_stop == 0 && (count < 0 || printed < count) &&
           (seconds < 0 || std::chrono::steady_clock::now() < end)) {
        ReceivedFrame frames[VEXA_MAX_FRAMES_PER_READ];
        std::memset(frames, 0, sizeof frames);
        std::int32_t a = 0, b = 0, n = 0;
        if (RecvData(&a, &b, &n, frames) != 1) {
            std::fprintf(stderr, "vexacap: the data read failed; the adapter is gone\n");
            return 1;
        }
        for (std::int32_t i = 0; i < n && (count < 0 || printed < count); ++i, ++printed) {
            const ReceivedFrame& f = frames[i];
            std::printf("%02u-%02u-%03u-%03u  %3u%%  %s  %08X  %s  %u ", f.minutes, f.seconds,
                        f.millis, f.micros, f.loading, f.format == 1 ? "Extended" : "Standard",
                        f.identifier, f.status == 1 ? "Remote" : "Data  ", f.length);
            for (unsigned k = 0; k < f.length && k < 8; ++k) {
                std::printf(" %02X", f.data[k]);
            }
            std::putchar('\n');
        }
        std::fflush(stdout);
        if (n < VEXA_MAX_FRAMES_PER_READ) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    StopVexa();
    return 0;
}
