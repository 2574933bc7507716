#include "platform/devio/DeviceInterfaces.h"
#include "platform/devio/DeviceIo.h"
#include "platform/devio/DevioProtocol.h"
#include "platform/devio/UnixSocket.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace devio;
using namespace std::chrono_literals;

namespace {

// A host that answers the first request after Open with raw bytes of the test's choosing, then
// keeps the connection open without another word.
class RawHost {
public:
    RawHost(const TempRuntimeDir& dir, std::vector<std::uint8_t> answer)
        : m_path(dir.interfacePath("raw")), m_answer(std::move(answer)) {
        std::filesystem::create_directories(std::filesystem::path(m_path).parent_path());
        m_listen = listenUnixSocket(m_path);
        m_thread = std::thread([this] { serve(); });
    }
    ~RawHost() {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        ::close(m_listen);
    }
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    void serve() {
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        Message m;
        if (receiveMessage(fd, m, 2000, 2000) == IoResult::kOk) {  // Open
            (void)sendAll(fd, encode(MessageType::kOpen, makeResponsePayload(0, 0, {})));
        }
        if (receiveMessage(fd, m, 2000, 2000) == IoResult::kOk) {
            (void)sendAll(fd, m_answer);
        }
        while (!m_stop) {
            std::this_thread::sleep_for(10ms);
        }
        ::close(fd);
    }

