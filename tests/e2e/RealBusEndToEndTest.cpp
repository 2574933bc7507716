// A real bus under adp4021d, all the way to the program's frame store: the test plays the rest
// of the bus (a member of Qt's virtual CAN bus, or an slcan adapter on a pseudo-terminal); the
// program's side is VexaApi with the capture poll on its 1 ms timer.

#include "capture/CapturePoll.h"
#include "platform/MultimediaTimer.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"
#include "tests/support/ScriptedSlcanDevice.h"
#include "tests/support/VirtualCanHub.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include <sys/wait.h>

using namespace std::chrono_literals;

namespace {

// Programs that used an interface leave their turn-taking lock files beside it; the interface
// itself is the socket.
bool noSockets(const std::filesystem::path& folder) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        if (e.is_socket()) return false;
    }
    return true;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The program's capture path without its window: the poll on its own 1 ms timer thread.
class CaptureSpine {
public:
    CaptureSpine() : m_poll(m_device, m_store, m_state, m_flags) {
        m_timer.start(1ms, [this] { m_poll.tick(); });
    }
    ~CaptureSpine() { m_timer.stop(); }
    void capture(bool on) { m_state.capturing = on ? 1 : 0; }
    [[nodiscard]] const FrameStore& store() const { return m_store; }

private:
    FrameStore m_store;
    CaptureState m_state;
    ApplicationFlags m_flags;
    VexaLibraryDevice m_device;
    CapturePoll m_poll;
    platform::MultimediaTimer m_timer;
};

TxMessage message(std::uint32_t id, bool extended, std::vector<std::uint8_t> data) {
    TxMessage m{};
    m.identifier = id;
    m.format = extended ? 1 : 0;
    m.length = static_cast<std::uint8_t>(data.size());
    std::memcpy(m.data, data.data(), data.size());
    return m;
}

std::unique_ptr<QCanBusDevice> member(const std::string& interface) {
    std::unique_ptr<QCanBusDevice> d(QCanBus::instance()->createDevice(
        QStringLiteral("virtualcan"), QString::fromStdString(interface)));
    if (!d || !d->connectDevice()) return nullptr;
    if (!waitUntil([&] { return d->state() == QCanBusDevice::ConnectedState; })) return nullptr;
    return d;
}

// A sequence number in the first four data bytes, the rest a pattern of it.
QCanBusFrame numbered(std::uint32_t n) {
    QByteArray data(8, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(n >> (8 * i));
    for (int i = 4; i < 8; ++i) data[i] = static_cast<char>(n * 7 + static_cast<unsigned>(i));
    QCanBusFrame f(n % 3 == 0 ? 0x1F000000u + n % 0x1000 : 0x100u + n % 0x600, data);
    f.setExtendedFrameFormat(n % 3 == 0);
    return f;
}

class RealBusEndToEnd : public ::testing::Test {
protected:
    TempRuntimeDir m_dir;
};

}  // namespace

