#include "adapter/EmulatedAdapter.h"
#include "adapter/FullLoadGenerator.h"
#include "adapter/LogReplay.h"
#include "interop/LogWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

TEST(FrameBits, StuffingAndTheFrameLayout) {
    for (std::uint8_t length = 0; length <= 8; ++length) {
        for (bool extended : {false, true}) {
            BusFrame f;
            f.extended = extended;
            f.length = length;
            f.identifier = extended ? 0x1ABCDEF : 0x2A5;
            const unsigned plain = (extended ? 67u : 47u) + 8u * length;
            const unsigned stuffable = plain - 13;  // SOF up to the end of the CRC
            const unsigned bits = frameBits(f);
            EXPECT_GE(bits, plain);
            EXPECT_LE(bits, plain + (stuffable - 1) / 4);
        }
    }
    // Long runs of equal bits cost stuff bits that alternating ones do not.
    BusFrame ones;
    ones.length = 8;
    for (auto& b : ones.data) b = 0xFF;
    BusFrame alternating = ones;
    for (auto& b : alternating.data) b = 0x55;
    EXPECT_GE(frameBits(ones), frameBits(alternating) + 10);
    // A remote frame carries no data field, whatever its length code says.
    BusFrame remote = alternating;
    remote.remote = true;
    EXPECT_LT(frameBits(remote), 47u + 8u + 8u);
}

