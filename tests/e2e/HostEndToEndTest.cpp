// VexaApi -> adp4021d -> driver -> emulated adapter, across the real process boundary.

#include "devapi/VexaApi.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/stat.h>
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

// The hexadecimal bytes of a 64-byte block as the transfer log writes them.
std::string logged(std::vector<std::uint8_t> bytes) {
    bytes.resize(64, 0);
    std::string out = "EP 0x01 OUT   64:";
    char hex[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        out += hex;
    }
    return out;
}

class HostEndToEnd : public ::testing::Test {
protected:
    std::string file(const char* name) const { return m_dir.path() + "/" + name; }
    TempRuntimeDir m_dir;
};

int captureFrames(ReceivedFrame* out, int wanted, std::chrono::milliseconds within) {
    int total = 0;
    const auto end = std::chrono::steady_clock::now() + within;
    while (total < wanted && std::chrono::steady_clock::now() < end) {
        ReceivedFrame batch[18];
        std::memset(batch, 0, sizeof batch);
        std::int32_t a = 0, b = 0, n = 0;
        if (RecvData(&a, &b, &n, batch) != 1) {
            return -1;
        }
        for (int i = 0; i < n && total < wanted; ++i) {
            out[total++] = batch[i];
        }
        std::this_thread::sleep_for(1ms);
    }
    return total;
}

}  // namespace

TEST_F(HostEndToEnd, CapturesTheDemoNetworkAndSendsExactBlocks) {
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--quiet", "--transfer-log", file("transfers.log")});
    ASSERT_TRUE(host.ready());
    ASSERT_EQ(Vexa_INIT(), 1);
    ASSERT_EQ(SetVexa(3, 500, 0, 1), 1);
    ASSERT_EQ(RunVexa(), 1);

    std::int32_t status = 0, mode = 7, node = 0, baud = 0, version = 0;
    ASSERT_EQ(GetVexaInfo(&status, &mode, &node, &baud, &version), 1);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(node, 3);
    EXPECT_EQ(baud, 500);
    EXPECT_EQ(version, 0x0105);

    ReceivedFrame frames[200];
    ASSERT_EQ(captureFrames(frames, 200, 5s), 200);
    bool sync = false, extended = false, pdo = false;
    for (const auto& f : frames) {
        sync |= f.identifier == 0x080 && f.length == 0 && f.format == 0;
        extended |= f.format == 1 && f.identifier == 0x18FF1021;
        pdo |= f.identifier == 0x185 && f.length == 8;
        EXPECT_LE(f.length, 8);
        EXPECT_LE(f.minutes, 69u);
    }
    EXPECT_TRUE(sync);
    EXPECT_TRUE(extended);
    EXPECT_TRUE(pdo);

    TxMessage single{};
    single.identifier = 0x123;
    single.length = 2;
    single.data[0] = 0xDE;
    single.data[1] = 0xAD;
    ASSERT_EQ(SendSingleData(single), 1);
    TxMessage set[5] = {};
    for (int i = 0; i < 5; ++i) {
        set[i].identifier = 0x300u + static_cast<std::uint32_t>(i);
        set[i].length = 1;
        set[i].data[0] = static_cast<std::uint8_t>(i);
    }
    set[4].format = 1;
    set[4].identifier = 0x1FFFFFFF;
    ASSERT_EQ(SetMultiData(set, 5, 100, 2), 1);
    ASSERT_EQ(StopVexa(), 1);

    const std::string log = readFile(file("transfers.log"));
    EXPECT_NE(log.find(logged({0x02, 8, 0x00, 0x02, 0x01, 0x23, 0, 0, 0xDE, 0xAD})),
              std::string::npos);
    std::vector<std::uint8_t> packet0 = {0x02, 0x39, 0x01, 0x00, 0x0F};
    for (int i = 0; i < 4; ++i) {
        const std::vector<std::uint8_t> item = {1, 0x03, static_cast<std::uint8_t>(i),
                                                0, 0,    static_cast<std::uint8_t>(i),
                                                0, 0,    0,
                                                0, 0,    0,
                                                0, 0};
        packet0.insert(packet0.end(), item.begin(), item.end());
    }
    packet0.push_back(100);
    packet0.push_back(2);
    EXPECT_NE(log.find(logged(packet0)), std::string::npos);
    EXPECT_NE(log.find(logged({0x02, 0x39, 0x01, 0x01, 0x01, 0x81, 0x1F, 0xFF, 0xFF, 0xFF, 4})),
              std::string::npos);
    EXPECT_EQ(host.stop(), 0);
}

TEST_F(HostEndToEnd, ASecondAdapterIsNamedWithUnitOne) {
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--adapters", "2"}, 2);
    ASSERT_TRUE(host.ready());
    EXPECT_TRUE(std::filesystem::exists(m_dir.interfacePath("ADP4021Device0")));
    EXPECT_TRUE(std::filesystem::exists(m_dir.interfacePath("ADP4021Device1")));
    EXPECT_EQ(Vexa_INIT(), 1);
    EXPECT_EQ(RunVexa(), 1);
}

TEST_F(HostEndToEnd, AnAdapterThatNeverRepliesFailsTheCommandAfterASecond) {
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--mute-replies", "--trace", file("trace.log")});
    ASSERT_TRUE(host.ready());
    ASSERT_EQ(Vexa_INIT(), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunVexa(), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 4s);
}

TEST_F(HostEndToEnd, AConfigurationWithoutTheDataEndpointStartsWithoutReads) {
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--no-data-endpoint", "--trace", file("trace.log")});
    ASSERT_TRUE(host.ready());
    ASSERT_EQ(Vexa_INIT(), 1);
    EXPECT_EQ(RunVexa(), 1);
    ReceivedFrame frames[18];
    std::int32_t a = 0, b = 0, n = 0;
    EXPECT_EQ(RecvData(&a, &b, &n, frames), 0);
    host.stop();
    EXPECT_NE(readFile(file("trace.log")).find("Failed to open pipe object\n"), std::string::npos);
}

