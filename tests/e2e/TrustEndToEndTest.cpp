// The driver host and VexaApi against clients, folders and neighbours they must not trust.

#include "devapi/Blocks.h"
#include "devapi/VexaApi.h"
#include "platform/devio/DeviceIo.h"
#include "platform/devio/DevioProtocol.h"
#include "platform/devio/UnixSocket.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <pwd.h>
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

// Runs adp4021d on `runtimeDir` to its end (killed after 10 s); its exit status, stderr in `err`.
int runHostOnce(const std::string& runtimeDir, const std::string& errFile) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::execl(ADP4021D_PATH, ADP4021D_PATH, "--quiet", "--source", "none", "--runtime-dir",
                runtimeDir.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    for (int i = 0; i < 1000; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;  // it did not refuse: it ran
}

class TrustEndToEnd : public ::testing::Test {
protected:
    std::string file(const char* name) const { return m_dir.path() + "/" + name; }
    std::string interfacePath() const { return m_dir.interfacePath("ADP4021Device0"); }
    TempRuntimeDir m_dir;
};

std::vector<std::uint8_t> u32s(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> out;
    for (auto v : values) devio::putU32(out, v);
    return out;
}

// A connection that speaks the handle protocol by hand.
struct Raw {
    explicit Raw(const std::string& path) : fd(devio::connectUnixSocket(path, 1000)) {}
    ~Raw() {
        if (fd >= 0) ::close(fd);
    }
    bool send(const std::vector<std::uint8_t>& bytes) const {
        return fd >= 0 && devio::sendAll(fd, bytes);
    }
    std::optional<std::uint32_t> status() const {
        devio::Message m;
        devio::Response r;
        if (devio::receiveMessage(fd, m, 3000, 2000) != devio::IoResult::kOk ||
            !devio::parseResponse(m, r)) {
            return std::nullopt;
        }
        return r.status;
    }
    bool open(const char* suffix) const {
        const std::vector<std::uint8_t> s(suffix, suffix + std::strlen(suffix));
        return send(devio::encode(devio::MessageType::kOpen, s)) &&
               status() == devio::kStatusSuccess;
    }
    int fd;
};

}  // namespace

TEST_F(TrustEndToEnd, TheHostRefusesARuntimeFolderOthersControl) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a folder away needs root";
    const uid_t nobody = ::getpwnam("nobody") != nullptr ? ::getpwnam("nobody")->pw_uid : 65534;
    struct Case {
        const char* name;
        std::string folder;
    };
    const std::string open = file("open"), foreign = file("foreign"), real = file("real"),
                      link = file("link");
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ::chmod(open.c_str(), 0777);
    ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(::chown(foreign.c_str(), nobody, static_cast<gid_t>(-1)), 0);
    ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    for (const Case& c :
         {Case{"wrong mode", open}, Case{"another owner", foreign}, Case{"symlink", link}}) {
        const int status = runHostOnce(c.folder, file("err.txt"));
        EXPECT_NE(status, 0) << c.name;
        EXPECT_NE(status, -1) << c.name << ": the host served the folder";
        const std::string err = readFile(file("err.txt"));
        EXPECT_NE(err.find("refusing to use it"), std::string::npos) << c.name << ": " << err;
    }
    // Nothing was planted in any of them.
    EXPECT_FALSE(std::filesystem::exists(open + "/interfaces"));
    EXPECT_FALSE(std::filesystem::exists(real + "/interfaces"));
}

TEST_F(TrustEndToEnd, ASecondHostIsRefusedWhileTheFirstServes) {
    HostProcess first(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "none"});
    ASSERT_TRUE(first.ready());
    ASSERT_EQ(Vexa_INIT(), 1);
    EXPECT_EQ(runHostOnce(m_dir.path(), file("err.txt")), 1);
    EXPECT_NE(readFile(file("err.txt")).find("another adp4021d"), std::string::npos);
    std::int32_t status = 0;
    EXPECT_EQ(GetVexaInfo(&status, nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(first.stop(), 0);
}

TEST_F(TrustEndToEnd, ATimedOutReplyReadLeavesTheAdapterAnswering) {
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "none"});
    ASSERT_TRUE(host.ready());
    // A reply read with no command before it: the driver gives up on it after its time-out.
    const devio::HANDLE rep = devio::CreateFileA((interfacePath() + vexa::kReplySuffix).c_str());
    ASSERT_NE(rep, devio::INVALID_HANDLE_VALUE);
    vexa::Block reply{};
    std::uint32_t n = 0;
    EXPECT_FALSE(devio::DeviceIoControl(rep, vexa::kIoctlReadReply, nullptr, 0, reply.data(),
                                        vexa::kBlockSize, &n));
    devio::CloseHandle(rep);
    ASSERT_EQ(Vexa_INIT(), 1);
    for (int i = 0; i < 10; ++i) {
        std::int32_t node = -1;
        EXPECT_EQ(SetVexa(i, 250, 0, 1), 1) << "command " << i;
        EXPECT_EQ(GetNodeID(&node), 0) << "command " << i;
        EXPECT_EQ(node, i);
    }
    EXPECT_EQ(host.stop(), 0);
}

