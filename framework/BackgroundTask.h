#pragma once

// One long run (open, save, import, export, print) on a worker thread beside the window's: the
// run reports how far it has come through atomics the owner polls, can be asked to stop, and its
// completion is posted back to the owner's thread. Without a poster the run goes inline on the
// caller's thread (batch runs and tests of what a run does).
//
// Threads: start(), cancel(), busy() and shown() on the owner's thread; the work on the worker.

#include "framework/Progress.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class BackgroundTask {
public:
    // Hands a function to the owner's thread to run there later (a queued call).
    using Poster = std::function<void(std::function<void()>)>;
    using Work = std::function<void(Progress& progress)>;

    BackgroundTask() = default;
    ~BackgroundTask();  // asks a running work to stop and waits for it; its completion is dropped
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    void setPoster(Poster post) { m_post = std::move(post); }
    [[nodiscard]] bool threaded() const { return static_cast<bool>(m_post); }

    // Runs `work` on a worker, then `done` on the owner's thread; false (nothing run) while a
    // work is still going. A work that throws ends as failed().
    bool start(Work work, std::function<void()> done);
    // Asks the work to stop at its next step; done() still runs.
    void cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    [[nodiscard]] bool cancelRequested() const { return m_cancel.load(std::memory_order_relaxed); }
    // From start() until done() has returned.
    [[nodiscard]] bool busy() const { return m_busy; }
    // Works started so far: tells a watcher that a new one began.
    [[nodiscard]] std::uint64_t started() const { return m_started; }
    // The last work threw instead of returning.
    [[nodiscard]] bool failed() const { return m_failed; }

    // What a progress window shows now: whether a step is under way, its caption and percentage.
    struct Shown {
        bool shown = false;
        std::uint32_t caption = 0;
        int percent = 0;
        std::uint32_t steps = 0;  // begin() calls so far: a new step restarts the window
    };
    [[nodiscard]] Shown shown() const;

    // Called on the worker with each percentage a run reports (after its begin, with 0): tests
    // and benchmarks act at a known point of a run with it. Set while no work runs.
    void setStepObserver(std::function<void(int percent)> observer) {
        m_observer = std::move(observer);
    }

    // Lets go of `garbage` off the owner's thread: freeing a large store takes a while.
    void dispose(std::shared_ptr<void> garbage);

private:
    class AtomicProgress final : public Progress {
    public:
        explicit AtomicProgress(BackgroundTask& task) : m_task(task) {}
        void begin(std::uint32_t captionStringId) override;
        void setPercent(int percent) override;
        void end() override;
        [[nodiscard]] bool cancelled() const override { return m_task.cancelRequested(); }

    private:
        BackgroundTask& m_task;
    };

    void finish(const std::function<void()>& done);
    void joinDisposers();

    Poster m_post;
    std::function<void(int percent)> m_observer;
    std::thread m_worker;
    std::vector<std::thread> m_disposers;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_shown{false};
    std::atomic<std::uint32_t> m_caption{0};
    std::atomic<int> m_percent{0};
    std::atomic<std::uint32_t> m_steps{0};
    bool m_busy = false;
    bool m_failed = false;
    std::uint64_t m_started = 0;
    // Completions posted after the task is gone find it expired.
    std::shared_ptr<BackgroundTask*> m_alive = std::make_shared<BackgroundTask*>(this);
};
