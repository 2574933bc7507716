// The live bus sources' worker thread: where the work runs, how long a caller waits, and the order
// in which a worker ends.

#include "adapter/WorkerThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class RecordingWorker final : public QObject {
public:
    explicit RecordingWorker(std::vector<std::string>& events) : m_events(events) {}
    ~RecordingWorker() override { m_events.push_back("deleted"); }
    void destroy() {
        m_events.push_back(thread() == QThread::currentThread() && thread()->isRunning()
                               ? "destroyed on its running thread"
                               : "destroyed elsewhere");
    }

private:
    std::vector<std::string>& m_events;
};

}  // namespace

TEST(WorkerThread, WorkRunsOnTheWorkersOwnNamedThread) {
    std::vector<std::string> events;
    WorkerThread<RecordingWorker> worker;
    EXPECT_FALSE(worker);
    worker.start(QStringLiteral("bus"), std::make_unique<RecordingWorker>(events));
    ASSERT_TRUE(worker);
    QThread* ran = nullptr;
    worker.call([&ran](RecordingWorker&) { ran = QThread::currentThread(); });
    ASSERT_NE(ran, nullptr);
    EXPECT_NE(ran, QThread::currentThread());
    EXPECT_EQ(ran->objectName(), "bus");
    EXPECT_EQ(ran, worker->thread());

    std::atomic<bool> posted{false};
    worker.post([&posted](RecordingWorker&) { posted = true; });
    // A call waits for the work posted before it.
    worker.call([](RecordingWorker&) {});
    EXPECT_TRUE(posted);
}

TEST(WorkerThread, ACallerWaitsForAResultOnlyAsLongAsItSaid) {
    std::vector<std::string> events;
    WorkerThread<RecordingWorker> worker;
    worker.start(QStringLiteral("bus"), std::make_unique<RecordingWorker>(events));
    EXPECT_EQ(worker.callWithin<int>([](RecordingWorker&) { return 7; },
                                     std::chrono::seconds(5)),
              std::optional<int>(7));
    EXPECT_EQ(worker.callWithin<int>(
                  [](RecordingWorker&) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(300));
                      return 8;
                  },
                  std::chrono::milliseconds(10)),
              std::nullopt);
}

TEST(WorkerThread, AWorkerEndsOnItsThreadBeforeItIsDeletedAndOnlyOnce) {
    std::vector<std::string> events;
    {
        WorkerThread<RecordingWorker> worker;
        worker.start(QStringLiteral("bus"), std::make_unique<RecordingWorker>(events));
        worker.stop();
        EXPECT_FALSE(worker);
        EXPECT_EQ(events,
                  (std::vector<std::string>{"destroyed on its running thread", "deleted"}));
        // Starting again replaces nothing that is left.
        worker.start(QStringLiteral("bus"), std::make_unique<RecordingWorker>(events));
    }
    EXPECT_EQ(events, (std::vector<std::string>{"destroyed on its running thread", "deleted",
                                                "destroyed on its running thread", "deleted"}));
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
