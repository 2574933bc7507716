// A real bus at a steady rate, all the way to the frame store: this program puts numbered frames
// on Qt's virtual CAN bus (run in a process of its own), the driver host's adapter sits on that
// bus, and the program's capture path (VexaApi, the 1 ms capture poll, FrameStore) takes them in.
// It prints the frames offered and stored, any missing, duplicated or out of order, the adapter's
// own counters, and the CPU each process used.
//
//   realbus_throughput_bench [--rate FRAMES_PER_SECOND] [--seconds S]

#include "capture/CapturePoll.h"
#include "platform/MultimediaTimer.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"
#include "tests/support/VirtualCanHub.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double processCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) return 0;
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

// Our children: the bus and the driver host, by their program names.
pid_t childNamed(const std::string& name) {
    std::ifstream children("/proc/self/task/" + std::to_string(getpid()) + "/children");
    pid_t pid = 0;
    while (children >> pid) {
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string c;
        comm >> c;
        if (name.rfind(c, 0) == 0) return pid;
    }
    return 0;
}

QCanBusFrame numbered(std::uint32_t n) {
    QByteArray data(8, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(n >> (8 * i));
    return QCanBusFrame(0x100 + n % 0x400, data);
}

std::uint32_t numberOf(const CapturedFrame& f) {
    return std::uint32_t{f.data[0]} | std::uint32_t{f.data[1]} << 8 |
           std::uint32_t{f.data[2]} << 16 | std::uint32_t{f.data[3]} << 24;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    double rate = 20000;
    double seconds = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : "0";
        if (a == "--rate") {
            rate = std::atof(v), ++i;
        } else if (a == "--seconds") {
            seconds = std::atof(v), ++i;
        } else {
            std::fputs("usage: realbus_throughput_bench [--rate R] [--seconds S]\n", stderr);
            return 2;
        }
    }
    if (rate <= 0 || seconds <= 0) return 2;

    TempRuntimeDir dir;
    VirtualCanHub hub;
    if (!hub.start()) {
        std::fputs("realbus_throughput_bench: the virtual bus did not come up\n", stderr);
        return 1;
    }
    const std::string stats = dir.path() + "/stats.txt";
    HostProcess host(ADP4021D_PATH, dir.path(),
                     {"--quiet", "--unauthenticated-test-bus", "--source",
                      "canbus:virtualcan:" + hub.interfaceName(), "--stats-file", stats});
    std::unique_ptr<QCanBusDevice> sender(QCanBus::instance()->createDevice(
        QStringLiteral("virtualcan"), QString::fromStdString(hub.interfaceName())));
    if (!host.ready() || !sender || !sender->connectDevice() || Vexa_INIT() != 1 ||
        SetVexa(0, 1000, 0, 1) != 1) {
        std::fputs("realbus_throughput_bench: the driver host did not come up\n", stderr);
        return 1;
    }
    while (sender->state() != QCanBusDevice::ConnectedState) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    FrameStore store;
    CaptureState state;
    ApplicationFlags flags;
    VexaLibraryDevice device;
    CapturePoll poll(device, store, state, flags);
    platform::MultimediaTimer timer;
    state.capturing = 1;
    timer.start(std::chrono::milliseconds(1), [&] { poll.tick(); });
    RunVexa();

    const pid_t hostPid = childNamed("adp4021d");
    const pid_t hubPid = childNamed("virtualcan_hub");
    const double hostCpu0 = processCpuSeconds(hostPid), hubCpu0 = processCpuSeconds(hubPid);
    const double selfCpu0 = selfCpuSeconds();
    const auto total = static_cast<std::uint64_t>(rate * seconds);
    const auto t0 = Clock::now();
    std::uint64_t offered = 0;
    std::uint64_t behindMax = 0;
    while (offered < total) {
        // Every frame due by now goes out; the sender keeps to the rate on average.
        const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
        const auto due = std::min<std::uint64_t>(total, static_cast<std::uint64_t>(elapsed * rate));
        behindMax = std::max(behindMax, due - std::min(due, offered));
        while (offered < due) {
            sender->writeFrame(numbered(static_cast<std::uint32_t>(offered)));
            ++offered;
        }
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double sendSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
    while (sender->framesToWrite() > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    // What is on its way is drained by the poll.
    const auto drainUntil = Clock::now() + std::chrono::seconds(5);
    while (store.count() < total && Clock::now() < drainUntil) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double hostCpu = processCpuSeconds(hostPid) - hostCpu0;
    const double hubCpu = processCpuSeconds(hubPid) - hubCpu0;
    const double selfCpu = selfCpuSeconds() - selfCpu0;
    StopVexa();
    timer.stop();

    std::uint64_t outOfOrder = 0, duplicated = 0;
    std::uint32_t expected = 0;
    for (std::uint32_t i = 0; i < store.count(); ++i) {
        const std::uint32_t n = numberOf(store.at(i));
        if (n < expected) {
            ++duplicated;
        } else if (n > expected) {
            ++outOfOrder;  // a gap: frames before it are missing
        }
        expected = std::max(expected, n + 1);
    }
    host.stop();
    std::ifstream in(stats);
    std::string word;
    unsigned long long index = 0, onBus = 0, adapterOffered = 0, buffered = 0, lost = 0,
                       delivered = 0, sent = 0;
    in >> word >> index >> word >> onBus >> word >> adapterOffered >> word >> buffered >> word >>
        lost >> word >> delivered >> word >> sent;

    const std::uint64_t stored = store.count();
    std::printf(
        "virtual CAN bus, 8-byte standard frames at %.0f frames/s for %.1f s (sent in %.1f s, "
        "sender at most %llu frames behind)\n"
        "  offered %llu, stored %llu, missing %lld, gaps %llu, repeated %llu\n"
        "  adapter: carried %llu, buffered %llu, lost to a full buffer %llu, delivered %llu\n"
        "  CPU of one core over %.1f s: driver host %.1f%%, bus process %.1f%%, "
        "sender and capture poll %.1f%%\n",
        rate, seconds, sendSeconds, static_cast<unsigned long long>(behindMax),
        static_cast<unsigned long long>(total), static_cast<unsigned long long>(stored),
        static_cast<long long>(total) - static_cast<long long>(stored),
        static_cast<unsigned long long>(outOfOrder), static_cast<unsigned long long>(duplicated),
        onBus, buffered, lost, delivered, wall, 100 * hostCpu / wall, 100 * hubCpu / wall,
        100 * selfCpu / wall);
    return stored == total && outOfOrder == 0 && duplicated == 0 ? 0 : 3;
}
