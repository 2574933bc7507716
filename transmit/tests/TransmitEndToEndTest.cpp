// Sending through the real driver host: the program's transmission logic on VexaApi, adp4021d and
// its emulated adapters, checked in the adapter's transfer log and, with two adapters on one
// bus, in what vexacap captures on the other adapter.

#include "document/CDataDoc.h"
#include "resources/CommandIds.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"
#include "transmit/AutoMessageSetup.h"
#include "transmit/ManualMessage.h"
#include "transmit/tests/TransmitFakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

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

// A command block as the transfer log writes it.
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

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// vexacap as a child process, its output in a file.
class Capture {
public:
    Capture(const std::string& output, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), VEXACAP_PATH);
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1);
            std::vector<char*> argv;
            argv.reserve(arguments.size() + 1);
            for (auto& a : arguments) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(VEXACAP_PATH, argv.data());
            ::_exit(127);
        }
    }
    ~Capture() { stop(); }
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

class TransmitEndToEnd : public ::testing::Test {
protected:
    std::string file(const char* name) const { return m_dir.path() + "/" + name; }
    std::vector<std::uint32_t> shownIds() const {
        std::vector<std::uint32_t> ids;
        for (const auto& m : m_messages.shown()) ids.push_back(m.stringId);
        return ids;
    }

    TempRuntimeDir m_dir;
    VexaLibraryDevice m_device;
    DeviceCommands m_commands{m_device};
    FrameStore m_store;
    CaptureState m_state;
    MessageRecorder m_messages;
    bool m_hex = true;
};

}  // namespace

TEST_F(TransmitEndToEnd, AManualSendIsOneExactCommandAndARemoteFrameInTheStore) {
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--quiet", "--source", "none", "--transfer-log", file("transfers.log")});
    ASSERT_TRUE(host.ready());
    ASSERT_TRUE(m_device.vexaInit());
    ASSERT_TRUE(m_device.setVexa(0, 500, 0, 2));

    std::array<ManualBuffer, 2> buffers{};
    buffers[1].identifier = 0x1ABCDEF0 & 0x1FFFFFFF;
    buffers[1].size = 3;
    buffers[1].remote = 1;
    buffers[1].data = {0x11, 0x22, 0x33, 0x44, 0, 0, 0, 0};
    ManualMessage manual(buffers, m_hex, 2, {m_commands, m_store, m_state, m_messages});
    ASSERT_TRUE(sendNow(manual, 1));

    const std::string log = readFile(file("transfers.log"));
    EXPECT_EQ(occurrences(log, logged({0x02, 3 + 6, 0x00, 0x83, 0x1A, 0xBC, 0xDE, 0xF0, 0x11, 0x22,
                                       0x33, 0, 0, 0, 0, 0, 1})),
              1u);
    ASSERT_EQ(m_store.count(), 1u);
    EXPECT_EQ(m_store.at(0).status, 1u);
    EXPECT_EQ(m_store.at(0).format, 1);
    EXPECT_EQ(m_store.at(0).identifier, 0x1ABCDEF0u);
    EXPECT_TRUE(m_messages.shown().empty());

    // With the host gone the send fails and the store keeps what it had.
    EXPECT_EQ(host.stop(), 0);
    EXPECT_FALSE(sendNow(manual, 0));
    EXPECT_EQ(m_store.count(), 1u);
    EXPECT_EQ(shownIds(), std::vector<std::uint32_t>({5078}));
}