namespace {

// A replay of `text` through a fresh reader of `Reader` for each round, started as the adapter
// starts it when capturing first starts (at 0 on the bus clock) unless `started` is false.
template <class Reader>
std::unique_ptr<LogReplay> replayOf(std::string text, bool loop, LogReplay::Report report = nullptr,
                                    bool started = true) {
    auto bytes = std::make_shared<std::string>(std::move(text));
    auto replay = std::make_unique<LogReplay>(
        [bytes](std::string&) -> std::unique_ptr<LogReader> {
            auto reader = std::make_unique<Reader>();
            reader->openMemory(*bytes);
            return reader;
        },
        loop, std::move(report));
    if (started) replay->captureStarted(0);
    return replay;
}

// The replay's next frame, once its reader has one; false at its end.
bool nextFrame(LogReplay& replay, BusFrame& f, std::uint64_t& at) {
    for (int i = 0; i < 3000; ++i) {
        if (!replay.next(f, at)) return false;
        if (at != BusSource::kNothingYetUs) return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

}  // namespace

TEST(Replay, TakesBothLogFormatsThroughTheirReadersAndKeepsThePace) {
    std::mutex mutex;
    std::vector<LogReadResult> reports;
    auto candump = replayOf<CandumpReader>(
        "(1436509052.249713) vcan0 044#2A366C2BBA\n"
        "(1436509052.449847) vcan0 0FF#R\n"
        "(1436509052.549847) can1 12345678#11.22.33\n"
        "garbage\n"
        "(1436509052.349847) can1 7FF#R3\n"
        "(1436509053.049847) vcan0 044##0112233\n",
        false, [&](const LogReadResult& r) {
            std::lock_guard lock(mutex);
            reports.push_back(r);
        });
    std::vector<std::pair<BusFrame, std::uint64_t>> frames;
    BusFrame f;
    std::uint64_t at = 0;
    while (nextFrame(*candump, f, at)) {
        frames.emplace_back(f, at);
        candump->pop();
    }
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].second, 0u);
    EXPECT_EQ(frames[0].first.length, 5);
    EXPECT_EQ(frames[0].first.data[4], 0xBA);
    EXPECT_TRUE(frames[1].first.remote);
    EXPECT_EQ(frames[1].second, 200'134u);
    EXPECT_TRUE(frames[2].first.extended);
    EXPECT_EQ(frames[2].first.length, 3);
    // A frame earlier than the one before goes right after it.
    EXPECT_EQ(frames[3].second, 300'134u);
    EXPECT_EQ(frames[3].first.length, 3);
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].frames, 4u);
        EXPECT_EQ(reports[0].skippedLines(), 2u);
        EXPECT_EQ(reports[0].warnings.at(0).line, 4u);
    }

    auto asc = replayOf<AscReader>(
        "base hex  timestamps absolute\n 1.5 1 123 Rx d 1 AA\n 1.75 1 1x Rx r 2\n", true);
    ASSERT_TRUE(nextFrame(*asc, f, at));
    EXPECT_EQ(at, 0u);
    EXPECT_EQ(f.data[0], 0xAA);
    asc->pop();
    ASSERT_TRUE(nextFrame(*asc, f, at));
    EXPECT_EQ(at, 250'000u);
    EXPECT_TRUE(f.remote && f.extended);
    asc->pop();
    // Looping: the next round a millisecond after the last frame.
    ASSERT_TRUE(nextFrame(*asc, f, at));
    EXPECT_EQ(at, 251'000u);

    std::string error;
    EXPECT_FALSE(LogReplay::openFile("/nonexistent/x.asc", false, nullptr, error));
    EXPECT_FALSE(error.empty());
}

TEST(Replay, ALongLogIsReadAsItPlaysWithABoundedRunAhead) {
    // Many more frames than the replay keeps ready, one millisecond apart.
    constexpr std::size_t kFrames = LogReplay::kFramesAhead * 5;
    std::string text;
    char line[64];
    for (std::size_t n = 0; n < kFrames; ++n) {
        std::snprintf(line, sizeof line, "(%zu.%06zu) can0 %03zX#%02zX\n", 100 + n / 1000,
                      n % 1000 * 1000, n % 0x800, n % 0x100);
        text += line;
    }
    auto replay = replayOf<CandumpReader>(std::move(text), false);
    BusFrame f;
    std::uint64_t at = 0;
    ASSERT_TRUE(nextFrame(*replay, f, at));
    // The reader runs ahead as far as it may, and no further.
    for (int i = 0; i < 3000 && replay->framesAhead() < LogReplay::kFramesAhead; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(replay->framesAhead(), LogReplay::kFramesAhead);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(replay->framesAhead(), LogReplay::kFramesAhead);
    std::size_t n = 0;
    while (nextFrame(*replay, f, at)) {
        ASSERT_EQ(f.identifier, n % 0x800) << n;
        ASSERT_EQ(at, n * 1000) << n;
        ASSERT_LE(replay->framesAhead(), LogReplay::kFramesAhead);
        replay->pop();
        ++n;
    }
    EXPECT_EQ(n, kFrames);
}

TEST(Replay, BlfAndPcapLogsAreTakenByTheirExtension) {
    char dir[] = "/tmp/replay-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    LogFrame a;
    a.timeUs = 1000;
    a.identifier = 0x123;
    a.length = 1;
    a.data[0] = 0x11;
    LogFrame b;
    b.timeUs = 3500;
    b.identifier = 0x1ABCDEF;
    b.extended = true;
    b.remote = true;
    b.length = 2;
    for (const char* name : {"/log.blf", "/log.pcap"}) {
        const std::string path = std::string(dir) + name;
        LogFormat format = LogFormat::kCandump;
        ASSERT_TRUE(logFormatOf(fileKindOf(path), format));
        auto writer = makeLogWriter(format, path, "can0", 0);
        writer->write(a);
        writer->write(b);
        ASSERT_TRUE(writer->commit()) << writer->error();
        std::string error;
        auto replay = LogReplay::openFile(path, false, nullptr, error);
        ASSERT_TRUE(replay) << error;
        replay->captureStarted(0);
        BusFrame f;
        std::uint64_t first = 0, at = 0;
        ASSERT_TRUE(nextFrame(*replay, f, first)) << name;
        EXPECT_EQ(f.identifier, 0x123u);
        EXPECT_EQ(f.data[0], 0x11);
        replay->pop();
        ASSERT_TRUE(nextFrame(*replay, f, at)) << name;
        EXPECT_EQ(f.identifier, 0x1ABCDEFu);
        EXPECT_TRUE(f.extended);
        EXPECT_TRUE(f.remote);
        EXPECT_EQ(at - first, 2500u);
        replay->pop();
        EXPECT_FALSE(nextFrame(*replay, f, at));
    }
    // A file named as a BLF log that is none is refused at once.
    const std::string text = std::string(dir) + "/text.blf";
    std::ofstream(text) << "(1.0) can0 123#11\n";
    std::string error;
    EXPECT_FALSE(LogReplay::openFile(text, false, nullptr, error));
    EXPECT_EQ(error, "not a BLF log: it does not begin with \"LOGG\"");
    std::system((std::string("rm -rf ") + dir).c_str());
}

TEST(Replay, TheLogWaitsForTheFirstCaptureAndLaterOnesFindItWhereItIs) {
    auto replay = replayOf<CandumpReader>(
        "(1700000000.000000) can0 101#01\n(1700000000.250000) can0 102#02\n", false, nullptr,
        false);
    for (int i = 0; i < 2000 && replay->framesAhead() < 2; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(replay->framesAhead(), 2u);
    BusFrame f;
    std::uint64_t at = 0;
    ASSERT_TRUE(replay->next(f, at));
    EXPECT_EQ(at, BusSource::kNothingYetUs) << "read, but not on the bus before a capture";
    replay->captureStarted(7'000'000);
    ASSERT_TRUE(nextFrame(*replay, f, at));
    EXPECT_EQ(f.identifier, 0x101u);
    EXPECT_EQ(at, 7'000'000u);
    replay->pop();
    replay->captureStarted(9'000'000);  // Stop and Capture again: the log goes on at its pace
    ASSERT_TRUE(nextFrame(*replay, f, at));
    EXPECT_EQ(f.identifier, 0x102u);
    EXPECT_EQ(at, 7'250'000u);
}

TEST(Replay, AReplayDestroyedAmidLinesWithoutFramesStopsReadingThem) {
    // Millions of lines, none of them a frame: reading them all takes a good while.
    constexpr std::uint64_t kLines = 10'000'000;
    auto bytes = std::make_shared<std::string>();
    bytes->reserve(kLines * 5);
    for (std::uint64_t n = 0; n < kLines; ++n) *bytes += "junk\n";
    std::atomic<bool> destroying{false};
    std::atomic<std::uint64_t> linesRead{0};
    auto replay = std::make_unique<LogReplay>(
        [bytes, &destroying](std::string&) -> std::unique_ptr<LogReader> {
            while (!destroying) std::this_thread::sleep_for(1ms);
            auto reader = std::make_unique<CandumpReader>();
            reader->openMemory(*bytes);
            return reader;
        },
        false, [&linesRead](const LogReadResult& r) { linesRead = r.lines; });
    destroying = true;
    replay.reset();
    // The report comes only once the log has been read through.
    EXPECT_LT(linesRead.load(), kLines);
}

TEST(Replay, OnlyRegularFilesAreReplayed) {
    std::string error;
    EXPECT_FALSE(LogReplay::openFile("/dev/zero", true, nullptr, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    char dir[] = "/tmp/replay-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string fifo = std::string(dir) + "/log.asc";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Refused at once: opening a FIFO nobody writes to would wait for ever.
    error.clear();
    EXPECT_FALSE(LogReplay::openFile(fifo, false, nullptr, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    ::unlink(fifo.c_str());
    ::rmdir(dir);
}

namespace {

// One frame wanted at a given bus time, then nothing.
class OneFrame final : public BusSource {
public:
    OneFrame(BusFrame f, std::uint64_t at) : m_frame(f), m_at(at) {}
    bool next(BusFrame& f, std::uint64_t& at) override {
        if (m_done) return false;
        f = m_frame;
        at = m_at;
        return true;
    }
    void pop() override { m_done = true; }

private:
    BusFrame m_frame;
    std::uint64_t m_at;
    bool m_done = false;
};

// Drives the adapter's endpoints directly, as the bus would.
class Endpoints {
public:
    explicit Endpoints(EmulatedAdapter& a) : m_adapter(a) { a.selectConfiguration(1); }

    std::vector<std::uint8_t> command(std::vector<std::uint8_t> block) {
        block.resize(64, 0);
        transfer(0x01, false, block.data(), 64);
        std::vector<std::uint8_t> reply(64);
        transfer(0x81, true, reply.data(), 64);
        return reply;
    }
    std::vector<std::uint8_t> dataRead(ULONG length = 384) {
        std::vector<std::uint8_t> bytes(length);
        const ULONG got = transfer(0x82, true, bytes.data(), length);
        bytes.resize(got);
        return bytes;
    }

private:
    ULONG transfer(UCHAR endpoint, bool in, std::uint8_t* buffer, ULONG length) {
        ULONG actual = 0;
        bool done = false;
        auto t = std::make_shared<UsbTransfer>(endpoint, in, true, buffer, length,
                                               [&](USBD_STATUS, ULONG n) {
                                                   actual = n;
                                                   done = true;
                                               });
        m_adapter.submit(t);
        EXPECT_TRUE(done);
        return actual;
    }
    EmulatedAdapter& m_adapter;
};

}  // namespace

TEST(EmulatedAdapter, AnswersCommandsAndReportsItsSettings) {
    EmulatedAdapter adapter(nullptr, {});
    Endpoints ep(adapter);
    auto reply = ep.command({0x01, 0x05, 2, 9, 0, 0x03, 0xE8, 2});
    EXPECT_EQ(reply[0], 0x81);
    EXPECT_EQ(reply[1], 0x01);
    EXPECT_EQ(ep.command({0x01, 0x05, 2, 9, 0, 0x03, 0xE8, 3})[1], 0x00);  // frame type 3
    EXPECT_EQ(ep.command({0x03, 0x01, 0x01})[0], 0x83);
    reply = ep.command({0x04});
    EXPECT_EQ(reply[0], 0x84);
    EXPECT_EQ(reply[1], 0x06);
    EXPECT_EQ(reply[2], 1);  // capturing
    EXPECT_EQ(reply[3], 9);
    EXPECT_EQ(reply[4] << 8 | reply[5], 1000);
    EXPECT_EQ(reply[6] << 8 | reply[7], 0x0105);
    EXPECT_EQ(ep.command({0x03, 0x01, 0x02})[1], 0x01);
    EXPECT_EQ(ep.command({0x04})[2], 2);
    EXPECT_EQ(ep.command({0x7E})[1], 0x00);  // unknown command
}

TEST(EmulatedAdapter, DeliversCapturedFramesAsRecords) {
    BusFrame f;
    f.extended = true;
    f.identifier = 0x1FFFFFFF;
    f.length = 3;
    f.data[0] = 0xA1;
    f.data[1] = 0xB2;
    f.data[2] = 0xC3;
    EmulatedAdapter adapter(std::make_unique<OneFrame>(f, 50'000), {});
    Endpoints ep(adapter);
    ep.command({0x01, 0x05, 0, 0, 0, 0x01, 0xF4, 2});
    ep.command({0x03, 0x01, 0x01});
    std::vector<std::uint8_t> read;
    for (int i = 0; i < 200 && adapter.stats().framesBuffered == 0; ++i) {
        std::this_thread::sleep_for(2ms);
    }
    read = ep.dataRead();
    ASSERT_EQ(read.size(), 384u);
    EXPECT_EQ(read[0], 0x83);
    const std::uint32_t t =
        std::uint32_t{read[2]} << 14 | std::uint32_t{read[3]} << 6 | read[4] >> 2;
    EXPECT_GE(t, 50u);  // at the frame's end, after 50 ms on the bus clock
    EXPECT_LT(t, 60u);
    EXPECT_EQ(read[6], 0x1F);
    EXPECT_EQ(read[9], 0xFF);
    EXPECT_EQ(read[10], 0xA1);
    EXPECT_EQ(read[12], 0xC3);
    EXPECT_EQ(read[18], 0);
    // Every other record of the read is empty.
    EXPECT_EQ(read[19 + 2], 0xFF);
    EXPECT_EQ(read[5 * 64 + 2 * 19 + 2], 0xFF);
    // Reads shorter than a block carry nothing; longer ones at most six blocks.
    EXPECT_TRUE(ep.dataRead(63).empty());
    EXPECT_EQ(ep.dataRead(512).size(), 384u);
}

TEST(EmulatedAdapter, AFullReceiveBufferCountsItsLossesInTheStatusBytes) {
    AdapterOptions options;
    options.receiveBufferFrames = 20;
    EmulatedAdapter adapter(std::make_unique<FullLoadGenerator>(0, false, 0), options);
    Endpoints ep(adapter);
    ep.command({0x01, 0x05, 0, 0, 0, 0x03, 0xE8, 1});
    ep.command({0x03, 0x01, 0x01});
    for (int i = 0; i < 500 && adapter.stats().framesLost < 10; ++i) {
        std::this_thread::sleep_for(2ms);
    }
    const auto read = ep.dataRead();
    EXPECT_GT(read[57], 0);  // frames lost since the previous read
    EXPECT_EQ(read[0] & 0x0F, 0);
    const AdapterStats s = adapter.stats();
    EXPECT_EQ(s.framesOffered, s.framesBuffered + s.framesLost);
    EXPECT_GE(s.framesOnBus, s.framesOffered);
}

namespace {

// A reply read that parks in the adapter and is then ended as the driver's time-out would end it.
std::shared_ptr<UsbTransfer> parkedReplyRead(EmulatedAdapter& adapter, std::uint8_t* buffer,
                                             bool& gotData) {
    auto t = std::make_shared<UsbTransfer>(0x81, true, true, buffer, 64,
                                           [&gotData](USBD_STATUS status, ULONG n) {
                                               gotData = status == USBD_STATUS_SUCCESS && n > 0;
                                           });
    adapter.submit(t);
    return t;
}

}  // namespace

TEST(EmulatedAdapter, ATimedOutReplyReadNeverTakesALaterReply) {
    EmulatedAdapter adapter(nullptr, {});
    Endpoints ep(adapter);
    std::vector<std::uint8_t> stale(64);
    bool staleGotData = false;
    const auto parked = parkedReplyRead(adapter, stale.data(), staleGotData);
    EXPECT_FALSE(parked->ended());  // no reply yet: it waits
    ASSERT_TRUE(parked->complete(USBD_STATUS_CANCELED));
    // Ten commands in a row each get their own reply.
    for (int i = 0; i < 10; ++i) {
        const auto reply = ep.command({0x04});
        EXPECT_EQ(reply[0], 0x84) << "command " << i;
        EXPECT_EQ(reply[1], 0x06) << "command " << i;
    }
    EXPECT_FALSE(staleGotData);
}

TEST(EmulatedAdapter, ANewCaptureStartsFromAnEmptyReceiveBuffer) {
    AdapterOptions options;
    options.receiveBufferFrames = 20;
    EmulatedAdapter adapter(std::make_unique<FullLoadGenerator>(0, false, 0), options);
    const auto afterPowerOn = std::chrono::steady_clock::now();
    Endpoints ep(adapter);
    ep.command({0x01, 0x05, 0, 0, 0, 0x03, 0xE8, 1});
    ep.command({0x03, 0x01, 0x01});
    // The program stops by no longer reading; the adapter goes on filling its buffer.
    for (int i = 0; i < 500 && adapter.stats().framesLost == 0; ++i) {
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_GT(adapter.stats().framesLost, 0u);
    std::this_thread::sleep_for(80ms);
    const auto command = std::chrono::steady_clock::now();
    ep.command({0x03, 0x01, 0x01});
    std::vector<std::uint8_t> read;
    for (int i = 0; i < 500; ++i) {
        read = ep.dataRead();
        if (read.size() == 384 && read[2] != 0xFF) break;
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_NE(read[2], 0xFF);
    const std::uint32_t frameMs =
        std::uint32_t{read[2]} << 14 | std::uint32_t{read[3]} << 6 | read[4] >> 2;
    // The adapter's clock at the command is at least this far from its power-on. A frame the
    // bus thread stamped just before the command may still land after it on a loaded machine;
    // the buffer's old frames are 80 ms older than that.
    const auto commandMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(command - afterPowerOn).count();
    EXPECT_GE(static_cast<long long>(frameMs) + 20, commandMs);
}

TEST(EmulatedAdapter, AReplayedLogIsCapturedFromItsFirstFrameHoweverLongAfterPowerOn) {
    auto replay = replayOf<CandumpReader>(
        "(1700000000.000000) can0 101#01\n(1700000000.001000) can0 102#02\n", false, nullptr,
        false);
    EmulatedAdapter adapter(std::move(replay), {});
    Endpoints ep(adapter);
    ep.command({0x01, 0x05, 0, 0, 0, 0x01, 0xF4, 1});
    std::this_thread::sleep_for(100ms);  // the bus runs; nobody captures yet
    ep.command({0x03, 0x01, 0x01});
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 500 && ids.size() < 2; ++i) {
        const std::vector<std::uint8_t> read = ep.dataRead();
        for (std::size_t r = 0; r + 19 <= read.size(); r += r % 64 == 38 ? 26 : 19) {
            if (read[r + 2] != 0xFF) ids.push_back(std::uint32_t{read[r + 6]} << 8 | read[r + 7]);
        }
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0x101, 0x102}));
}

namespace {

// A bus that takes its time to take a new rate, as a real interface reconnecting does.
class SlowSetupBus final : public BusSource {
public:
    bool next(BusFrame&, std::uint64_t&) override { return false; }
    void pop() override {}
    bool configure(std::uint16_t, std::uint8_t) override {
        m_inSetup = true;
        std::this_thread::sleep_for(400ms);
        m_inSetup = false;
        return true;
    }
    std::atomic<bool> m_inSetup{false};
};

}  // namespace

TEST(EmulatedAdapter, DataReadsGoOnWhileTheBusTakesANewRate) {
    auto source = std::make_unique<SlowSetupBus>();
    SlowSetupBus& bus = *source;
    EmulatedAdapter adapter(std::move(source), {});
    Endpoints setup(adapter);
    Endpoints reads(adapter);
    std::thread t([&] { EXPECT_EQ(setup.command({0x01, 0x05, 0, 0, 0, 0x01, 0xF4, 1})[1], 0x01); });
    while (!bus.m_inSetup) std::this_thread::yield();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(reads.dataRead().size(), 384u);
    // The read was answered while the set-up still waited for the bus.
    EXPECT_TRUE(bus.m_inSetup.load());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 300ms);
    t.join();
}
