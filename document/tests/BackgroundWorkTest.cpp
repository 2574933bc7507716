// Long runs on a worker thread: the worker itself, and open, save, import and export through the
// session with the completion posted back to the test's thread. The tests act at a known point of
// a run through the task's step observer, never by waiting for time to pass.

#include "document/DocumentSession.h"
#include "resources/StringTable.h"
#include "tests/support/Gate.h"
#include "tests/support/QuietDevice.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The owner's event queue: the worker posts, the test's thread runs what was posted.
class PostedQueue {
public:
    BackgroundTask::Poster poster() {
        return [this](std::function<void()> f) {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(f));
            m_ready.notify_all();
        };
    }
    void runOne() {
        std::function<void()> f;
        {
            std::unique_lock lock(m_mutex);
            m_ready.wait(lock, [this] { return !m_queue.empty(); });
            f = std::move(m_queue.front());
            m_queue.pop_front();
        }
        f();
    }
    void runUntil(const std::function<bool()>& finished) {
        while (!finished()) runOne();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_queue;
};

class QuietWindows final : public DocumentWindows {
public:
    void documentCreated(CDataDoc&) override {}
    void showWindowList(const std::vector<CurveWindowRecord>&) override {}
    void showRows() override {}
    void showCaptureState() override {}
    void showName(bool) override {}
    void fileUsed(const std::string& path) override { used.push_back(path); }
    void fileUnreadable(const std::string& path) override { unreadable.push_back(path); }
    [[nodiscard]] bool dataListOpen() const override { return true; }
    std::vector<std::string> used, unreadable;
};

CapturedFrame frameWithId(std::uint32_t identifier) {
    CapturedFrame f;
    f.identifier = identifier;
    f.length = 2;
    f.data[0] = static_cast<std::uint8_t>(identifier);
    return f;
}

TEST(BackgroundTaskTest, TheCompletionRunsOnTheOwnersThreadAndNoSecondWorkStartsBeforeIt) {
    PostedQueue posted;
    BackgroundTask task;
    task.setPoster(posted.poster());
    Gate gate;
    std::thread::id workThread, doneThread;
    ASSERT_TRUE(task.start(
        [&](Progress& progress) {
            workThread = std::this_thread::get_id();
            progress.begin(strings::kSavingData);
            progress.setPercent(40);
            gate.arrive();
        },
        [&] { doneThread = std::this_thread::get_id(); }));
    gate.awaitArrival();
    EXPECT_TRUE(task.busy());
    const BackgroundTask::Shown shown = task.shown();
    EXPECT_TRUE(shown.shown);
    EXPECT_EQ(shown.caption, strings::kSavingData);
    EXPECT_EQ(shown.percent, 40);
    bool secondRan = false;
    EXPECT_FALSE(task.start([&](Progress&) { secondRan = true; }, {}));
    gate.open();
    posted.runUntil([&] { return !task.busy(); });
    EXPECT_NE(workThread, std::this_thread::get_id());
    EXPECT_EQ(doneThread, std::this_thread::get_id());
    EXPECT_FALSE(secondRan);
    EXPECT_FALSE(task.failed());
    // The next work may start now; one that throws ends as failed, its completion still runs.
    bool doneRan = false;
    ASSERT_TRUE(task.start([](Progress&) { throw std::runtime_error("broken"); },
                           [&] { doneRan = true; }));
    posted.runUntil([&] { return !task.busy(); });
    EXPECT_TRUE(doneRan);
    EXPECT_TRUE(task.failed());
}

TEST(BackgroundTaskTest, ATaskThatGoesStopsItsWorkAndDropsTheCompletion) {
    PostedQueue posted;
    bool doneRan = false;
    {
        BackgroundTask task;
        task.setPoster(posted.poster());
        Gate gate;
        task.start(
            [&](Progress& progress) {
                gate.open();
                gate.arrive();
                while (!progress.cancelled()) std::this_thread::yield();
            },
            [&] { doneRan = true; });
        gate.awaitArrival();
    }
    // The completion was posted before the task went; run now, it finds nobody.
    posted.runOne();
    EXPECT_FALSE(doneRan);
}

class BackgroundSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("krv-work-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        m_state.work.setPoster(m_posted.poster());
        m_session.setWaiter([this](const std::function<bool()>& finished) {
            m_posted.runUntil(finished);
        });
    }
    void TearDown() override {
        m_session.close();
        fs::remove_all(m_dir);
    }
    std::string file(const char* name) const { return (m_dir / name).string(); }
    static std::string bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> filesInFolder() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A document of `count` frames of identifier `id`.
    std::string documentOf(const char* name, std::uint32_t count, std::uint32_t id) const {
        FrameStore frames;
        for (std::uint32_t i = 0; i < count; ++i) frames.append(frameWithId(id));
        DocumentContents contents;
        CurveWindowRecord dataList;
        dataList.flags = CurveWindowRecord::kDataList;
        dataList.name.set("dl");
        contents.windows = {dataList};
        EXPECT_TRUE(saveDocument(file(name), contents, frames, frames.count(), nullptr).ok);
        return file(name);
    }
    // The open document: `count` frames of 0x123, read from a file.
    void openDocumentOf(std::uint32_t count) {
        m_session.newDocument();
        ASSERT_TRUE(m_session.open(documentOf("old.krv", count, 0x123)));
    }
    // Cancels the next run at its first step.
    void cancelAtFirstStep() {
        m_state.work.setStepObserver([this](int percent) {
            if (percent > 0) m_state.work.cancel();
        });
    }
    std::vector<std::uint32_t> identifiersIn(const FrameStore& store) const {
        std::vector<std::uint32_t> ids;
        store.visit(0, store.count(), [&](const CapturedFrame* f, std::size_t n, std::size_t) {
            for (std::size_t i = 0; i < n; ++i) ids.push_back(f[i].identifier);
        });
        return ids;
    }
    void expectOldDocument(std::uint32_t count) {
        EXPECT_EQ(m_state.store.count(), count);
        EXPECT_EQ(m_state.store.at(0).identifier, 0x123u);
        EXPECT_EQ(m_session.document()->GetPathName(), file("old.krv"));
        EXPECT_FALSE(m_state.work.busy());
    }

    fs::path m_dir;
    PostedQueue m_posted;
    ProgramState m_state;
    QuietDevice m_device;
    MessageRecorder m_messages;
    QuietWindows m_windows;
    DocumentSession m_session{m_state, m_device, m_messages, m_windows};
};

}  // namespace

TEST_F(BackgroundSessionTest, ACancelledOpenLeavesTheOpenDocumentAndTellsNothing) {
    openDocumentOf(10);
    const std::string other = documentOf("other.krv", 50000, 0x456);
    cancelAtFirstStep();
    EXPECT_FALSE(m_session.open(other));
    expectOldDocument(10);
    EXPECT_TRUE(m_messages.shown().empty());
    EXPECT_TRUE(m_windows.unreadable.empty());
    // Not cancelled, the same file opens.
    m_state.work.setStepObserver({});
    EXPECT_TRUE(m_session.open(other));
    EXPECT_EQ(m_state.store.count(), 50000u);
    EXPECT_EQ(m_state.store.at(49999).identifier, 0x456u);
}

TEST_F(BackgroundSessionTest, AnOpenThatFailsMidwayLeavesTheOldDocumentAndSaysWhy) {
    openDocumentOf(10);
    const std::string whole = bytes(documentOf("cut.krv", 50000, 0x456));
    std::ofstream(file("cut.krv"), std::ios::binary | std::ios::trunc)
        << whole.substr(0, whole.size() / 2);
    EXPECT_FALSE(m_session.open(file("cut.krv")));
    expectOldDocument(10);
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_windows.unreadable, std::vector<std::string>{file("cut.krv")});
    // A frame record altered in the middle of the file fails the same way, after many were read.
    std::string damaged = whole;
    // Frame 30000's length byte.
    damaged[kHeaderBytes + 30000 * kFrameRecordBytes + 20] = static_cast<char>(0x7F);
    std::ofstream(file("damaged.krv"), std::ios::binary | std::ios::trunc) << damaged;
    m_messages.clear();
    EXPECT_FALSE(m_session.open(file("damaged.krv")));
    expectOldDocument(10);
    EXPECT_EQ(m_messages.shown().size(), 1u);
}

