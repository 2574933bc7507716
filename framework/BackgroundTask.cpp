#include "framework/BackgroundTask.h"

#include <exception>

BackgroundTask::~BackgroundTask() {
    cancel();
    if (m_worker.joinable()) m_worker.join();
    joinDisposers();
}

bool BackgroundTask::start(Work work, std::function<void()> done) {
    if (m_busy) return false;
    if (m_worker.joinable()) m_worker.join();
    m_busy = true;
    ++m_started;
    m_failed = false;
    m_cancel.store(false);
    m_shown.store(false);
    m_percent.store(0);
    const auto run = [this, work = std::move(work)] {
        AtomicProgress progress(*this);
        try {
            work(progress);
            return true;
        } catch (...) {
            return false;
        }
    };
    if (!m_post) {
        m_failed = !run();
        m_shown.store(false);
        finish(done);
        return true;
    }
    std::weak_ptr<BackgroundTask*> alive = m_alive;
    // The completion is moved along, never copied, so that what it holds goes with it alone.
    m_worker = std::thread([this, run, done = std::move(done), alive]() mutable {
        const bool ok = run();
        m_shown.store(false);
        m_post([alive, ok, done = std::move(done)] {
            const std::shared_ptr<BackgroundTask*> task = alive.lock();
            if (!task) return;
            BackgroundTask& self = **task;
            if (self.m_worker.joinable()) self.m_worker.join();
            self.m_failed = !ok;
            self.finish(done);
        });
    });
    return true;
}

void BackgroundTask::finish(const std::function<void()>& done) {
    // Done runs while still busy, so nothing it does can start another work in its middle.
    if (done) done();
    m_busy = false;
}

BackgroundTask::Shown BackgroundTask::shown() const {
    Shown s;
    s.steps = m_steps.load(std::memory_order_acquire);
    s.shown = m_shown.load(std::memory_order_acquire);
    s.caption = m_caption.load(std::memory_order_relaxed);
    s.percent = m_percent.load(std::memory_order_relaxed);
    return s;
}

void BackgroundTask::dispose(std::shared_ptr<void> garbage) {
    if (!m_post || !garbage) return;
    joinDisposers();
    m_disposers.emplace_back([g = std::move(garbage)]() mutable { g.reset(); });
}

void BackgroundTask::joinDisposers() {
    for (std::thread& t : m_disposers) t.join();
    m_disposers.clear();
}

void BackgroundTask::AtomicProgress::begin(std::uint32_t captionStringId) {
    m_task.m_caption.store(captionStringId, std::memory_order_relaxed);
    m_task.m_percent.store(0, std::memory_order_relaxed);
    m_task.m_shown.store(true, std::memory_order_relaxed);
    m_task.m_steps.fetch_add(1, std::memory_order_release);
    if (m_task.m_observer) m_task.m_observer(0);
}

void BackgroundTask::AtomicProgress::setPercent(int percent) {
    m_task.m_percent.store(percent, std::memory_order_relaxed);
    if (m_task.m_observer) m_task.m_observer(percent);
}

void BackgroundTask::AtomicProgress::end() {
    m_task.m_shown.store(false, std::memory_order_release);
}
