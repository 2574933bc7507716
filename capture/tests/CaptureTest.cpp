#include "capture/AdapterClock.h"
#include "capture/CDataDoc.h"
#include "capture/CapturePoll.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

ReceivedFrame at(std::uint32_t minutes, std::uint32_t seconds, std::uint32_t millis,
                 std::uint32_t micros = 0, std::uint32_t id = 0x100) {
    ReceivedFrame f{};
    f.minutes = minutes;
    f.seconds = seconds;
    f.millis = millis;
    f.micros = micros;
    f.identifier = id;
    f.length = 2;
    f.data[0] = 0x11;
    f.data[1] = 0x22;
    return f;
}

// The adapter as the capture sees it: batches handed out in order, thread-safe because the
// document's timer polls it on its own thread.
class FakeDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count,
                  ReceivedFrame* frames) override {
        std::lock_guard lock(m_mutex);
        ++m_reads;
        if (m_failing) {
            return false;
        }
        a = std::exchange(m_lostNext, 0);
        b = 0;
        if (m_batches.empty()) {
            // Like the adapter: every read is answered, with empty records when there is nothing.
            count = 0;
            return true;
        }
        auto batch = std::move(m_batches.front());
        m_batches.pop_front();
        if (m_duringRead) {
            m_duringRead();
        }
        // Like the library, only the first `length` data bytes are written.
        for (std::size_t i = 0; i < batch.size(); ++i) {
            ReceivedFrame& f = frames[i];
            const std::uint8_t length = batch[i].length;
            std::uint8_t data[8];
            std::memcpy(data, f.data, 8);
            f = batch[i];
            std::memcpy(f.data, data, 8);
            std::memcpy(f.data, batch[i].data, length);
        }
        count = static_cast<std::int32_t>(batch.size());
        return true;
    }
    bool runVexa() override {
        std::lock_guard lock(m_mutex);
        ++m_runs;
        return m_runSucceeds;
    }
    bool stopVexa() override {
        std::lock_guard lock(m_mutex);
        ++m_stops;
        return true;
    }

    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return false; }

    void queue(std::vector<ReceivedFrame> batch) {
        std::lock_guard lock(m_mutex);
        m_batches.push_back(std::move(batch));
    }
    void setRunSucceeds(bool ok) { m_runSucceeds = ok; }
    // Every read fails from now on, as with the adapter's host gone.
    void setFailing(bool failing) {
        std::lock_guard lock(m_mutex);
        m_failing = failing;
    }
    // The next read reports `n` frames dropped by the adapter.
    void reportLost(int n) {
        std::lock_guard lock(m_mutex);
        m_lostNext = n;
    }
    void setDuringRead(std::function<void()> f) { m_duringRead = std::move(f); }
    int reads() {
        std::lock_guard lock(m_mutex);
        return m_reads;
    }
    int runs() {
        std::lock_guard lock(m_mutex);
        return m_runs;
    }
    int stops() {
        std::lock_guard lock(m_mutex);
        return m_stops;
    }

private:
    std::mutex m_mutex;
    std::deque<std::vector<ReceivedFrame>> m_batches;
    std::function<void()> m_duringRead;
    bool m_runSucceeds = true;
    bool m_failing = false;
    int m_lostNext = 0;
    int m_reads = 0;
    int m_runs = 0;
    int m_stops = 0;
};

class CapturePollTest : public ::testing::Test {
protected:
    CapturePollTest() { m_state.capturing = 1; }

    FakeDevice m_device;
    FrameStore m_store;
    CaptureState m_state;
    ApplicationFlags m_flags;
    CapturePoll m_poll{m_device, m_store, m_state, m_flags};
};

}  // namespace

TEST_F(CapturePollTest, CountsAWrapWhenTheTimeStampStartsAgain) {
    m_device.queue({at(69, 54, 303), at(0, 0, 5)});
    m_poll.tick();
    ASSERT_EQ(m_store.count(), 2u);
    EXPECT_EQ(m_store.at(0).wraps, 0u);
    EXPECT_EQ(m_store.at(1).wraps, 1u);
    EXPECT_EQ(m_state.wrapCount, 1u);
    EXPECT_EQ(m_state.pendingChanges.load(), 1u);
    EXPECT_EQ(m_store.at(1).data[1], 0x22);
}

TEST_F(CapturePollTest, TheAdaptersLastMillisecondAndItsNextRoundAreOneMillisecondApart) {
    // The adapter's clock goes round at 0x3FC000 ms (69-37-920): a count with a high byte of 0xFF
    // would read as an empty record.
    m_device.queue({at(69, 37, 919, 500), at(0, 0, 0, 500)});
    m_poll.tick();
    ASSERT_EQ(m_store.count(), 2u);
    EXPECT_EQ(m_store.at(1).wraps, 1u);
    EXPECT_EQ(adapterTimeUs(m_store.at(1)) - adapterTimeUs(m_store.at(0)), 1000u);
    EXPECT_EQ(adapterTimeMs(m_store.at(1)), 4'177'920u);
}