TEST_F(TransmitEndToEnd, FiveTickedItemsLoadAsOneSetInTwoPacketsInListOrder) {
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--quiet", "--source", "none", "--transfer-log", file("transfers.log")});
    ASSERT_TRUE(host.ready());
    ASSERT_TRUE(m_device.vexaInit());
    ASSERT_TRUE(m_device.setVexa(0, 500, 0, 1));

    ApplicationFlags flags;
    CDataDoc doc(m_device, m_store, m_state, flags, m_messages);
    auto& c = doc.contents;
    AutoMessageSetup setup({c.items, c.interval, c.cycle}, m_hex, 1,
                           {m_commands, m_state, m_messages});
    for (std::uint32_t i = 0; i < 6; ++i) {
        const std::string id = formatNumber(0x700 + i, true);
        (void)setup.typeIdentifier(id, id.size());
        setup.setSize(1);
        const std::string byte = formatNumber(i, true);
        (void)setup.typeData(0, byte, byte.size());
        setup.add();
    }
    setup.toggleTick(2);  // the set is 0x700, 0x701, 0x703, 0x704, 0x705

    // Start before any Download is refused without a word to the adapter.
    doc.OnCmdMsg(ID_AUTO_START);
    EXPECT_EQ(shownIds(), std::vector<std::uint32_t>({5003}));
    EXPECT_EQ(doc.sending(), 0);

    setup.setInterval(50);
    setup.setCycle(2);
    ASSERT_TRUE(downloadNow(setup));
    doc.OnCmdMsg(ID_AUTO_START);
    EXPECT_EQ(doc.sending(), 1);
    doc.OnCmdMsg(ID_AUTO_STOP);
    EXPECT_EQ(doc.sending(), 0);

    std::vector<std::uint8_t> packet0 = {0x02, 0x39, 0x01, 0x00, 0x0F};
    for (std::uint8_t id : {0x00, 0x01, 0x03, 0x04}) {
        const std::vector<std::uint8_t> item = {1, 0x07, id, 0, 0, id, 0, 0, 0, 0, 0, 0, 0, 0};
        packet0.insert(packet0.end(), item.begin(), item.end());
    }
    packet0.push_back(50);
    packet0.push_back(2);
    const std::string log = readFile(file("transfers.log"));
    const auto first = log.find(logged(packet0));
    const auto second = log.find(logged({0x02, 0x39, 0x01, 0x01, 0x01, 1, 0x07, 0x05, 0, 0, 0x05}));
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_EQ(occurrences(log, "EP 0x01 OUT   64: 02 39 01"), 2u);
    // Run appears once: after the download, never for the refused Start.
    const std::string run = logged({0x02, 0x02, 0x02, 0x01});
    EXPECT_EQ(occurrences(log, run), 1u);
    EXPECT_GT(log.find(run), second);
    EXPECT_EQ(occurrences(log, logged({0x02, 0x02, 0x02, 0x02})), 1u);
}

TEST_F(TransmitEndToEnd, AReceiverOnTheSharedBusCapturesEveryManualFrameAndEveryRound) {
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--quiet", "--source", "none", "--adapters", "2", "--shared-bus",
                      "--stats-file", file("stats.txt")},
                     2);
    ASSERT_TRUE(host.ready());
    ASSERT_TRUE(m_device.vexaInit());  // the first adapter
    ASSERT_TRUE(m_device.setVexa(0, 500, 0, 1));
    Capture capture(file("captured.txt"), {"--adapter", "1", "--baud", "500"});

    // A marker frame until the receiver is seen to capture.
    std::array<ManualBuffer, 2> buffers{};
    buffers[1].identifier = 0x7F0;
    buffers[1].size = 0;
    ManualMessage manual(buffers, m_hex, 1, {m_commands, m_store, m_state, m_messages});
    for (int i = 0; i < 200 && readFile(file("captured.txt")).find("000007F0") == std::string::npos;
         ++i) {
        ASSERT_TRUE(sendNow(manual, 1));
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_NE(readFile(file("captured.txt")).find("000007F0"), std::string::npos);

    for (std::uint32_t i = 0; i < 3; ++i) {
        (void)manual.typeIdentifier(0, formatNumber(0x600 + i, true), 3);
        manual.setSize(0, 1);
        ASSERT_TRUE(sendNow(manual, 0));
    }
    ApplicationFlags flags;
    CDataDoc doc(m_device, m_store, m_state, flags, m_messages);
    auto& c = doc.contents;
    AutoMessageSetup setup({c.items, c.interval, c.cycle}, m_hex, 1,
                           {m_commands, m_state, m_messages});
    for (std::uint32_t i = 0; i < 5; ++i) {
        const std::string id = formatNumber(0x500 + i, true);
        (void)setup.typeIdentifier(id, id.size());
        setup.setSize(8);
        setup.add();
    }
    setup.setInterval(10);
    setup.setCycle(20);
    ASSERT_TRUE(downloadNow(setup));
    doc.OnCmdMsg(ID_AUTO_START);
    // 20 rounds of 10 ms; the receiver is given time on a loaded machine, then a little more to
    // show that nothing beyond the set's 100 frames comes.
    for (int i = 0; i < 500 && occurrences(readFile(file("captured.txt")), "  00000504  ") < 20;
         ++i) {
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(200ms);
    capture.stop();
    doc.OnCmdMsg(ID_AUTO_STOP);

    // The frames after the markers, in order.
    std::istringstream lines(readFile(file("captured.txt")));
    std::vector<std::uint32_t> ids;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string time, load, kind, id;
        fields >> time >> load >> kind >> id;
        const std::uint32_t value = static_cast<std::uint32_t>(std::stoul(id, nullptr, 16));
        if (value != 0x7F0) ids.push_back(value);
    }
    std::vector<std::uint32_t> expected = {0x600, 0x601, 0x602};
    for (int round = 0; round < 20; ++round) {
        for (std::uint32_t i = 0; i < 5; ++i) expected.push_back(0x500 + i);
    }
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(host.stop(), 0);
    // No round was skipped on a bus with room.
    EXPECT_NE(readFile(file("stats.txt")).find("adapter 0 "), std::string::npos);
    EXPECT_NE(readFile(file("stats.txt")).find("rounds 20 skipped 0"), std::string::npos);
}