    std::string m_path;
    std::vector<std::uint8_t> m_answer;
    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

std::vector<std::uint8_t> response(MessageType type, std::uint32_t status, std::uint32_t info,
                                   std::vector<std::uint8_t> output) {
    return encode(type, makeResponsePayload(status, info, output));
}

}  // namespace

TEST(DeviceInterfaces, ListsOnlyLiveSocketsInNameOrder) {
    TempRuntimeDir dir;
    ScriptedAdapter b(dir, "ADP4021Device1");
    ScriptedAdapter a(dir, "ADP4021Device0");
    // A socket left behind by a host that died: present on disk, nobody listening.
    const std::string stale = dir.interfacePath("ADP4021Device2");
    ::close(listenUnixSocket(stale));

    DeviceInterfaceSet set(vexa::kInterfaceClass);
    std::string path;
    ASSERT_EQ(set.enumInterface(0, path), EnumStatus::kOk);
    EXPECT_EQ(path, dir.interfacePath("ADP4021Device0"));
    ASSERT_EQ(set.enumInterface(1, path), EnumStatus::kOk);
    EXPECT_EQ(path, dir.interfacePath("ADP4021Device1"));
    EXPECT_EQ(set.enumInterface(2, path), EnumStatus::kNoMoreItems);
}

TEST(DeviceInterfaces, NoFolderIsAnEmptySet) {
    TempRuntimeDir dir;
    DeviceInterfaceSet set(vexa::kInterfaceClass);
    std::string path;
    EXPECT_TRUE(set.valid());
    EXPECT_EQ(set.enumInterface(0, path), EnumStatus::kNoMoreItems);
}

TEST(DevioServer, SocketAndFoldersArePrivate) {
    TempRuntimeDir dir;
    ScriptedAdapter adapter(dir);
    struct stat st {};
    ASSERT_EQ(::stat(dir.interfacePath("ADP4021Device0").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((dir.path() + "/interfaces").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(DeviceIo, RequestsTravelWithTheirFileNameAndBytes) {
    TempRuntimeDir dir;
    ScriptedAdapter adapter(dir);
    const HANDLE h = CreateFileA((dir.interfacePath("ADP4021Device0") + "\\PIPE07").c_str());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(adapter.openedNames(), std::vector<std::string>{"\\PIPE07"});

    vexa::Block block{};
    block[0] = 0x04;
    std::uint32_t n = 99;
    ASSERT_TRUE(DeviceIoControl(h, vexa::kIoctlWriteCommand, block.data(), 64, nullptr, 0, &n));
    EXPECT_EQ(n, 64u);
    vexa::Block reply{};
    ASSERT_TRUE(DeviceIoControl(h, vexa::kIoctlReadReply, nullptr, 0, reply.data(), 64, &n));
    EXPECT_EQ(n, 64u);
    EXPECT_EQ(reply[0], 0x84);

    // An unknown control code comes back as the host's status.
    EXPECT_FALSE(DeviceIoControl(h, 0x1234, nullptr, 0, nullptr, 0, &n));
    EXPECT_EQ(lastStatus(), kStatusInvalidParameter);

    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_FALSE(DeviceIoControl(h, vexa::kIoctlReadReply, nullptr, 0, reply.data(), 64, &n));
    for (int i = 0; i < 100 && adapter.openConnections() != 0; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(adapter.openConnections(), 0);
}

TEST(DeviceIo, OpeningFailsWithoutAHost) {
    TempRuntimeDir dir;
    EXPECT_EQ(CreateFileA((dir.interfacePath("nobody") + "\\PIPE00").c_str()),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("no-suffix"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(nullptr), INVALID_HANDLE_VALUE);
}

TEST(DeviceIo, ClosingAHandleFailsTheReadInFlight) {
    TempRuntimeDir dir;
    ScriptedAdapter adapter(dir);
    adapter.holdReads(true);
    const HANDLE h = CreateFileA((dir.interfacePath("ADP4021Device0") + "\\PIPE02").c_str());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::atomic<int> result{-1};
    std::thread reader([&] {
        std::uint8_t buffer[384];
        std::uint32_t n = 0;
        result = ReadFile(h, buffer, sizeof buffer, &n) ? 1 : 0;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result.load(), -1);  // still pending
    CloseHandle(h);
    reader.join();
    EXPECT_EQ(result.load(), 0);
}

TEST(DeviceIo, AVanishedHostFailsRequestsWithoutHanging) {
    TempRuntimeDir dir;
    HANDLE h = INVALID_HANDLE_VALUE;
    {
        ScriptedAdapter adapter(dir);
        h = CreateFileA((dir.interfacePath("ADP4021Device0") + "\\PIPE00").c_str());
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
    }
    vexa::Block block{};
    std::uint32_t n = 0;
    EXPECT_FALSE(DeviceIoControl(h, vexa::kIoctlWriteCommand, block.data(), 64, nullptr, 0, &n));
    EXPECT_EQ(lastStatus(), kStatusDeviceRemoved);
    CloseHandle(h);
}

struct MalformedCase {
    const char* name;
    std::vector<std::uint8_t> answer;
};

class MalformedAnswer : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedAnswer, FailsTheRequestAndTheConnection) {
    TempRuntimeDir dir;
    RawHost host(dir, GetParam().answer);
    setAnswerTimeoutMs(300);
    const HANDLE h = CreateFileA((host.path() + "\\PIPE01").c_str());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::uint8_t reply[64] = {};
    std::uint32_t n = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DeviceIoControl(h, vexa::kIoctlReadReply, nullptr, 0, reply, 64, &n));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(reply[0], 0);
    // The stream cannot be trusted any more: the next request fails at once.
    EXPECT_FALSE(DeviceIoControl(h, vexa::kIoctlReadReply, nullptr, 0, reply, 64, &n));
    CloseHandle(h);
    setAnswerTimeoutMs(5000);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MalformedAnswer,
    ::testing::Values(
        MalformedCase{"Nothing", {}}, MalformedCase{"HalfAHeader", {2, 0, 0}},
        MalformedCase{"TruncatedPayload", {2, 0, 0, 0, 72, 0, 0, 0, 0, 0, 0, 0, 64, 0}},
        MalformedCase{"WrongType", response(MessageType::kRead, 0, 0, {})},
        MalformedCase{"MoreOutputThanAskedFor", response(MessageType::kDeviceControl, 0, 65,
                                                         std::vector<std::uint8_t>(65, 0x84))},
        MalformedCase{"CountDisagreesWithBytes",
                      response(MessageType::kDeviceControl, 0, 64, {0x84, 1})},
        MalformedCase{"HugeLength", {2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}},
        MalformedCase{"ShortFixedPart", encode(MessageType::kDeviceControl, {{0, 0, 0}})}),
    [](const auto& info) { return std::string(info.param.name); });