TEST_F(CapturePollTest, EachRunIsAnchoredToTheHostsClockAsItsFirstFrameIsRead) {
    constexpr std::int64_t kDay = 1'700'000'000'000'000;
    std::int64_t now = kDay;
    m_poll.setTimeOfDayClock([&] { return now; });
    m_device.queue({at(0, 5, 250, 500), at(0, 5, 251)});
    m_poll.tick();
    now += 9'000;
    m_device.queue({at(0, 5, 260)});
    m_poll.tick();
    // The adapter was powered again: its clock starts over, which the poll counts as a wrap.
    m_state.anchors.startRun();
    now = kDay + 90'000'000;
    m_device.queue({at(0, 0, 12), at(0, 1, 12)});
    m_poll.tick();
    ASSERT_EQ(m_store.count(), 5u);
    EXPECT_EQ(m_store.at(3).wraps, 1u);
    const std::vector<TimeAnchor> expected = {{0, kDay, 5'250'500, 0},
                                              {3, kDay + 90'000'000, 12'000, 1}};
    EXPECT_EQ(m_state.anchors.snapshot(), expected);
    EXPECT_EQ(m_state.anchors.timeOfDayUs(2, m_store.at(2)), kDay + 9'500);
    EXPECT_EQ(m_state.anchors.timeOfDayUs(4, m_store.at(4)), kDay + 91'000'000);
}

TEST_F(CapturePollTest, FallingMicrosWithinOneMillisecondAreNoWrap) {
    m_device.queue({at(1, 2, 3, 900), at(1, 2, 3, 100)});
    m_device.queue({at(1, 2, 3, 50)});
    m_poll.tick();
    m_poll.tick();
    ASSERT_EQ(m_store.count(), 3u);
    EXPECT_EQ(m_store.at(2).wraps, 0u);
}

TEST_F(CapturePollTest, NothingIsTakenWhileNotCapturing) {
    m_state.capturing = 0;
    m_device.queue({at(0, 0, 1)});
    m_poll.tick();
    EXPECT_EQ(m_device.reads(), 0);
    EXPECT_EQ(m_store.count(), 0u);
    EXPECT_EQ(m_state.pendingChanges.load(), 0u);
}

TEST_F(CapturePollTest, AFullBatchIsFollowedByMoreReadsInTheSameTick) {
    std::vector<ReceivedFrame> full(18, at(0, 0, 1));
    for (int i = 0; i < CapturePoll::kMaxBatchesPerTick + 1; ++i) {
        m_device.queue(full);
    }
    m_poll.tick();
    EXPECT_EQ(m_store.count(), 18u * CapturePoll::kMaxBatchesPerTick);  // bounded per tick
    m_poll.tick();
    EXPECT_EQ(m_store.count(), 18u * (CapturePoll::kMaxBatchesPerTick + 1));

    // A batch that is not full ends the tick.
    m_device.queue({at(0, 0, 2)});
    m_device.queue({at(0, 0, 3)});
    m_poll.tick();
    EXPECT_EQ(m_store.count(), 18u * (CapturePoll::kMaxBatchesPerTick + 1) + 1);
}

TEST_F(CapturePollTest, DataBytesBeyondTheLengthAreZeroNotLeftFromTheBatchBefore) {
    ReceivedFrame longer = at(0, 0, 1);
    longer.length = 8;
    std::memset(longer.data, 0xEE, 8);
    m_device.queue(std::vector<ReceivedFrame>(18, longer));
    ReceivedFrame shorter = at(0, 0, 2);
    shorter.length = 1;
    m_device.queue({shorter});
    m_poll.tick();
    ASSERT_EQ(m_store.count(), 19u);
    const CapturedFrame& f = m_store.at(18);
    EXPECT_EQ(f.data[0], 0x11);
    for (int k = 1; k < 8; ++k) {
        EXPECT_EQ(f.data[k], 0) << k;
    }
}

TEST_F(CapturePollTest, ABatchReadBeforeStopOrClearIsDropped) {
    m_device.setDuringRead([this] { m_state.capturing = 0; });
    m_device.queue({at(0, 0, 1)});
    m_poll.tick();
    EXPECT_EQ(m_store.count(), 0u);

    m_state.capturing = 1;
    m_device.setDuringRead([this] { m_flags.set(ApplicationFlags::kClearing); });
    m_device.queue({at(0, 0, 1)});
    m_poll.tick();
    EXPECT_EQ(m_store.count(), 0u);
    EXPECT_EQ(m_state.pendingChanges.load(), 0u);
}

TEST(CapturePollMemory, RunningOutOfMemoryStopsCapturingAndTellsTheOwner) {
    FakeDevice device;
    FrameStore store(3);
    CaptureState state;
    ApplicationFlags flags;
    CapturePoll poll(device, store, state, flags);
    int told = 0;
    poll.setOutOfMemoryHandler([&] { ++told; });
    state.capturing = 1;
    device.queue({at(0, 0, 1), at(0, 0, 2), at(0, 0, 3), at(0, 0, 4)});
    poll.tick();
    EXPECT_EQ(state.capturing.load(), 0u);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(store.count(), 3u);
}

namespace {

class DataDocTest : public ::testing::Test {
protected:
    FakeDevice m_device;
    FrameStore m_store;
    CaptureState m_state;
    ApplicationFlags m_flags;
    MessageRecorder m_messages;
};

void waitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 500 && !condition(); ++i) {
        std::this_thread::sleep_for(2ms);
    }
}

}  // namespace

TEST_F(DataDocTest, CaptureBeforeSetupShowsTheDeviceErrorAndChangesNothing) {
    CDataDoc doc(m_device, m_store, m_state, m_flags, m_messages);
    doc.OnCapture();
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].stringId, 5000u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kStop);
    EXPECT_EQ(m_state.capturing.load(), 0u);
    EXPECT_TRUE(doc.OnUpdateCapture());
    EXPECT_FALSE(doc.OnUpdateStop());
    EXPECT_EQ(m_device.runs(), 0);
}