TEST_F(HostEndToEnd, StoppingTheHostMidCaptureLeavesTheLibraryFailingCleanly) {
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--source", "load", "--trace", file("trace.log")});
    ASSERT_TRUE(host.ready());
    ASSERT_EQ(Vexa_INIT(), 1);
    ASSERT_EQ(RunVexa(), 1);
    ReceivedFrame frames[100];
    ASSERT_EQ(captureFrames(frames, 100, 5s), 100);
    EXPECT_EQ(host.stop(), 0);
    const auto start = std::chrono::steady_clock::now();
    std::int32_t a = 0, b = 0, n = 0;
    EXPECT_EQ(RecvData(&a, &b, &n, frames), 0);
    EXPECT_EQ(StopVexa(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(Vexa_INIT(), 0);  // its socket is gone
    const std::string trace = readFile(file("trace.log"));
    EXPECT_NE(trace.find("Entering ADP4021Device::OnRemoveDevice\n"), std::string::npos);
}

namespace {

// Runs adp4021d until it ends, killing it after `limit`: its exit status (-1 when it had to be
// killed) and what it wrote to stderr. With `termAfter`, SIGTERM is sent after that long.
std::pair<int, std::string> runToEnd(const std::string& runtimeDir, std::vector<std::string> args,
                                     std::chrono::milliseconds limit,
                                     std::chrono::milliseconds termAfter = {}) {
    args.insert(args.begin(), {ADP4021D_PATH, "--runtime-dir", runtimeDir});
    const std::string errors = runtimeDir + "/stderr.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::FILE* f = std::freopen(errors.c_str(), "w", stderr);
        (void)f;
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(ADP4021D_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (termAfter.count() > 0) {
        std::this_thread::sleep_for(termAfter);
        ::kill(pid, SIGTERM);
    }
    const auto end = std::chrono::steady_clock::now() + limit;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return {-1, readFile(errors)};
        }
        std::this_thread::sleep_for(10ms);
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(errors)};
}

}  // namespace

TEST_F(HostEndToEnd, AnOverdrivenLoadStaysWithinItsBuffersAndEndsAtOnceOnSigterm) {
    for (const bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "two adapters on a shared bus" : "one adapter");
        std::vector<std::string> args = {"--quiet",      "--source",       "load",
                                         "--overdrive",  "--rx-buffer",    "100",
                                         "--stats-file", file("stats.txt")};
        if (shared) args.insert(args.end(), {"--adapters", "2", "--shared-bus"});
        HostProcess host(ADP4021D_PATH, m_dir.path(), args, shared ? 2 : 1);
        ASSERT_TRUE(host.ready());
        ASSERT_EQ(Vexa_INIT(), 1);
        ASSERT_EQ(SetVexa(0, 1000, 0, 1), 1);
        ASSERT_EQ(RunVexa(), 1);
        ReceivedFrame frames[18];
        EXPECT_EQ(captureFrames(frames, 18, 2s), 18);
        std::this_thread::sleep_for(200ms);  // the buffer overflows meanwhile

        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(host.stop(), 0) << "an orderly end, not a forced one";
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        const std::string stats = readFile(file("stats.txt"));
        unsigned long long onBus = 0, lost = 0;
        ASSERT_EQ(
            std::sscanf(stats.c_str(), "adapter 0 on_bus %llu offered %*s buffered %*s lost %llu",
                        &onBus, &lost),
            2)
            << stats;
        EXPECT_GT(onBus, 10'000u);
        EXPECT_GT(lost, 0u);
    }
}

TEST_F(HostEndToEnd, AReplayOfAFifoOrADeviceIsRefusedAtOnce) {
    const std::string fifo = file("log.asc");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& log : {fifo, std::string("/dev/zero")}) {
        SCOPED_TRACE(log);
        const auto [status, errors] =
            runToEnd(m_dir.path(), {"--quiet", "--source", "replay:" + log}, 3s);
        EXPECT_EQ(status, 1) << errors;
        EXPECT_NE(errors.find("not a regular file"), std::string::npos) << errors;
    }
}

TEST_F(HostEndToEnd, TheHostEndsWithinASecondOfSigtermWhateverItIsWaitingFor) {
    // A registry "file" nobody writes to: the host waits in its start-up for ever.
    const std::string fifo = file("registry.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    const auto [status, errors] =
        runToEnd(m_dir.path(), {"--quiet", "--registry", fifo}, 3s, 300ms);
    EXPECT_EQ(status, 1) << errors;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2300ms);
    EXPECT_NE(errors.find("did not end within"), std::string::npos) << errors;
}

TEST_F(HostEndToEnd, ASendIsRefusedWhileTheAdaptersTransmitFifoIsFull) {
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "none"});
    ASSERT_TRUE(host.ready());
    ASSERT_EQ(Vexa_INIT(), 1);
    ASSERT_EQ(SetVexa(0, 1, 0, 1), 1);  // 1 kbit/s: a frame holds the bus for about 60 ms
    TxMessage m{};
    m.identifier = 0x123;
    m.length = 1;
    int sent = 0, refused = 0;
    for (int i = 0; i < 200; ++i) {
        ++(SendSingleData(m) == 1 ? sent : refused);
    }
    EXPECT_GE(sent, 64);
    EXPECT_GT(refused, 0) << "the program shows a refused send as a failed one";
    EXPECT_EQ(host.stop(), 0);
}