TEST_F(BackgroundSessionTest, ACancelledSaveLeavesTheFileOnDiskAndNoTemporary) {
    openDocumentOf(200000);
    m_state.store.append(frameWithId(0x7FF));
    const std::string before = bytes(file("old.krv"));
    m_session.document()->SetModifiedFlag(true);
    cancelAtFirstStep();
    EXPECT_FALSE(m_session.save(file("old.krv")));
    EXPECT_EQ(bytes(file("old.krv")), before);
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"old.krv"});
    EXPECT_TRUE(m_session.document()->IsModified());
    EXPECT_EQ(m_state.capture.pendingChanges.load(), 1u);
    EXPECT_TRUE(m_messages.shown().empty());
}

TEST_F(BackgroundSessionTest, ASaveDuringCaptureWritesExactlyTheFramesBeforeTheCommand) {
    openDocumentOf(200000);
    // Frames arrive while the file is written: the worker is held at its first step meanwhile.
    Gate gate;
    m_state.work.setStepObserver([&gate](int percent) {
        if (percent > 0) gate.arrive();
    });
    bool saved = false;
    m_session.save(file("new.krv"), [&saved](bool ok) { saved = ok; });
    gate.awaitArrival();
    for (int i = 0; i < 70000; ++i) m_state.store.append(frameWithId(0x7FF));
    gate.open();
    m_posted.runUntil([this] { return !m_state.work.busy(); });
    ASSERT_TRUE(saved);
    EXPECT_EQ(m_state.store.count(), 270000u);

    DocumentContents contents;
    FrameStore read;
    ASSERT_TRUE(loadDocument(file("new.krv"), contents, read, nullptr).ok);
    EXPECT_EQ(identifiersIn(read), std::vector<std::uint32_t>(200000, 0x123));
    EXPECT_EQ(m_session.document()->GetPathName(), file("new.krv"));
}

TEST_F(BackgroundSessionTest, ACancelledImportLeavesTheOpenDocument) {
    openDocumentOf(10);
    {
        std::ofstream log(file("big.log"));
        for (int i = 0; i < 100000; ++i) log << "(1.000" << i % 10 << ") can0 456#0102\n";
    }
    cancelAtFirstStep();
    EXPECT_FALSE(m_session.importLog(file("big.log")));
    expectOldDocument(10);
    EXPECT_EQ(m_session.document()->GetTitle(), "old.krv");
    EXPECT_TRUE(m_messages.shown().empty());
    m_state.work.setStepObserver({});
    EXPECT_TRUE(m_session.importLog(file("big.log")));
    EXPECT_EQ(m_state.store.count(), 100000u);
}

TEST_F(BackgroundSessionTest, AnExportHoldsTheFramesBeforeTheCommandAndACancelledOneNothing) {
    openDocumentOf(200000);
    Gate gate;
    m_state.work.setStepObserver([&gate](int percent) {
        if (percent > 0) gate.arrive();
    });
    bool written = false;
    m_session.exportLog(file("all.log"), false, LogExportOptions{},
                        [&written](bool ok) { written = ok; });
    gate.awaitArrival();
    for (int i = 0; i < 70000; ++i) m_state.store.append(frameWithId(0x7FF));
    gate.open();
    m_posted.runUntil([this] { return !m_state.work.busy(); });
    ASSERT_TRUE(written);
    const std::string log = bytes(file("all.log"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 200000);
    EXPECT_EQ(log.find("7FF#"), std::string::npos);

    cancelAtFirstStep();
    EXPECT_FALSE(m_session.exportLog(file("all.log"), true, LogExportOptions{}));
    EXPECT_EQ(bytes(file("all.log")), log);
    EXPECT_EQ(filesInFolder(), (std::vector<std::string>{"all.log", "old.krv"}));
    EXPECT_TRUE(m_messages.shown().empty());
}
