// What the device path does with callers and folders it must not trust.

#include "platform/devio/DeviceInterfaces.h"
#include "platform/devio/DeviceIo.h"
#include "platform/devio/DevioProtocol.h"
#include "platform/devio/DevioServer.h"
#include "platform/devio/RuntimeFolder.h"
#include "platform/devio/UnixSocket.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <new>
#include <optional>
#include <thread>

#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace devio;
using namespace std::chrono_literals;

namespace {

uid_t otherUser() {
    const passwd* nobody = ::getpwnam("nobody");
    return nobody != nullptr ? nobody->pw_uid : 65534;
}

// The three ways a runtime folder can be someone else's to control.
enum class Unsafe { kGroupWritable, kOtherOwner, kSymlink };

// Puts the runtime folder of `dir` in the given unsafe state; the folder it points to (for the
// symlink) is made private, so only the link itself is at fault.
void makeUnsafe(const TempRuntimeDir& dir, Unsafe how) {
    switch (how) {
        case Unsafe::kGroupWritable:
            ::chmod(dir.path().c_str(), 0770);
            break;
        case Unsafe::kOtherOwner:
            if (::geteuid() != 0) GTEST_SKIP() << "giving a folder away needs root";
            ASSERT_EQ(::chown(dir.path().c_str(), otherUser(), static_cast<gid_t>(-1)), 0);
            break;
        case Unsafe::kSymlink: {
            const std::string real = dir.path() + "/real";
            ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
            const std::string link = dir.path() + "/link";
            ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
            ::setenv("KORVANE_RUNTIME_DIR", link.c_str(), 1);
            break;
        }
    }
}

class UnsafeRuntimeFolder : public ::testing::TestWithParam<Unsafe> {};

// A raw connection to a served socket, for speaking the protocol badly on purpose.
class RawClient {
public:
    explicit RawClient(const std::string& path) : m_fd(connectUnixSocket(path)) {}
    ~RawClient() {
        if (m_fd >= 0) ::close(m_fd);
    }
    [[nodiscard]] bool connected() const { return m_fd >= 0; }
    bool send(const std::vector<std::uint8_t>& bytes) { return sendAll(m_fd, bytes); }
    bool request(MessageType type, const std::vector<std::uint8_t>& payload) {
        return send(encode(type, payload));
    }
    // The status of the next response, or nullopt when the host closed or said nothing.
    std::optional<std::uint32_t> status(int withinMs = 2000) {
        Message m;
        Response r;
        if (receiveMessage(m_fd, m, withinMs, 2000) != IoResult::kOk || !parseResponse(m, r)) {
            return std::nullopt;
        }
        return r.status;
    }
    bool open() { return request(MessageType::kOpen, {'\\', 'P'}) && status() == kStatusSuccess; }
    // True when the host has dropped this connection.
    bool dropped(int withinMs = 3000) {
        std::uint8_t byte = 0;
        timeval tv{withinMs / 1000, suseconds_t{withinMs % 1000} * 1000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        return ::recv(m_fd, &byte, 1, 0) == 0;
    }

private:
    int m_fd;
};

std::vector<std::uint8_t> u32s(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> out;
    for (auto v : values) putU32(out, v);
    return out;
}

// A handler that answers every request with the output asked for, and can be made to throw.
class EchoHandler final : public DevioHandler {
public:
    std::uint32_t create(ConnectionId, const std::string&) override {
        ++creates;
        return kStatusSuccess;
    }
    Reply deviceControl(ConnectionId, std::uint32_t code, std::span<const std::uint8_t>,
                        std::uint32_t outputLength) override {
        if (code == 0xBAD) throw std::bad_alloc();
        if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        Reply r;
        r.information = outputLength;
        r.output.assign(outputLength, 0x5A);
        return r;
    }
    Reply read(ConnectionId, std::uint32_t length) override {
        Reply r;
        r.information = length;
        r.output.assign(length, 0xA5);
        return r;
    }
    Reply write(ConnectionId, std::span<const std::uint8_t> data) override {
        Reply r;
        r.information = static_cast<std::uint32_t>(data.size());
        return r;
    }
    void closeConnection(ConnectionId) override { ++closes; }

