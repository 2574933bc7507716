#pragma once

// A QObject worker on a thread of its own, as the live bus sources run their I/O: the thread and
// the worker are owned here and end in one order, whatever the source: the worker's destroy() on
// its own thread (it closes what it opened there), the thread's end, then the worker itself.
//
// Thread: every call from the thread that started the worker; the work handed over runs on the
// worker's thread.

#include <QMetaObject>
#include <QString>
#include <QThread>

#include <chrono>
#include <future>
#include <memory>
#include <optional>

template <class Worker>
class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread() { stop(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts a thread named `name` with `worker` moved onto it.
    void start(const QString& name, std::unique_ptr<Worker> worker) {
        stop();
        m_thread = std::make_unique<QThread>();
        m_thread->setObjectName(name);
        m_worker = std::move(worker);
        m_worker->moveToThread(m_thread.get());
        m_thread->start();
    }

    // Ends the worker (see above); nothing when none was started.
    void stop() {
        if (!m_worker) return;
        call([](Worker& w) { w.destroy(); });
        m_thread->quit();
        m_thread->wait();
        m_worker.reset();
        m_thread.reset();
    }

    [[nodiscard]] explicit operator bool() const { return m_worker != nullptr; }
    [[nodiscard]] Worker* operator->() const { return m_worker.get(); }

    // Runs `f(worker)` on the worker's thread and waits until it has run.
    template <class F>
    void call(F f) {
        QMetaObject::invokeMethod(
            m_worker.get(), [w = m_worker.get(), f = std::move(f)]() mutable { f(*w); },
            Qt::BlockingQueuedConnection);
    }

    // Runs `f(worker)` on the worker's thread without waiting.
    template <class F>
    void post(F f) {
        QMetaObject::invokeMethod(
            m_worker.get(), [w = m_worker.get(), f = std::move(f)]() mutable { f(*w); },
            Qt::QueuedConnection);
    }

    // Runs `f(worker)` on the worker's thread and waits at most `limit` for its result; nothing
    // when it took longer (it still runs to its end there).
    template <class R, class F>
    [[nodiscard]] std::optional<R> callWithin(F f, std::chrono::milliseconds limit) {
        auto promise = std::make_shared<std::promise<R>>();
        auto future = promise->get_future();
        post([promise, f = std::move(f)](Worker& w) mutable { promise->set_value(f(w)); });
        if (future.wait_for(limit) != std::future_status::ready) return std::nullopt;
        return future.get();
    }

private:
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<Worker> m_worker;
};