TEST_F(DataDocTest, CaptureWhoseStartIsRefusedStaysOffAndAsksForSetup) {
    m_state.deviceReady = 1;
    m_device.setRunSucceeds(false);
    CDataDoc doc(m_device, m_store, m_state, m_flags, m_messages);
    int redraws = 0;
    int refusals = 0;
    doc.setCaptureChangedHandler([&] { ++redraws; });
    doc.setStartRefusedHandler([&] { ++refusals; });
    doc.OnCapture();
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].stringId, 5001u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kNone);
    EXPECT_EQ(m_state.capturing.load(), 0u);
    EXPECT_TRUE(doc.OnUpdateCapture());
    EXPECT_FALSE(doc.OnUpdateStop());
    EXPECT_EQ(refusals, 1);
    EXPECT_EQ(redraws, 1);

    // Once the adapter starts again, the document's own timer takes the frames in.
    m_device.setRunSucceeds(true);
    doc.OnCapture();
    EXPECT_EQ(m_state.capturing.load(), 1u);
    EXPECT_EQ(refusals, 1);
    m_device.queue({at(0, 0, 1)});
    waitFor([&] { return m_store.count() == 1; });
    EXPECT_EQ(m_store.count(), 1u);
    doc.OnStop();
    EXPECT_EQ(m_state.capturing.load(), 0u);
    EXPECT_EQ(redraws, 3);
}

TEST_F(DataDocTest, ClearAllWhileCapturingIsRefused) {
    m_state.deviceReady = 1;
    CDataDoc doc(m_device, m_store, m_state, m_flags, m_messages);
    doc.OnCapture();
    m_device.queue({at(69, 54, 303), at(0, 0, 5)});
    waitFor([&] { return m_store.count() == 2; });
    ASSERT_EQ(m_store.count(), 2u);
    ASSERT_EQ(m_state.anchors.snapshot().size(), 1u);  // Capture began a run
    int cleared = 0;
    doc.addClearListener([&] {
        EXPECT_TRUE(m_flags.test(ApplicationFlags::kClearing));
        ++cleared;
    });
    doc.OnClearAll();
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].stringId, 5133u);
    EXPECT_EQ(m_store.count(), 2u);
    EXPECT_EQ(cleared, 0);

    doc.OnStop();
    m_messages.setAnswer(true);  // the frames are not saved: yes, clear them
    doc.OnClearAll();
    EXPECT_EQ(m_store.count(), 0u);
    EXPECT_EQ(cleared, 1);
    EXPECT_FALSE(m_flags.test(ApplicationFlags::kClearing));
    EXPECT_EQ(m_state.wrapCount, 0u);
    EXPECT_FALSE(m_state.anchors.last().has_value());  // the time of day goes with the frames

    // The next frame starts the time line afresh.
    doc.OnCapture();
    m_device.queue({at(0, 0, 1)});
    waitFor([&] { return m_store.count() == 1; });
    ASSERT_EQ(m_store.count(), 1u);
    EXPECT_EQ(m_store.at(0).wraps, 0u);
}

TEST_F(DataDocTest, DestructionStopsTheTimerThenTheAdapter) {
    m_state.deviceReady = 1;
    {
        CDataDoc doc(m_device, m_store, m_state, m_flags, m_messages);
        doc.OnCapture();
        waitFor([&] { return m_device.reads() > 3; });
    }
    EXPECT_EQ(m_device.stops(), 1);
    const int reads = m_device.reads();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m_device.reads(), reads);  // no tick after the document is gone
}