TEST_F(RealBusEndToEnd, VirtualCanFramesReachTheStoreAndTheProgramsFramesReachTheBus) {
    VirtualCanHub hub;
    ASSERT_TRUE(hub.start());
    auto rest = member(hub.interfaceName());
    ASSERT_TRUE(rest);
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--quiet", "--unauthenticated-test-bus", "--source",
                      "canbus:virtualcan:" + hub.interfaceName()});
    ASSERT_TRUE(host.ready());
    ASSERT_EQ(Vexa_INIT(), 1);
    ASSERT_EQ(SetVexa(0, 500, 0, 1), 1);
    CaptureSpine spine;
    spine.capture(true);
    ASSERT_EQ(RunVexa(), 1);

    constexpr std::uint32_t kFrames = 300;
    for (std::uint32_t n = 0; n < kFrames; ++n) ASSERT_TRUE(rest->writeFrame(numbered(n)));
    QCanBusFrame remote(0x7FF, QByteArray(4, '\0'));
    remote.setFrameType(QCanBusFrame::RemoteRequestFrame);
    ASSERT_TRUE(rest->writeFrame(remote));
    ASSERT_TRUE(waitUntil([&] { return spine.store().count() >= kFrames + 1; }))
        << spine.store().count() << " frames stored";
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(spine.store().count(), kFrames + 1);
    std::uint64_t previousMs = 0;
    for (std::uint32_t n = 0; n < kFrames; ++n) {
        const CapturedFrame& c = spine.store().at(n);
        const QCanBusFrame want = numbered(n);
        ASSERT_EQ(c.identifier, want.frameId()) << n;
        EXPECT_EQ(c.format, want.hasExtendedFrameFormat() ? 1 : 0);
        EXPECT_EQ(c.length, 8);
        EXPECT_EQ(std::memcmp(c.data, want.payload().constData(), 8), 0) << n;
        const std::uint64_t ms = (std::uint64_t{c.minutes} * 60 + c.seconds) * 1000 + c.millis;
        EXPECT_GE(ms, previousMs) << "time stamps go forward";
        previousMs = ms;
    }
    const CapturedFrame& last = spine.store().at(kFrames);
    EXPECT_EQ(last.status, 1u);
    EXPECT_EQ(last.length, 4);

    // The program sends: one frame by hand, then a cyclic set of two, three rounds.
    ASSERT_EQ(SendSingleData(message(0x1ABCDEF, true, {0xCA, 0xFE})), 1);
    const TxMessage set[2] = {message(0x010, false, {1}), message(0x020, false, {2, 2})};
    ASSERT_EQ(SetMultiData(set, 2, 10, 3), 1);
    ASSERT_EQ(RunMultiData(), 1);
    std::vector<QCanBusFrame> heard;
    ASSERT_TRUE(waitUntil([&] {
        while (rest->framesAvailable() > 0) heard.push_back(rest->readFrame());
        return heard.size() >= 7;
    })) << heard.size()
        << " frames heard";
    EXPECT_EQ(heard[0].frameId(), 0x1ABCDEFu);
    EXPECT_TRUE(heard[0].hasExtendedFrameFormat());
    EXPECT_EQ(heard[0].payload(), QByteArray("\xCA\xFE", 2));
    for (std::size_t i = 1; i < 7; ++i) {
        EXPECT_EQ(heard[i].frameId(), i % 2 == 1 ? 0x010u : 0x020u) << i;
    }
    // What the adapter sends it does not capture.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(spine.store().count(), kFrames + 1);
    StopVexa();
}

