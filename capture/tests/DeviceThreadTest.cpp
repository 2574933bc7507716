// The device thread and its asynchronous front, without a window: the test thread plays the
// window's thread and drains the answers as its event loop would.

#include "capture/DeviceCommands.h"
#include "capture/DeviceThread.h"
#include "tests/support/RecordingDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The owner's event loop: answers queue here and run when the test drains them.
class AnswerQueue {
public:
    DeviceThread::Post poster() {
        return [this](DeviceThread::Completion done) {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(done));
            m_arrived.notify_all();
        };
    }
    // Runs the answers that have arrived; waits up to `limit` for at least `atLeast` of them.
    int drain(int atLeast = 0, std::chrono::milliseconds limit = 5s) {
        std::deque<DeviceThread::Completion> ready;
        {
            std::unique_lock lock(m_mutex);
            m_arrived.wait_for(lock, limit, [&] { return int(m_queue.size()) >= atLeast; });
            ready.swap(m_queue);
        }
        for (auto& done : ready) done();
        return int(ready.size());
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<DeviceThread::Completion> m_queue;
};

TxMessage frame(std::uint32_t id) {
    TxMessage m{};
    m.identifier = id;
    return m;
}

}  // namespace

TEST(DeviceThread, CommandsRunInOrderOnOneThreadAndAnswersComeBackInOrder) {
    RecordingDevice device;
    AnswerQueue answers;
    DeviceThread thread(device, answers.poster());
    DeviceCommands commands(thread);
    std::vector<bool> busy;
    commands.setWaitingChanged([&](bool waiting) { busy.push_back(waiting); });

    std::vector<std::string> expected;
    std::vector<std::string> answered;
    const auto note = [&](std::string what) {
        expected.push_back(what);
        return [&answered, what](bool) { answered.push_back(what); };
    };
    commands.vexaInit(note("init"));
    for (int i = 0; i < 10; ++i) {
        commands.setVexa(0, 100 + i, 0, 1, note("set " + std::to_string(100 + i)));
        commands.runVexa(note("run"));
        commands.sendSingleData(frame(std::uint32_t(i)), note("send " + std::to_string(i)));
        expected.push_back("info");
        commands.getVexaInfo([&](bool, const VexaDevice::Info& info) {
            EXPECT_EQ(info.version, 0x0102);
            answered.push_back("info");
        });
    }
    // vexaInit is not waited for; the other forty are.
    EXPECT_EQ(commands.waiting(), 40);
    int drained = 0;
    while (drained < 41) drained += answers.drain(41 - drained);

    EXPECT_EQ(device.calls(), expected);
    EXPECT_EQ(answered, expected);
    const auto threads = device.threads();
    ASSERT_EQ(threads.size(), expected.size());
    for (const auto& id : threads) {
        EXPECT_EQ(id, thread.id());
        EXPECT_NE(id, std::this_thread::get_id());
    }
    EXPECT_EQ(commands.waiting(), 0);
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
}

TEST(DeviceThread, AHeldCommandLeavesTheCallerFreeAndTheQueueBehindItWaits) {
    RecordingDevice device;
    AnswerQueue answers;
    DeviceThread thread(device, answers.poster());
    DeviceCommands commands(thread);
    device.hold("run");
    device.refuse({"run"});
    std::vector<std::string> answered;
    commands.runVexa([&](bool ok) { answered.push_back(ok ? "ran" : "refused"); });
    commands.sendSingleData(frame(7), [&](bool) { answered.push_back("sent"); });
    ASSERT_TRUE(device.waitUntilHolding(5s));
    // The caller goes on: nothing has answered, both are waited for, the send has not begun.
    EXPECT_EQ(answers.drain(0, 0ms), 0);
    EXPECT_EQ(commands.waiting(), 2);
    EXPECT_EQ(device.calls(), std::vector<std::string>{"run"});

    device.release();
    int drained = 0;
    while (drained < 2) drained += answers.drain(2 - drained);
    EXPECT_EQ(answered, (std::vector<std::string>{"refused", "sent"}));
    EXPECT_EQ(commands.waiting(), 0);
}

TEST(DeviceThread, CloseRunsWhatIsQueuedButPostsNoMoreAnswers) {
    RecordingDevice device;
    AnswerQueue answers;
    DeviceThread thread(device, answers.poster());
    DeviceCommands commands(thread);
    device.hold("run");
    commands.runVexa([](bool) {});
    ASSERT_TRUE(device.waitUntilHolding(5s));
    commands.stopVexa();  // the document's last word
    std::thread releaser([&] {
        std::this_thread::sleep_for(50ms);
        device.release();
    });
    EXPECT_TRUE(thread.close(5s));
    releaser.join();
    EXPECT_EQ(device.calls(), (std::vector<std::string>{"run", "stop"}));
    EXPECT_EQ(answers.drain(0, 0ms), 0);
    // Closed: later commands go nowhere.
    commands.vexaInit();
    EXPECT_EQ(device.calls().size(), 2u);
}

TEST(DeviceThread, CloseLeavesAWedgedCommandBehindAndRunsNothingAfterIt) {
    RecordingDevice device;
    AnswerQueue answers;
    {
        DeviceThread thread(device, answers.poster());
        DeviceCommands commands(thread);
        device.hold("set 250");
        commands.setVexa(0, 250, 0, 1, [](bool) {});
        commands.stopVexa();
        ASSERT_TRUE(device.waitUntilHolding(5s));
        EXPECT_FALSE(thread.close(20ms));
    }
    // The detached thread returns from the wedged call and ends without the queued stop.
    device.release();
    for (int i = 0; i < 500 && device.returned() == 0; ++i) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(device.returned(), 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(device.calls(), std::vector<std::string>{"set 250"});
    EXPECT_EQ(answers.drain(0, 0ms), 0);
}

TEST(DeviceCommands, AnAnswerForAnOwnerThatWentIsDropped) {
    RecordingDevice device;
    AnswerQueue answers;
    DeviceThread thread(device, answers.poster());
    DeviceCommands commands(thread);
    int called = 0;
    auto owner = std::make_shared<bool>(true);
    device.hold("send 2");
    commands.runVexa(DeviceCommands::whileAlive(owner, [&](bool) { ++called; }));
    commands.sendSingleData(frame(2), DeviceCommands::whileAlive(owner, [&](bool) { ++called; }));
    ASSERT_TRUE(device.waitUntilHolding(5s));
    ASSERT_EQ(answers.drain(1), 1);
    EXPECT_EQ(called, 1);
    owner.reset();
    device.release();
    int drained = 0;
    while (drained < 1) drained += answers.drain(1);
    EXPECT_EQ(called, 1);
    EXPECT_EQ(commands.waiting(), 0);  // still counted off
}