TEST_F(TrustEndToEnd, ClientsSideBySideEachGetTheirOwnReplies) {
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "none"});
    ASSERT_TRUE(host.ready());
    constexpr int kClients = 3;
    constexpr auto kFor = 30s;
    std::vector<pid_t> children;
    for (int c = 0; c < kClients; ++c) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Each client asks something whose reply only fits its own command.
            int failures = 0;
            if (Vexa_INIT() != 1) {
                std::fprintf(stderr, "client %d: no device\n", c);
                failures = 1;
            }
            int rounds = 0;
            const auto end = std::chrono::steady_clock::now() + kFor;
            while (failures == 0 && std::chrono::steady_clock::now() < end) {
                std::int32_t v = 0;
                // Not a send: sends faster than the bus carries them fill the transmit FIFO
                // and are refused, which would read here as a lost reply.
                const bool ok = c == 0   ? GetVexaInfo(&v, nullptr, nullptr, nullptr, nullptr) == 1
                                : c == 1 ? SetVexa(5, 500, 0, 1) == 1
                                         : StopMultiData() == 1;
                if (!ok) {
                    std::fprintf(stderr, "client %d: command %d was not answered\n", c, rounds);
                    ++failures;
                }
                ++rounds;
            }
            ::_exit(failures == 0 && rounds > 10 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a client lost a reply";
    }
    // And a lone client afterwards is served as before.
    ASSERT_EQ(Vexa_INIT(), 1);
    std::int32_t version = 0;
    EXPECT_EQ(GetVexaVersion(&version), 0);
    EXPECT_EQ(host.stop(), 0);
}

TEST_F(TrustEndToEnd, MaliciousClientsNeitherStopTheHostNorItsOtherClients) {
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "none"});
    ASSERT_TRUE(host.ready());
    ASSERT_EQ(Vexa_INIT(), 1);
    const auto stillServed = [] {
        std::int32_t status = 0;
        return GetVexaInfo(&status, nullptr, nullptr, nullptr, nullptr) == 1;
    };

    // Lengths up to 4 GiB, unknown control codes, a second open on one handle.
    {
        Raw r(interfacePath());
        ASSERT_TRUE(r.open(vexa::kReplySuffix));
        for (std::uint32_t length : {0xFFFFFFFFu, 0x80000000u, 70000u}) {
            ASSERT_TRUE(r.send(devio::encode(devio::MessageType::kRead, u32s({length}))));
            EXPECT_EQ(r.status(), devio::kStatusInvalidParameter);
            ASSERT_TRUE(r.send(devio::encode(devio::MessageType::kDeviceControl,
                                             u32s({vexa::kIoctlReadReply, length}))));
            EXPECT_EQ(r.status(), devio::kStatusInvalidParameter);
        }
        ASSERT_TRUE(r.send(devio::encode(devio::MessageType::kDeviceControl, u32s({0x1234, 0}))));
        EXPECT_NE(r.status().value_or(0), devio::kStatusSuccess);
        EXPECT_FALSE(r.open(vexa::kCommandSuffix));
    }
    EXPECT_TRUE(stillServed());

    // Unknown message types, truncated messages, a half message that stalls.
    std::vector<std::unique_ptr<Raw>> broken;
    for (const std::vector<std::uint8_t>& bytes :
         std::vector<std::vector<std::uint8_t>>{{77, 0, 0, 0, 0, 0, 0, 0},
                                                {2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
                                                {3, 0, 0, 0, 4, 0, 0, 0, 1},
                                                {1, 0}}) {
        broken.push_back(std::make_unique<Raw>(interfacePath()));
        ASSERT_TRUE(broken.back()->send(bytes));
    }
    EXPECT_TRUE(stillServed());

    // Thousands of connections, many held at once.
    std::vector<std::unique_ptr<Raw>> crowd;
    for (int i = 0; i < 3000; ++i) {
        crowd.push_back(std::make_unique<Raw>(interfacePath()));
        if (crowd.size() >= 400) {
            crowd.clear();
            EXPECT_TRUE(stillServed()) << "after " << i << " connections";
        }
    }
    EXPECT_TRUE(stillServed());
    crowd.clear();
    broken.clear();
    EXPECT_EQ(host.stop(), 0);
}

TEST_F(TrustEndToEnd, TheLibraryFindsNoDeviceInAFolderOthersCanWriteTo) {
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "none"});
    ASSERT_TRUE(host.ready());
    // Opened up after the host started: its sockets could now be anyone's.
    ::chmod(m_dir.path().c_str(), 0755);
    EXPECT_EQ(Vexa_INIT(), 0);
    ::chmod((m_dir.path() + "/interfaces").c_str(), 0777);
    ::chmod(m_dir.path().c_str(), 0700);
    EXPECT_EQ(Vexa_INIT(), 0);
    ::chmod((m_dir.path() + "/interfaces").c_str(), 0700);
    EXPECT_EQ(Vexa_INIT(), 1);
    EXPECT_EQ(host.stop(), 0);
}