TEST_F(RealBusEndToEnd, ALostInterfaceIsASurpriseRemovalAndTheCaptureSurvivesIt) {
    VirtualCanHub hub;
    ASSERT_TRUE(hub.start());
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--quiet", "--unauthenticated-test-bus", "--source",
                      "canbus:virtualcan:" + hub.interfaceName()});
    ASSERT_TRUE(host.ready());
    auto rest = member(hub.interfaceName());
    ASSERT_TRUE(rest);
    ASSERT_EQ(Vexa_INIT(), 1);
    ASSERT_EQ(SetVexa(0, 250, 0, 2), 1);
    CaptureSpine spine;
    spine.capture(true);
    ASSERT_EQ(RunVexa(), 1);
    for (std::uint32_t n = 0; n < 20; ++n) ASSERT_TRUE(rest->writeFrame(numbered(n)));
    ASSERT_TRUE(waitUntil([&] { return spine.store().count() == 20; }));

    // The bus goes: the adapter leaves the driver host, as if unplugged.
    rest.reset();
    hub.stop();
    const auto interfaces = std::filesystem::path(m_dir.path()) / "interfaces" /
                            "{A71602A8-A799-44DC-805F-7FF25F30BEDB}";
    ASSERT_TRUE(waitUntil([&] { return noSockets(interfaces); }));
    std::int32_t status = 0, mode = 0, node = 0, baud = 0, version = 0;
    EXPECT_EQ(GetVexaInfo(&status, &mode, &node, &baud, &version), 0);
    EXPECT_EQ(Vexa_INIT(), 0);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(spine.store().count(), 20u) << "what was captured stays";

    // It comes back as a newly powered adapter that wants its set-up again.
    ASSERT_TRUE(hub.start());
    ASSERT_TRUE(waitUntil([&] { return Vexa_INIT() == 1; }, 10'000ms));
    ASSERT_EQ(GetVexaInfo(&status, &mode, &node, &baud, &version), 1);
    EXPECT_EQ(status, 2) << "not capturing after power-on";
    ASSERT_EQ(SetVexa(0, 250, 0, 2), 1);
    ASSERT_EQ(RunVexa(), 1);
    rest = member(hub.interfaceName());
    ASSERT_TRUE(rest);
    std::this_thread::sleep_for(100ms);
    for (std::uint32_t n = 20; n < 30; ++n) ASSERT_TRUE(rest->writeFrame(numbered(n)));
    ASSERT_TRUE(waitUntil([&] { return spine.store().count() == 30; }))
        << spine.store().count() << " frames stored";
    EXPECT_EQ(spine.store().at(29).identifier, numbered(29).frameId());
    StopVexa();
}

TEST_F(RealBusEndToEnd, SlcanAdapterTakesTheSetUpAndCarriesFramesBothWays) {
    ScriptedSlcanDevice device(m_dir.path() + "/ttyACM0");
    ASSERT_TRUE(device.ok());
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--quiet", "--source", "slcan:" + device.path() + ",baud=921600"});
    ASSERT_TRUE(host.ready());
    EXPECT_EQ(device.commands(), (std::vector<std::string>{"C", "V", "N"}));
    ASSERT_EQ(Vexa_INIT(), 1);
    // A rate slcan cannot name: the program would show its set-up failure.
    device.clearCommands();
    EXPECT_EQ(SetVexa(0, 33, 0, 1), 0);
    ASSERT_EQ(SetVexa(0, 125, 1, 1), 1);
    ASSERT_TRUE(device.waitForCommands(4));
    const auto c = device.commands();
    EXPECT_EQ(std::vector<std::string>(c.begin(), c.begin() + 4),
              (std::vector<std::string>{"C", "S4", "Z1", "L"}));
    ASSERT_EQ(SetVexa(0, 125, 0, 1), 1);
    CaptureSpine spine;
    spine.capture(true);
    ASSERT_EQ(RunVexa(), 1);
    device.send("t1238000102030405060700C8\rnoise\r\at7FF0\rT1FFFFFFF2ABCD00D2\r");
    ASSERT_TRUE(waitUntil([&] { return spine.store().count() == 3; }))
        << spine.store().count() << " frames stored";
    EXPECT_EQ(spine.store().at(0).identifier, 0x123u);
    EXPECT_EQ(spine.store().at(0).data[7], 0x07);
    EXPECT_EQ(spine.store().at(1).identifier, 0x7FFu);
    EXPECT_EQ(spine.store().at(2).format, 1);
    EXPECT_EQ(spine.store().at(2).data[1], 0xCD);

    device.clearCommands();
    ASSERT_EQ(SendSingleData(message(0x456, false, {0x99})), 1);
    ASSERT_TRUE(waitUntil([&] {
        for (const auto& s : device.commands()) {
            if (s == "t456199") return true;
        }
        return false;
    }));

    // Unplugged and plugged in again.
    device.unplug();
    const auto interfaces = std::filesystem::path(m_dir.path()) / "interfaces" /
                            "{A71602A8-A799-44DC-805F-7FF25F30BEDB}";
    ASSERT_TRUE(waitUntil([&] { return noSockets(interfaces); }));
    EXPECT_EQ(spine.store().count(), 3u);
    ASSERT_TRUE(device.replug());
    ASSERT_TRUE(waitUntil([&] { return Vexa_INIT() == 1; }, 10'000ms));
    ASSERT_EQ(SetVexa(0, 1000, 0, 1), 1);
    ASSERT_EQ(RunVexa(), 1);
    device.send("t0011AA\r");
    ASSERT_TRUE(waitUntil([&] { return spine.store().count() == 4; }));
    StopVexa();
}

namespace {

// Runs adp4021d with `arguments`; its output (both streams) and exit status.
std::pair<std::string, int> runHost(const std::string& arguments) {
    // A host that should have refused but serves instead is ended, not waited for.
    const std::string command =
        "timeout -s KILL 10 " + std::string(ADP4021D_PATH) + " " + arguments + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

TEST_F(RealBusEndToEnd, TheHostListsBusesAndRefusesBusesItCannotOpen) {
    auto [list, status] = runHost("--list-buses");
    EXPECT_EQ(status, 0);
    EXPECT_NE(list.find("canbus:virtualcan:can0"), std::string::npos) << list;
    EXPECT_NE(list.find("Serial ports that may be slcan adapters"), std::string::npos) << list;

    const std::string runtime = " --quiet --runtime-dir " + m_dir.path();
    auto [noPlugin, s1] = runHost(runtime + " --source canbus:virtualcan");
    EXPECT_EQ(s1, 1);
    EXPECT_NE(noPlugin.find("expected canbus:PLUGIN:INTERFACE"), std::string::npos) << noPlugin;
    auto [badBaud, s2] = runHost(runtime + " --source slcan:/dev/null,baud=12x");
    EXPECT_EQ(s2, 1);
    EXPECT_NE(badBaud.find("baud rate must be"), std::string::npos) << badBaud;
    auto [missing, s3] = runHost(runtime + " --source slcan:" + m_dir.path() + "/ttyNONE");
    EXPECT_EQ(s3, 1);
    EXPECT_NE(missing.find("cannot open"), std::string::npos) << missing;
    // One serial adapter cannot stand under two emulated ones.
    ScriptedSlcanDevice device(m_dir.path() + "/ttyACM1");
    auto [twice, s4] = runHost(runtime + " --adapters 2 --source slcan:" + device.path());
    EXPECT_EQ(s4, 1);
    EXPECT_NE(twice.find("serves one emulated adapter only"), std::string::npos) << twice;
}

TEST_F(RealBusEndToEnd, TheHostEndsWithinASecondOfSigtermWhileItWaitsForASlowAdapter) {
    // The adapter answers C, then leaves V and N unanswered: the host waits for each in turn,
    // about a second in all, before it could act on a signal.
    ScriptedSlcanDevice device(m_dir.path() + "/ttyACM2");
    ASSERT_TRUE(device.ok());
    device.setResponder([](const std::string& command) {
        return command == "C" ? std::string("\r") : std::string();
    });
    const std::string errors = m_dir.path() + "/stderr.txt";
    const pid_t pid =
        startHost(ADP4021D_PATH,
                  {"--quiet", "--runtime-dir", m_dir.path(), "--source", "slcan:" + device.path()},
                  errors, nullptr);
    ASSERT_TRUE(device.waitForCommands(2, 10'000)) << "the host did not ask for the version";
    const auto signalled = std::chrono::steady_clock::now();
    ::kill(pid, SIGTERM);
    EXPECT_EQ(waitForHost(pid, 5s), 124);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 2s);
    std::string said;
    if (std::FILE* f = std::fopen(errors.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, f) != nullptr) said += buffer;
        std::fclose(f);
    }
    EXPECT_NE(said.find("Terminated, but the host did not end within 750 ms"), std::string::npos)
        << said;
    const auto [help, helped] = runHost("--help");
    EXPECT_NE(help.find("124"), std::string::npos) << help;
}

TEST_F(RealBusEndToEnd, TheVirtualBusIsJoinedOnlyWhenAskedForAndNeverServedByTheHost) {
    const auto [help, helped] = runHost("--help");
    EXPECT_EQ(helped, 0);
    EXPECT_NE(help.find("--unauthenticated-test-bus"), std::string::npos) << help;
    EXPECT_NE(help.find("without authentication"), std::string::npos) << help;

    VirtualCanHub hub;  // not started: nothing serves its port
    const std::string runtime = " --quiet --runtime-dir " + m_dir.path();
    const std::string bus = " --source canbus:virtualcan:" + hub.interfaceName();
    auto [unasked, s1] = runHost(runtime + bus);
    EXPECT_EQ(s1, 1);
    EXPECT_NE(unasked.find("add --unauthenticated-test-bus"), std::string::npos) << unasked;
    auto [unserved, s2] = runHost(runtime + " --unauthenticated-test-bus" + bus);
    EXPECT_EQ(s2, 1);
    EXPECT_NE(unserved.find("start virtualcan_hub"), std::string::npos) << unserved;
}

TEST_F(RealBusEndToEnd, MalformedLinesOnTheVirtualBusReachNeitherTheHostNorTheStore) {
    VirtualCanHub hub;
    ASSERT_TRUE(hub.start());
    HostProcess host(ADP4021D_PATH, m_dir.path(),
                     {"--quiet", "--unauthenticated-test-bus", "--source",
                      "canbus:virtualcan:" + hub.interfaceName()});
    ASSERT_TRUE(host.ready());
    ASSERT_EQ(Vexa_INIT(), 1);
    ASSERT_EQ(SetVexa(0, 500, 0, 1), 1);
    CaptureSpine spine;
    spine.capture(true);
    ASSERT_EQ(RunVexa(), 1);

    // Any local process: lines Qt's plugin crashes on or misreads, then one that never ends.
    VirtualCanMember bad(hub.port());
    ASSERT_TRUE(bad.ok());
    ASSERT_TRUE(bad.send("can0:garbage\ncan0:-1##00\ncan0:291#\ncan0:\n"));
    (void)bad.send(std::string(200'000, 'A'));
    EXPECT_TRUE(bad.closedByPeer(3000));
    VirtualCanMember good(hub.port());
    ASSERT_TRUE(good.send("can0:291##0102\n"));
    ASSERT_TRUE(waitUntil([&] { return spine.store().count() >= 1; }));
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(spine.store().count(), 1u);
    EXPECT_EQ(spine.store().at(0).identifier, 0x123u);
    EXPECT_EQ(spine.store().at(0).data[1], 0x02);
    StopVexa();
    EXPECT_EQ(host.stop(), 0);
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