TEST_F(CapturePollTest, ReadsFailingForASecondStopCapturingOnceAndKeepTheFrames) {
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    m_poll.setClock([&] { return now; });
    int told = 0;
    m_poll.setAdapterLostHandler([&] { ++told; });
    m_device.queue({at(0, 0, 1), at(0, 0, 2)});
    m_poll.tick();
    ASSERT_EQ(m_store.count(), 2u);

    // Single failures, and failures broken by a good read, stay silent.
    m_device.setFailing(true);
    m_poll.tick();
    now += 5s;  // one read that hung for the answer time-out
    EXPECT_EQ(m_state.capturing.load(), 1u);
    m_device.setFailing(false);
    m_poll.tick();
    m_device.setFailing(true);
    for (int ms = 0; ms < 999; ++ms) {
        m_poll.tick();
        now += 1ms;
    }
    EXPECT_EQ(m_state.capturing.load(), 1u);
    EXPECT_EQ(told, 0);

    now += 1ms;
    m_poll.tick();
    EXPECT_EQ(m_state.capturing.load(), 0u);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(m_store.count(), 2u);
    for (int i = 0; i < 100; ++i) {
        now += 100ms;
        m_poll.tick();
    }
    EXPECT_EQ(told, 1);  // one message, not one per tick

    // A new capture on a working adapter starts counting afresh.
    m_device.setFailing(false);
    m_state.capturing = 1;
    m_device.setFailing(true);
    m_poll.tick();
    now += 2s;
    m_poll.tick();
    EXPECT_EQ(told, 2);
}

TEST_F(CapturePollTest, AReadThatHangsForTheTimeOutAndTheNextFailureMeanTheAdapterIsGone) {
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    m_poll.setClock([&] { return now; });
    int told = 0;
    m_poll.setAdapterLostHandler([&] { ++told; });
    m_device.setFailing(true);
    m_poll.tick();  // the read that hung for the time-out
    now += 5s;
    m_poll.tick();
    EXPECT_EQ(told, 1);
    EXPECT_EQ(m_state.capturing.load(), 0u);
}

TEST_F(CapturePollTest, FramesTheAdapterDroppedAddUpWhileCapturing) {
    m_device.reportLost(7);
    m_device.queue({at(0, 0, 1)});
    m_poll.tick();
    m_device.reportLost(255);
    m_poll.tick();  // reported with an empty read too
    EXPECT_EQ(m_state.framesLost.load(), 262u);
    m_state.capturing = 0;
    m_device.reportLost(3);
    m_poll.tick();
    EXPECT_EQ(m_state.framesLost.load(), 262u);
}

TEST_F(DataDocTest, ClearAllAsksBeforeUnsavedFramesGoAndLeavesTheDocumentChanged) {
    m_state.deviceReady = 1;
    CDataDoc doc(m_device, m_store, m_state, m_flags, m_messages);
    doc.OnCapture();
    m_device.reportLost(4);
    m_device.queue({at(0, 0, 1), at(0, 0, 2)});
    waitFor([&] { return m_store.count() == 2; });
    doc.OnStop();
    ASSERT_EQ(m_state.pendingChanges.load(), 1u);
    EXPECT_EQ(m_state.framesLost.load(), 4u);

    m_messages.setAnswer(false);
    doc.OnClearAll();
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].stringId, strings::kClearUnsavedFrames);
    EXPECT_EQ(m_store.count(), 2u);

    m_messages.setAnswer(true);
    doc.OnClearAll();
    EXPECT_EQ(m_messages.shown().size(), 2u);
    EXPECT_EQ(m_store.count(), 0u);
    EXPECT_EQ(m_state.framesLost.load(), 0u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(m_state.pendingChanges.load(), 1u);

    // Saved frames, and an empty list, go without a question.
    doc.OnCapture();
    m_device.queue({at(0, 0, 3)});
    waitFor([&] { return m_store.count() == 1; });
    doc.OnStop();
    m_state.pendingChanges = 0;
    doc.SetModifiedFlag(false);
    doc.OnClearAll();
    doc.OnClearAll();
    EXPECT_EQ(m_messages.shown().size(), 2u);
    EXPECT_EQ(m_store.count(), 0u);
}

TEST(StringTable, KeepsTheCaptureMessagesWordForWord) {
    EXPECT_EQ(strings::loadString(5000),
              "Device error,\n\nPlease check:\n1-The connection of the device.\n2-The "
              "configuration of the device.");
    EXPECT_EQ(strings::loadString(5001), "Can't make the device run ,\nPlease try it again.");
    EXPECT_EQ(strings::loadString(5133), "Please stop the device first.");
    EXPECT_EQ(strings::loadString(1), "");
}
