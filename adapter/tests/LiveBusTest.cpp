// Real buses under the adapter, each against something that plays the rest of the bus: a
// scripted slcan adapter on a pseudo-terminal, Qt's virtual CAN bus, a vcan interface where the
// machine has one, and a hand-fed live source for the adapter's own side.

#include "adapter/CanBusSource.h"
#include "adapter/EmulatedAdapter.h"
#include "adapter/SlcanSource.h"
#include "adapter/SocketCanLink.h"
#include "tests/support/ScriptedSlcanDevice.h"
#include "tests/support/VirtualCanHub.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include <sys/wait.h>

using namespace std::chrono_literals;

namespace {

// Waits for `done`, keeping this thread's Qt events moving.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The host's log, kept for the test to read.
class LogLines {
public:
    LiveBusSource::Log sink() {
        return [this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        };
    }
    [[nodiscard]] bool has(const std::string& part) const {
        std::lock_guard lock(m_mutex);
        for (const auto& l : m_lines) {
            if (l.find(part) != std::string::npos) return true;
        }
        return false;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

std::vector<BusFrame> drain(BusSource& source) {
    std::vector<BusFrame> out;
    BusFrame f;
    std::uint64_t at = 0;
    while (source.next(f, at)) {
        out.push_back(f);
        source.pop();
    }
    return out;
}

std::vector<std::pair<BusFrame, std::uint64_t>> drainTimed(BusSource& source) {
    std::vector<std::pair<BusFrame, std::uint64_t>> out;
    BusFrame f;
    std::uint64_t at = 0;
    while (source.next(f, at)) {
        out.emplace_back(f, at);
        source.pop();
    }
    return out;
}

class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/livebus-XXXXXX";
        m_path = ::mkdtemp(name);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace

// --- slcan ---------------------------------------------------------------------------------------

class Slcan : public ::testing::Test {
protected:
    Slcan() : m_device(m_dir.path() + "/ttyACM0") {}

    std::unique_ptr<SlcanSource> startSource() {
        SlcanSource::Options o;
        o.device = m_device.path();
        o.statusPollMs = 50;
        o.reopenMs = 50;
        o.replyTimeoutMs = 300;
        auto source = std::make_unique<SlcanSource>(o, m_log.sink());
        std::string error;
        EXPECT_TRUE(source->start(error)) << error;
        source->powerOn(std::chrono::steady_clock::now());
        return source;
    }

    TempDir m_dir;
    ScriptedSlcanDevice m_device;
    LogLines m_log;
};

TEST_F(Slcan, StartsClosedAndOpensTheChannelAtTheSetUpRateAndMode) {
    ASSERT_TRUE(m_device.ok());
    auto source = startSource();
    EXPECT_EQ(m_device.commands(), (std::vector<std::string>{"C", "V", "N"}));
    EXPECT_TRUE(waitUntil([&] { return m_log.has("version 1013"); }));
    EXPECT_TRUE(waitUntil([&] { return m_log.has("serial number A1B2"); }));

    m_device.clearCommands();
    EXPECT_TRUE(source->configure(500, 0));
    EXPECT_EQ(m_device.commands(), (std::vector<std::string>{"C", "S6", "Z1", "O"}));
    m_device.clearCommands();
    EXPECT_TRUE(source->configure(10, 1));  // Monitor Non-ACK mode listens only
    const auto listening = m_device.commands();
    ASSERT_GE(listening.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(listening.begin(), listening.begin() + 4),
              (std::vector<std::string>{"C", "S0", "Z1", "L"}));

    // A rate slcan cannot name is refused before anything is sent.
    m_device.setResponder([](const std::string& c) {
        return c == "F" ? std::string("F00\r") : ScriptedSlcanDevice::defaultAnswer(c);
    });
    m_device.clearCommands();
    EXPECT_FALSE(source->configure(33, 0));
    std::this_thread::sleep_for(100ms);
    for (const auto& c : m_device.commands()) EXPECT_EQ(c, "F");  // status polls only
    EXPECT_TRUE(waitUntil([&] { return m_log.has("33 kbit/s refused"); }));

    // An adapter that refuses the rate or the opening refuses the set-up.
    m_device.setResponder([](const std::string& c) {
        return c == "S8" ? std::string("\a") : ScriptedSlcanDevice::defaultAnswer(c);
    });
    EXPECT_FALSE(source->configure(1000, 0));
    m_device.setResponder([](const std::string& c) {
        return c == "O" ? std::string("\a") : ScriptedSlcanDevice::defaultAnswer(c);
    });
    EXPECT_FALSE(source->configure(125, 0));
    // An adapter without time stamps still works, on arrival times.
    m_device.setResponder([](const std::string& c) {
        return c == "Z1" ? std::string("\a") : ScriptedSlcanDevice::defaultAnswer(c);
    });
    EXPECT_TRUE(source->configure(125, 0));
    EXPECT_TRUE(waitUntil([&] { return m_log.has("no time stamps"); }));
}

TEST_F(Slcan, TakesFramesAndSkipsWhatItCannotUse) {
    auto source = startSource();
    ASSERT_TRUE(source->configure(500, 0));
    // A frame, noise, a frame with a stamp across the wrap, an unsolicited refusal, a frame cut
    // short, a remote frame.
    m_device.send("t1232AABBEA50\r");
    std::this_thread::sleep_for(20ms);
    m_device.send("hello\rT01ABCDEF1FF0005\r\a");
    m_device.send("t12\rr7FF3\r");
    ASSERT_TRUE(waitUntil([&] { return source->stats().framesHeard >= 3; }));
    std::this_thread::sleep_for(50ms);
    const auto frames = drainTimed(*source);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].first.identifier, 0x123u);
    EXPECT_EQ(frames[0].first.data[1], 0xBB);
    EXPECT_TRUE(frames[1].first.extended);
    EXPECT_EQ(frames[1].first.identifier, 0x1ABCDEFu);
    EXPECT_TRUE(frames[2].first.remote);
    EXPECT_EQ(frames[2].first.length, 3);
    // 59984 ms, then 5 ms after the wrap: 21 ms apart by the adapter, and they came ~20 ms apart.
    EXPECT_GE(frames[1].second - frames[0].second, 15'000u);
    EXPECT_LE(frames[1].second - frames[0].second, 30'000u);
    EXPECT_GE(frames[2].second, frames[1].second);
    const LiveBusStats s = source->stats();
    EXPECT_EQ(s.linesRejected, 3u);  // "hello", "t12", the BEL answering nothing
    EXPECT_TRUE(waitUntil([&] { return m_log.has("line skipped"); }));
}

TEST_F(Slcan, SendsTheAdaptersFramesAndCountsRefusalsAndOverruns) {
    auto source = startSource();
    BusFrame f;
    f.identifier = 0x321;
    f.length = 2;
    f.data[0] = 0x01;
    f.data[1] = 0x02;
    // Nothing goes out before the channel is open.
    source->transmitted(f);
    ASSERT_TRUE(waitUntil([&] { return source->stats().framesNotSent == 1; }));

    m_device.setResponder([](const std::string& c) {
        if (c == "F") return std::string("F08\r");  // data overrun
        if (c == "T0000007F0") return std::string("\a");
        return ScriptedSlcanDevice::defaultAnswer(c);
    });
    ASSERT_TRUE(source->configure(250, 0));
    m_device.clearCommands();
    source->transmitted(f);
    BusFrame refused;
    refused.identifier = 0x7F;
    refused.extended = true;
    source->transmitted(refused);
    ASSERT_TRUE(waitUntil([&] {
        const auto c = m_device.commands();
        return std::find(c.begin(), c.end(), "T0000007F0") != c.end();
    }));
    const auto c = m_device.commands();
    EXPECT_NE(std::find(c.begin(), c.end(), "t32120102"), c.end());
    ASSERT_TRUE(waitUntil([&] {
        const auto s = source->stats();
        return s.errorReplies >= 1 && s.overruns >= 1;
    }));
    EXPECT_EQ(source->stats().framesSent, 2u);
    // The source counts first and then writes its line.
    EXPECT_TRUE(waitUntil([&] { return m_log.has("lost frames"); }));
    EXPECT_TRUE(waitUntil([&] { return m_log.has("T0000007F0 refused"); }));

    // Listening only: the adapter's frames stay with us.
    ASSERT_TRUE(source->configure(250, 1));
    source->transmitted(f);
    ASSERT_TRUE(waitUntil([&] { return source->stats().framesNotSent == 2; }));
}

TEST_F(Slcan, AVanishedAdapterIsGoneUntilItComesBack) {
    auto source = startSource();
    ASSERT_TRUE(source->configure(500, 0));
    EXPECT_TRUE(source->present());
    m_device.unplug();
    ASSERT_TRUE(waitUntil([&] { return !source->present(); }));
    EXPECT_FALSE(source->configure(500, 0));
    m_device.clearCommands();
    ASSERT_TRUE(m_device.replug());
    ASSERT_TRUE(waitUntil([&] { return source->present(); }));
    // It comes back closed, as after any power-on, and opens on the next set-up.
    const auto c = m_device.commands();
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[0], "C");
    EXPECT_TRUE(source->configure(500, 0));
    m_device.send("t0011FF\r");
    ASSERT_TRUE(waitUntil([&] { return !drain(*source).empty(); }));
    EXPECT_EQ(source->stats().losses, 1u);
}

TEST_F(Slcan, AnAdapterLostBeforeItsSetUpIsNoticed) {
    auto source = startSource();
    EXPECT_TRUE(source->present());
    // Without a set-up nothing is written to the adapter: only the line itself can tell.
    m_device.unplug();
    ASSERT_TRUE(waitUntil([&] { return !source->present(); }));
    EXPECT_TRUE(waitUntil([&] { return m_log.has("the adapter is gone"); }));
    ASSERT_TRUE(m_device.replug());
    ASSERT_TRUE(waitUntil([&] { return source->present(); }));
    EXPECT_TRUE(source->configure(500, 0));
    EXPECT_EQ(source->stats().losses, 1u);
}

TEST_F(Slcan, ASerialDeviceThatIsNoAdapterIsRefusedAtStart) {
    m_device.setResponder([](const std::string&) { return std::string(); });
    SlcanSource::Options o;
    o.device = m_device.path();
    o.replyTimeoutMs = 100;
    SlcanSource source(o, m_log.sink());
    std::string error;
    EXPECT_FALSE(source.start(error));
    EXPECT_NE(error.find("does not answer"), std::string::npos) << error;
    SlcanSource::Options none;
    none.device = m_dir.path() + "/missing";
    SlcanSource missing(none, m_log.sink());
    EXPECT_FALSE(missing.start(error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

// --- Qt Serial Bus
// ---------------------------------------------------------------------------------

class VirtualCan : public ::testing::Test {
protected:
    std::unique_ptr<CanBusSource> startSource(const std::string& interface) {
        CanBusSource::Options o;
        o.plugin = "virtualcan";
        o.interface = interface;
        o.reopenMs = 50;
        auto source = std::make_unique<CanBusSource>(o, m_log.sink());
        std::string error;
        EXPECT_TRUE(source->start(error)) << error;
        source->powerOn(std::chrono::steady_clock::now());
        return source;
    }
    std::unique_ptr<QCanBusDevice> peer(const std::string& interface) {
        std::unique_ptr<QCanBusDevice> d(QCanBus::instance()->createDevice(
            QStringLiteral("virtualcan"), QString::fromStdString(interface)));
        EXPECT_TRUE(d && d->connectDevice());
        EXPECT_TRUE(waitUntil([&] { return d->state() == QCanBusDevice::ConnectedState; }));
        return d;
    }
    LogLines m_log;
};

TEST_F(VirtualCan, FramesTravelBothWays) {
    const std::string bus =
        "tcp://127.0.0.1:" + std::to_string(VirtualCanHub::freePort()) + "/can0";
    auto rest = peer(bus);  // this process holds the bus
    auto source = startSource(bus);
    // The bus, run by this thread, takes the new member in when its events are handled.
    waitUntil([] { return false; }, 200ms);
    EXPECT_TRUE(source->configure(500, 0));
    EXPECT_TRUE(source->configure(33, 1));  // a virtual bus takes any rate and mode
    EXPECT_FALSE(source->configure(0, 0));

    QCanBusFrame data(0x123, QByteArray("\x11\x22\x33", 3));
    QCanBusFrame extended(0x1ABCDEF, QByteArray(8, '\x5A'));
    extended.setExtendedFrameFormat(true);
    QCanBusFrame remote(0x7FF, QByteArray(2, '\0'));
    remote.setFrameType(QCanBusFrame::RemoteRequestFrame);
    for (const auto& f : {data, extended, remote}) ASSERT_TRUE(rest->writeFrame(f));
    std::vector<BusFrame> heard;
    ASSERT_TRUE(waitUntil([&] {
        for (const auto& f : drain(*source)) heard.push_back(f);
        return heard.size() >= 3;
    }));
    EXPECT_EQ(heard[0].identifier, 0x123u);
    EXPECT_EQ(heard[0].length, 3);
    EXPECT_EQ(heard[0].data[2], 0x33);
    EXPECT_TRUE(heard[1].extended);
    EXPECT_EQ(heard[1].data[7], 0x5A);
    EXPECT_TRUE(heard[2].remote);
    EXPECT_EQ(heard[2].length, 2);

    BusFrame own;
    own.identifier = 0x18FF00AA;
    own.extended = true;
    own.length = 1;
    own.data[0] = 0xEE;
    source->transmitted(own);
    ASSERT_TRUE(waitUntil([&] { return rest->framesAvailable() > 0; }));
    const QCanBusFrame got = rest->readFrame();
    EXPECT_EQ(got.frameId(), 0x18FF00AAu);
    EXPECT_TRUE(got.hasExtendedFrameFormat());
    EXPECT_EQ(got.payload(), QByteArray("\xEE", 1));
    EXPECT_EQ(source->stats().framesSent, 1u);
}

TEST_F(VirtualCan, ALostBusIsGoneUntilItComesBack) {
    VirtualCanHub hub;
    ASSERT_TRUE(hub.start());
    auto source = startSource(hub.interfaceName());
    EXPECT_TRUE(source->present());
    hub.stop();
    ASSERT_TRUE(waitUntil([&] { return !source->present(); }));
    EXPECT_TRUE(waitUntil([&] { return m_log.has("the interface is gone"); }));
    EXPECT_FALSE(source->configure(500, 0));
    ASSERT_TRUE(hub.start());
    ASSERT_TRUE(waitUntil([&] { return source->present(); }, 5000ms));
    auto rest = peer(hub.interfaceName());
    ASSERT_TRUE(rest->writeFrame(QCanBusFrame(0x42, QByteArray("\x01", 1))));
    ASSERT_TRUE(waitUntil([&] { return !drain(*source).empty(); }));
    EXPECT_EQ(source->stats().losses, 1u);
}

TEST_F(VirtualCan, ABusNobodyServesIsNotServedByUs) {
    const int port = VirtualCanHub::freePort();
    CanBusSource::Options o;
    o.plugin = "virtualcan";
    o.interface = "tcp://127.0.0.1:" + std::to_string(port) + "/can0";
    o.connectTimeoutMs = 500;
    CanBusSource source(o, m_log.sink());
    std::string error;
    EXPECT_FALSE(source.start(error));
    EXPECT_NE(error.find("start virtualcan_hub"), std::string::npos) << error;
    // Serving it would have let any local process reach us unchecked.
    EXPECT_FALSE(VirtualCanMember(port).ok());
}

namespace {

// Runs a command through the shell; what it wrote to stdout and its exit status.
std::pair<std::string, int> run(const std::string& command) {
    std::FILE* pipe = ::popen(("timeout -s KILL 10 " + command).c_str(), "r");
    std::string out;
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

TEST(VirtualCanHubLines, OnlyWellFormedFramesArePassedOnAndAMemberThatNeverEndsItsLineGoes) {
    VirtualCanHub hub;
    ASSERT_TRUE(hub.start());
    VirtualCanMember can0(hub.port()), can1(hub.port()), talker(hub.port());
    ASSERT_TRUE(can0.ok() && can1.ok() && talker.ok());
    ASSERT_TRUE(can0.send("connect:can0\n"));
    ASSERT_TRUE(can1.send("connect:can1\n"));
    std::this_thread::sleep_for(100ms);  // both have joined before anything is sent
    // Qt's plugin crashes on a line without its two '#' and reads "-1" as identifier 0.
    ASSERT_TRUE(
        talker.send("can0:291##0102\n"
                    "can0:garbage\n"
                    "can0:-1##00\n"
                    "can0:2048##00\n"
                    "can0:5#Q#\n"
                    "can0:5##0\n"
                    "can0:5##zz\n"
                    "can0:5##001122334455667788\n"
                    "can0:1#2#3#4\n"
                    "nonsense\n"
                    "can1:5##\n"
                    "can0:28036591#X#aa\r\n"
                    "can0:2047#R#000000\n"));
    EXPECT_EQ(can0.lines(3, 2000),
              (std::vector<std::string>{"291##0102", "28036591#X#aa", "2047#R#000000"}));
    EXPECT_EQ(can1.lines(1, 2000), (std::vector<std::string>{"5##"}));
    EXPECT_TRUE(can0.lines(1, 100).empty());

    (void)talker.send(std::string(200'000, '7'));
    EXPECT_TRUE(talker.closedByPeer(3000));
    VirtualCanMember next(hub.port());
    ASSERT_TRUE(next.send("can0:1##ff\n"));
    EXPECT_EQ(can0.lines(1, 2000), (std::vector<std::string>{"1##ff"}));
}

TEST(VirtualCanHubProgram, TellsItsUsageAndPutsFramesOnTheBusFromTheCommandLine) {
    const auto [usage, helped] = run(VirtualCanHub::program() + " --help");
    EXPECT_EQ(helped, 0);
    EXPECT_NE(usage.find("Usage: virtualcan_hub"), std::string::npos) << usage;
    EXPECT_NE(usage.find("--send"), std::string::npos) << usage;

    VirtualCanHub hub;
    ASSERT_TRUE(hub.start());
    VirtualCanMember listener(hub.port());
    ASSERT_TRUE(listener.send("connect:can0\n"));
    std::this_thread::sleep_for(100ms);
    const std::string send = VirtualCanHub::program() + " --send " + hub.interfaceName();
    EXPECT_EQ(run(send + " 12#X1 2>/dev/null").second, 2);
    EXPECT_EQ(run(send + " 123#DEADBEEF 18FF1021#01.02 7FF#R3").second, 0);
    EXPECT_EQ(listener.lines(4, 2000),
              (std::vector<std::string>{"291##deadbeef", "419368993#X#0102", "2047#R#000000"}));
}

TEST(CanBusSourceFrames, ErrorFramesAreCountedAndWhatTheAdapterCannotCarryIsSkipped) {
    BusFrame out;
    EXPECT_EQ(CanBusSource::fromCanBus(QCanBusFrame(QCanBusFrame::ErrorFrame), out),
              CanBusSource::Heard::ErrorFrame);
    QCanBusFrame fd(0x123, QByteArray(12, '\x01'));
    fd.setFlexibleDataRateFormat(true);
    EXPECT_EQ(CanBusSource::fromCanBus(fd, out), CanBusSource::Heard::NotCarried);
    QCanBusFrame fdShort(0x123, QByteArray(2, '\x01'));
    fdShort.setFlexibleDataRateFormat(true);
    EXPECT_EQ(CanBusSource::fromCanBus(fdShort, out), CanBusSource::Heard::NotCarried);
    EXPECT_EQ(CanBusSource::fromCanBus(QCanBusFrame(QCanBusFrame::InvalidFrame), out),
              CanBusSource::Heard::NotCarried);

    QCanBusFrame remote(0x1ABCDEF, QByteArray(3, '\x7F'));
    remote.setExtendedFrameFormat(true);
    remote.setFrameType(QCanBusFrame::RemoteRequestFrame);
    ASSERT_EQ(CanBusSource::fromCanBus(remote, out), CanBusSource::Heard::Frame);
    EXPECT_TRUE(out.remote && out.extended);
    EXPECT_EQ(out.identifier, 0x1ABCDEFu);
    EXPECT_EQ(out.length, 3);
    EXPECT_EQ(out.data[0], 0) << "a remote frame carries no data";
    ASSERT_EQ(CanBusSource::fromCanBus(QCanBusFrame(0x7FF, QByteArray("\x01\x02", 2)), out),
              CanBusSource::Heard::Frame);
    EXPECT_FALSE(out.remote || out.extended);
    EXPECT_EQ(out.data[1], 0x02);
}

TEST(CanBusSourceStart, UnusablePluginsAndInterfacesAreClearErrors) {
    LogLines log;
    std::string error;
    CanBusSource noPlugin({"nosuchplugin", "can0"}, log.sink());
    EXPECT_FALSE(noPlugin.start(error));
    EXPECT_NE(error.find("nosuchplugin"), std::string::npos) << error;
    CanBusSource noInterface({"socketcan", "korvane-none0"}, log.sink());
    EXPECT_FALSE(noInterface.start(error));
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
    EXPECT_NE(error.find("ip link set korvane-none0 up type can bitrate"), std::string::npos);
}

TEST(SocketCanLinkQuery, TellsWhetherAnInterfaceIsThereAndUp) {
    // The loopback interface is always there and up; it is no CAN controller, so it has no rate.
    const SocketCanLink lo = SocketCanLink::query("lo");
    EXPECT_TRUE(lo.exists);
    EXPECT_TRUE(lo.up);
    EXPECT_FALSE(lo.bitRate.has_value());
    EXPECT_FALSE(lo.listenOnly.has_value());
    const SocketCanLink none = SocketCanLink::query("korvane-none0");
    EXPECT_FALSE(none.exists);
    EXPECT_FALSE(none.up);
}

// A vcan interface, when the machine has one that is up.
std::string findVcan() {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/sys/class/net", ec)) {
        std::string name = e.path().filename();
        std::ifstream type(e.path() / "type"), flags(e.path() / "flags");
        int t = 0;
        std::string f;
        type >> t;
        flags >> f;
        if (t == 280 && name.rfind("vcan", 0) == 0 && (std::stoul(f, nullptr, 16) & 1) != 0) {
            return name;
        }
    }
    return {};
}

TEST(SocketCan, FramesTravelBothWaysOnVcan) {
    const std::string vcan = findVcan();
    if (vcan.empty()) {
        GTEST_SKIP() << "no vcan interface is up on this machine (as root: modprobe vcan; ip link "
                        "add dev vcan0 type vcan; ip link set vcan0 up)";
    }
    LogLines log;
    CanBusSource source({"socketcan", vcan}, log.sink());
    std::string error;
    ASSERT_TRUE(source.start(error)) << error;
    source.powerOn(std::chrono::steady_clock::now());
    EXPECT_TRUE(source.configure(500, 0));  // vcan has no bit rate of its own
    std::unique_ptr<QCanBusDevice> rest(QCanBus::instance()->createDevice(
        QStringLiteral("socketcan"), QString::fromStdString(vcan)));
    ASSERT_TRUE(rest && rest->connectDevice());
    ASSERT_TRUE(rest->writeFrame(QCanBusFrame(0x321, QByteArray("\x0A\x0B", 2))));
    std::vector<BusFrame> heard;
    ASSERT_TRUE(waitUntil([&] {
        for (const auto& f : drain(source)) heard.push_back(f);
        return !heard.empty();
    }));
    EXPECT_EQ(heard[0].identifier, 0x321u);
    EXPECT_EQ(heard[0].data[1], 0x0B);
    BusFrame own;
    own.identifier = 0x55;
    own.length = 0;
    source.transmitted(own);
    ASSERT_TRUE(waitUntil([&] {
        while (rest->framesAvailable() > 0) {
            if (rest->readFrame().frameId() == 0x55) return true;
        }
        return false;
    }));
}

// --- the adapter on a live source
// ------------------------------------------------------------------

namespace {

// Frames fed by the test at bus times it chooses, and a set-up it may refuse.
class HandFedBus final : public BusSource {
public:
    bool next(BusFrame& f, std::uint64_t& at) override {
        std::lock_guard lock(m_mutex);
        if (m_frames.empty()) return false;
        f = m_frames.front().first;
        at = m_frames.front().second;
        return true;
    }
    void pop() override {
        std::lock_guard lock(m_mutex);
        m_frames.erase(m_frames.begin());
    }
    [[nodiscard]] bool live() const override { return true; }
    void powerOn(std::chrono::steady_clock::time_point) override { ++powerOns; }
    [[nodiscard]] bool configure(std::uint16_t kbps, std::uint8_t mode) override {
        asked.emplace_back(kbps, mode);
        return accept;
    }
    void transmitted(const BusFrame& f) override {
        std::lock_guard lock(m_mutex);
        sent.push_back(f);
    }
    void feed(std::uint32_t id, std::uint64_t atUs) {
        BusFrame f;
        f.identifier = id;
        f.length = 8;
        std::lock_guard lock(m_mutex);
        m_frames.emplace_back(f, atUs);
    }
    [[nodiscard]] std::size_t sentCount() {
        std::lock_guard lock(m_mutex);
        return sent.size();
    }

    std::atomic<int> powerOns{0};
    std::vector<std::pair<std::uint16_t, std::uint8_t>> asked;
    bool accept = true;
    std::vector<BusFrame> sent;

private:
    std::mutex m_mutex;
    std::vector<std::pair<BusFrame, std::uint64_t>> m_frames;
};

std::vector<std::uint8_t> transfer(EmulatedAdapter& a, UCHAR endpoint, bool in,
                                   std::vector<std::uint8_t> bytes) {
    ULONG actual = 0;
    auto t = std::make_shared<UsbTransfer>(endpoint, in, true, bytes.data(),
                                           static_cast<ULONG>(bytes.size()),
                                           [&](USBD_STATUS, ULONG n) { actual = n; });
    a.submit(t);
    bytes.resize(in ? actual : 0);
    return bytes;
}

std::vector<std::uint8_t> command(EmulatedAdapter& a, std::vector<std::uint8_t> block) {
    block.resize(64, 0);
    transfer(a, 0x01, false, block);
    return transfer(a, 0x81, true, std::vector<std::uint8_t>(64));
}

}  // namespace

TEST(LiveAdapter, TakesTheBusTimesOfARealBusAndItsSetUpVerdict) {
    auto owned = std::make_unique<HandFedBus>();
    HandFedBus& bus = *owned;
    EmulatedAdapter adapter(std::move(owned), {});
    EXPECT_EQ(bus.powerOns, 1);
    adapter.selectConfiguration(1);

    // The bus refuses: so does the adapter, and it keeps its previous rate.
    bus.accept = false;
    EXPECT_EQ(command(adapter, {0x01, 0x05, 1, 0, 0, 0x00, 0x21, 1})[1], 0x00);
    bus.accept = true;
    EXPECT_EQ(command(adapter, {0x01, 0x05, 0, 0, 0, 0x00, 0x0A, 1})[1], 0x01);  // 10 kbit/s
    ASSERT_EQ(bus.asked.size(), 2u);
    EXPECT_EQ(bus.asked[0], (std::pair<std::uint16_t, std::uint8_t>{33, 1}));
    EXPECT_EQ(bus.asked[1], (std::pair<std::uint16_t, std::uint8_t>{10, 0}));
    const auto info = command(adapter, {0x04});
    EXPECT_EQ(info[4] << 8 | info[5], 10);

    // Nothing yet is not the end: frames that come later are still taken.
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(command(adapter, {0x03, 0x01, 0x01})[1], 0x01);
    // Twenty 8-byte frames within 2 ms would take 26 ms at 10 kbit/s; a real bus carried them
    // already, so they keep their own times.
    for (std::uint32_t i = 0; i < 20; ++i) bus.feed(0x100 + i, 30'000 + i * 100);
    for (int i = 0; i < 500 && adapter.stats().framesBuffered < 20; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(adapter.stats().framesBuffered, 20u);
    std::vector<std::uint8_t> records;
    for (int r = 0; r < 2; ++r) {
        const auto read = transfer(adapter, 0x82, true, std::vector<std::uint8_t>(384));
        for (std::size_t b = 0; b < 6; ++b) {
            for (std::size_t k = 0; k < 3; ++k) {
                const std::uint8_t* rec = &read[b * 64 + k * 19];
                if (rec[2] == 0xFF) continue;
                records.insert(records.end(), rec, rec + 19);
            }
        }
    }
    ASSERT_EQ(records.size(), 20u * 19);
    for (std::uint32_t i = 0; i < 20; ++i) {
        const std::uint8_t* rec = &records[std::size_t{i} * 19];
        const std::uint32_t ms =
            std::uint32_t{rec[2]} << 14 | std::uint32_t{rec[3]} << 6 | rec[4] >> 2;
        const std::uint32_t us = (rec[4] & 0x03u) << 8 | rec[5];
        EXPECT_EQ(ms * 1000 + us, 30'000 + i * 100) << i;
        EXPECT_EQ((rec[6] << 8 | rec[7]), static_cast<int>(0x100 + i));
    }

    // The adapter's own frame goes to the bus.
    std::vector<std::uint8_t> send = {0x02, 8, 0x00, 2, 0x01, 0x23, 0, 0, 0xAA, 0xBB};
    EXPECT_EQ(command(adapter, send)[1], 0x01);
    for (int i = 0; i < 500 && bus.sentCount() == 0; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(bus.sentCount(), 1u);
    EXPECT_EQ(bus.sent[0].identifier, 0x123u);
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