    std::atomic<int> creates{0};
    std::atomic<int> closes{0};
    std::atomic<int> delayMs{0};
};

}  // namespace

TEST_P(UnsafeRuntimeFolder, IsRefusedByDiscoveryHostAndFolderCheck) {
    TempRuntimeDir dir;
    {
        // Made while the folder was still sound, so only the folder is at fault below.
        ScriptedAdapter planted(dir);
        makeUnsafe(dir, GetParam());
        if (IsSkipped() || HasFatalFailure()) return;
        const std::string runtime = runtimeDirectory();

        DeviceInterfaceSet set("{A71602A8-A799-44DC-805F-7FF25F30BEDB}");
        EXPECT_FALSE(set.valid());
        EXPECT_NE(set.error().find("refusing"), std::string::npos) << set.error();
        std::string path;
        EXPECT_EQ(set.enumInterface(0, path), EnumStatus::kFailed);

        EchoHandler handler;
        DevioServer server(handler);
        EXPECT_FALSE(server.start(runtime + "/interfaces/{X}/dev"));
        EXPECT_FALSE(server.error().empty());
        EXPECT_FALSE(std::filesystem::exists(dir.path() + "/real/interfaces"));

        std::string error;
        EXPECT_FALSE(ensurePrivateDirectory(runtime, error));
        EXPECT_NE(error.find(runtime), std::string::npos) << error;
    }
    ::chown(dir.path().c_str(), ::geteuid(), static_cast<gid_t>(-1));
    ::chmod(dir.path().c_str(), 0700);
}

INSTANTIATE_TEST_SUITE_P(Folders, UnsafeRuntimeFolder,
                         ::testing::Values(Unsafe::kGroupWritable, Unsafe::kOtherOwner,
                                           Unsafe::kSymlink),
                         [](const auto& info) {
                             return info.param == Unsafe::kGroupWritable ? "GroupWritable"
                                    : info.param == Unsafe::kOtherOwner  ? "OtherOwner"
                                                                         : "Symlink";
                         });

TEST(RuntimeFolder, AMissingFolderIsMadePrivate) {
    TempRuntimeDir dir;
    const std::string made = dir.path() + "/a/b";
    std::string error;
    ::umask(0);
    ASSERT_TRUE(ensurePrivateDirectory(made, error)) << error;
    ::umask(022);
    struct stat st {};
    ASSERT_EQ(::stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((dir.path() + "/a").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(DevioServer, TheSocketIsPrivateWhateverTheUmask) {
    TempRuntimeDir dir;
    const mode_t old = ::umask(0);
    EchoHandler handler;
    DevioServer server(handler);
    const bool started = server.start(dir.interfacePath("dev"));
    ::umask(old);
    ASSERT_TRUE(started);
    struct stat st {};
    ASSERT_EQ(::lstat(server.path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(DevioServer, ALiveSocketIsNeverTakenOver) {
    TempRuntimeDir dir;
    EchoHandler first;
    DevioServer a(first);
    ASSERT_TRUE(a.start(dir.interfacePath("dev")));
    EchoHandler second;
    DevioServer b(second);
    EXPECT_FALSE(b.start(dir.interfacePath("dev")));
    EXPECT_NE(b.error().find("another host"), std::string::npos) << b.error();
    RawClient client(a.path());
    ASSERT_TRUE(client.open());
    EXPECT_EQ(first.creates.load(), 1);
    EXPECT_EQ(second.creates.load(), 0);
}

TEST(DevioServer, BadRequestsFailAloneAndTheConnectionGoesOn) {
    TempRuntimeDir dir;
    EchoHandler handler;
    DevioServer server(handler);
    ASSERT_TRUE(server.start(dir.interfacePath("dev")));
    RawClient c(server.path());
    ASSERT_TRUE(c.open());
    // A second open would leave the first file object behind: refused.
    ASSERT_TRUE(c.request(MessageType::kOpen, {'\\', 'Q'}));
    EXPECT_EQ(c.status(), kStatusInvalidParameter);
    EXPECT_EQ(handler.creates.load(), 1);
    // Lengths no response could carry, up to 4 GiB.
    for (std::uint32_t length : {kMaxOutput + 1, 0x10000000u, 0xFFFFFFFFu}) {
        ASSERT_TRUE(c.request(MessageType::kRead, u32s({length})));
        EXPECT_EQ(c.status(), kStatusInvalidParameter) << length;
        ASSERT_TRUE(c.request(MessageType::kDeviceControl, u32s({1, length})));
        EXPECT_EQ(c.status(), kStatusInvalidParameter) << length;
    }
    // Short fixed parts.
    ASSERT_TRUE(c.request(MessageType::kDeviceControl, {1, 2, 3}));
    EXPECT_EQ(c.status(), kStatusInvalidParameter);
    ASSERT_TRUE(c.request(MessageType::kRead, {1, 2}));
    EXPECT_EQ(c.status(), kStatusInvalidParameter);
    // A handler that runs out of memory fails its request only.
    ASSERT_TRUE(c.request(MessageType::kDeviceControl, u32s({0xBAD, 64})));
    EXPECT_EQ(c.status(), kStatusInsufficientResources);
    // The largest allowed output still comes back whole.
    ASSERT_TRUE(c.request(MessageType::kRead, u32s({kMaxOutput})));
    EXPECT_EQ(c.status(), kStatusSuccess);
    ASSERT_TRUE(c.request(MessageType::kDeviceControl, u32s({1, 64})));
    EXPECT_EQ(c.status(), kStatusSuccess);
}

TEST(DevioServer, ProtocolBreakersAreDroppedWhileOthersAreServed) {
    TempRuntimeDir dir;
    EchoHandler handler;
    DevioServer server(handler);
    ASSERT_TRUE(server.start(dir.interfacePath("dev")));
    RawClient good(server.path());
    ASSERT_TRUE(good.open());

    RawClient unknownType(server.path());
    ASSERT_TRUE(unknownType.send({9, 0, 0, 0, 0, 0, 0, 0}));
    RawClient hugePayload(server.path());
    ASSERT_TRUE(hugePayload.send({2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    RawClient halfMessage(server.path());
    ASSERT_TRUE(halfMessage.send({1, 0, 0, 0, 10, 0, 0, 0, '\\'}));  // then stalls
    RawClient neverOpens(server.path());

    ASSERT_TRUE(good.request(MessageType::kDeviceControl, u32s({1, 8})));
    EXPECT_EQ(good.status(), kStatusSuccess);  // while the stalled one is still waited for
    // Generous bounds: the machine running the tests may be busy.
    EXPECT_TRUE(unknownType.dropped(5000)) << "unknown type";
    EXPECT_TRUE(hugePayload.dropped(5000)) << "huge payload";
    EXPECT_TRUE(halfMessage.dropped(5000)) << "half message";
    EXPECT_TRUE(neverOpens.dropped(DevioServer::kOpenWithinMs + 5000)) << "never opens";
    ASSERT_TRUE(good.request(MessageType::kDeviceControl, u32s({1, 8})));
    EXPECT_EQ(good.status(), kStatusSuccess);
}

TEST(DevioServer, ConnectionsAreBoundedAndTheOpenOnesKeepBeingServed) {
    TempRuntimeDir dir;
    EchoHandler handler;
    DevioServer server(handler);
    server.setConnectionLimit(4);
    ASSERT_TRUE(server.start(dir.interfacePath("dev")));
    std::vector<std::unique_ptr<RawClient>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::make_unique<RawClient>(server.path()));
        ASSERT_TRUE(held.back()->open());
    }
    // Hundreds more: each is closed at once, nothing piles up.
    for (int i = 0; i < 300; ++i) {
        RawClient extra(server.path());
        if (extra.connected()) {
            EXPECT_TRUE(extra.dropped());
        }
    }
    EXPECT_LE(server.connectionCount(), 4u);
    for (auto& c : held) {
        ASSERT_TRUE(c->request(MessageType::kRead, u32s({16})));
        EXPECT_EQ(c->status(), kStatusSuccess);
    }
    // A place that frees up is given to the next client.
    held.pop_back();
    bool servedAgain = false;
    for (int attempt = 0; attempt < 50 && !servedAgain; ++attempt) {
        RawClient next(server.path());
        servedAgain = next.open();
        if (!servedAgain) std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(servedAgain);
}

TEST(DeviceIo, ACallOfSeveralRequestsSharesOneDeadline) {
    TempRuntimeDir dir;
    EchoHandler handler;
    DevioServer server(handler);
    ASSERT_TRUE(server.start(dir.interfacePath("dev")));
    const HANDLE h = CreateFileA((server.path() + "\\PIPE00").c_str());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    setAnswerTimeoutMs(1000);
    handler.delayMs = 400;  // each request alone is well within the time-out
    std::uint8_t out[8];
    std::uint32_t n = 0;
    const auto start = std::chrono::steady_clock::now();
    int succeeded = 0;
    {
        const CallDeadline deadline;
        for (int i = 0; i < 6; ++i) {
            if (DeviceIoControl(h, 1, nullptr, 0, out, sizeof out, &n)) ++succeeded;
        }
    }
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_LT(spent, 1900ms);  // six requests one after another would take 2.4 s
    EXPECT_LT(succeeded, 6);
    EXPECT_GE(succeeded, 1);
    CloseHandle(h);
    setAnswerTimeoutMs(5000);
}

TEST(DeviceIo, AHandleWhoseAnswerTimedOutFailsEveryLaterCallAtOnce) {
    TempRuntimeDir dir;
    EchoHandler handler;
    DevioServer server(handler);
    ASSERT_TRUE(server.start(dir.interfacePath("dev")));
    const HANDLE h = CreateFileA((server.path() + "\\PIPE00").c_str());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    setAnswerTimeoutMs(200);
    handler.delayMs = 600;
    std::uint8_t out[8];
    std::uint32_t n = 0;
    EXPECT_FALSE(DeviceIoControl(h, 1, nullptr, 0, out, sizeof out, &n));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(DeviceIoControl(h, 1, nullptr, 0, out, sizeof out, &n));
        EXPECT_EQ(lastStatus(), kStatusDeviceRemoved);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 150ms);
    CloseHandle(h);
    setAnswerTimeoutMs(5000);
}

TEST(DeviceIo, OpeningAHostWithAFullQueueGivesUpInTime) {
    TempRuntimeDir dir;
    // Listening, never accepting: its queue of waiting connections fills up.
    const std::string path = dir.path() + "/full";
    const int listener = listenUnixSocket(path);
    ASSERT_GE(listener, 0);
    std::vector<int> filling;
    for (int i = 0; i < 1000; ++i) {
        const int fd = connectUnixSocket(path, 0);
        if (fd < 0) break;
        filling.push_back(fd);
    }
    setAnswerTimeoutMs(300);
    const auto start = std::chrono::steady_clock::now();
    {
        const CallDeadline deadline;
        EXPECT_EQ(CreateFileA((path + "\\PIPE00").c_str()), INVALID_HANDLE_VALUE);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    setAnswerTimeoutMs(5000);
    for (int fd : filling) ::close(fd);
    ::close(listener);
}
