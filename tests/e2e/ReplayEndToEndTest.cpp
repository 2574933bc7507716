// A replay sent through VexaApi by the first adapter and captured by the second on a shared bus.

#include "capture/VexaDevice.h"
#include "overview/LogReplaySource.h"
#include "overview/ReplaySender.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// vexacap on the adapter at `position`, its lines going to `output`.
class Capture {
public:
    Capture(unsigned position, const std::string& output) {
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || ::dup2(fd, 1) < 0) ::_exit(126);
            const std::string at = std::to_string(position);
            ::execl(VEXACAP_PATH, VEXACAP_PATH, "--adapter", at.c_str(), "--baud", "500",
                    "--seconds", "60", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Capture() { stop(); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    // Its exit status after SIGTERM.
    int stop() {
        if (m_pid <= 0) return -1;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
};

struct Captured {
    std::uint64_t us;
    std::uint32_t identifier;
    unsigned counter;
};

// vexacap's lines "mm-ss-mmm-uuu  ll%  Standard  00000100  Data    2  0A 00" of the identifiers
// 0x100 to 0x102.
std::vector<Captured> replayedFrames(const std::string& text) {
    std::vector<Captured> frames;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned m = 0, s = 0, ms = 0, us = 0, loading = 0, length = 0, lo = 0, hi = 0;
        std::uint32_t id = 0;
        char format[16] = {}, kind[16] = {};
        if (std::sscanf(line.c_str(), "%u-%u-%u-%u %u%% %15s %X %15s %u %X %X", &m, &s, &ms, &us,
                        &loading, format, &id, kind, &length, &lo, &hi) != 11 ||
            id < 0x100 || id > 0x102) {
            continue;
        }
        frames.push_back({((std::uint64_t{m} * 60 + s) * 1000 + ms) * 1000 + us, id, lo | hi << 8});
    }
    return frames;
}

// Two adapters on one quiet bus at 500 kbit/s: the test sends through the library on the first,
// vexacap captures on the second.
class ReplayEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.ready());
        ASSERT_EQ(Vexa_INIT(), 1);
        ASSERT_EQ(SetVexa(0, 500, 0, 1), 1);
        m_capture = std::make_unique<Capture>(1, m_output);
        // The receiver is listening once a frame sent now reaches it.
        TxMessage probe{};
        probe.identifier = 0x7F0;
        bool listening = false;
        for (int i = 0; i < 250 && !listening; ++i) {
            (void)SendSingleData(probe);
            std::this_thread::sleep_for(20ms);
            listening = readFile(m_output).find("000007F0") != std::string::npos;
        }
        ASSERT_TRUE(listening) << "the second adapter never heard the first";
    }

    // A candump log of `n` frames `periodUs` apart, identifiers 0x100 to 0x102 in turn, each
    // carrying its number in two bytes.
    std::string writeLog(unsigned n, unsigned periodUs) const {
        std::string log = m_dir.path() + "/bench.log";
        std::ofstream out(log);
        for (unsigned i = 0; i < n; ++i) {
            const std::uint64_t us = 10'000'000 + std::uint64_t{i} * periodUs;
            char line[64];
            std::snprintf(line, sizeof line, "(%u.%06u) can0 %03X#%02X%02X\n",
                          static_cast<unsigned>(us / 1'000'000),
                          static_cast<unsigned>(us % 1'000'000), 0x100 + i % 3, i & 0xFF, i >> 8);
            out << line;
        }
        return log;
    }

    // The replayed frames the second adapter captured, once there are `n` (or after 2 s).
    std::vector<Captured> captured(unsigned n) {
        std::vector<Captured> frames;
        for (int i = 0; i < 100 && frames.size() < n; ++i) {
            std::this_thread::sleep_for(20ms);
            frames = replayedFrames(readFile(m_output));
        }
        EXPECT_EQ(m_capture->stop(), 0);
        return frames;
    }

    TempRuntimeDir m_dir;
    HostProcess m_host{ADP4021D_PATH,
                       m_dir.path(),
                       {"--quiet", "--adapters", "2", "--shared-bus", "--source", "none"},
                       2};
    const std::string m_output = m_dir.path() + "/captured.txt";
    std::unique_ptr<Capture> m_capture;
};

}  // namespace

TEST_F(ReplayEndToEnd, AReplayCapturedOnASharedBusKeepsEveryFrameInOrderAndItsPeriods) {
    // 200 frames 20 ms apart on the log's clock, played at x2.
    constexpr unsigned kFrames = 200;
    const std::string log = writeLog(kFrames, 20'000);
    auto source = std::make_unique<LogReplaySource>(log, LogFormat::kCandump);
    ASSERT_TRUE(source->open());
    VexaLibraryDevice device;
    ReplaySender sender(device, std::move(source), {2.0, false, false}, {500});
    ASSERT_TRUE(sender.start());
    sender.wait();
    const ReplayProgress p = sender.progress();
    EXPECT_EQ(p.state, ReplayProgress::State::kFinished) << p.error;
    EXPECT_EQ(p.sent, kFrames);
    EXPECT_EQ(p.notSent(), 0u);

    const std::vector<Captured> frames = captured(kFrames);
    ASSERT_EQ(frames.size(), kFrames);
    for (unsigned i = 0; i < kFrames; ++i) {
        ASSERT_EQ(frames[i].counter, i) << "frame " << i << " out of order";
        ASSERT_EQ(frames[i].identifier, 0x100 + i % 3);
    }
    // A machine busy with other work wakes the replay's thread, or the host's, late now and then,
    // and that frame goes out late: one period grows and the next shrinks. Most periods are not
    // disturbed, so their median keeps the log's pace and nearly all lie within a millisecond
    // of it.
    std::vector<std::int64_t> periods;
    for (unsigned i = 1; i < kFrames; ++i) {
        periods.push_back(static_cast<std::int64_t>(frames[i].us - frames[i - 1].us));
    }
    std::vector<std::int64_t> sorted = periods;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const std::int64_t median = sorted[sorted.size() / 2];
    EXPECT_NEAR(static_cast<double>(median), 10'000.0, 200.0) << "20 ms at x2";
    const auto within = std::count_if(periods.begin(), periods.end(), [median](std::int64_t p) {
        return std::abs(p - median) <= 1'000;
    });
    EXPECT_GE(within * 10, static_cast<std::ptrdiff_t>(periods.size()) * 8)
        << within << " of " << periods.size() << " periods within 1 ms of the median";
}

TEST_F(ReplayEndToEnd, AsFastAsTheBusTakesSendsEveryFrameInOrder) {
    constexpr unsigned kFrames = 1'000;
    auto source = std::make_unique<LogReplaySource>(writeLog(kFrames, 1'000), LogFormat::kCandump);
    ASSERT_TRUE(source->open());
    VexaLibraryDevice device;
    ReplaySender sender(device, std::move(source), {1.0, true, false}, {500});
    sender.run();
    const ReplayProgress p = sender.progress();
    EXPECT_EQ(p.state, ReplayProgress::State::kFinished) << p.error;
    EXPECT_EQ(p.sent, kFrames);
    EXPECT_EQ(p.notSent(), 0u);
    const std::vector<Captured> frames = captured(kFrames);
    ASSERT_EQ(frames.size(), kFrames);
    // Whether the FIFO filled and how densely the frames followed each other depend on how fast
    // this machine lets the sender run; what may not depend on it is that every frame arrives in
    // order.
    for (unsigned i = 0; i < kFrames; ++i) ASSERT_EQ(frames[i].counter, i);
}
