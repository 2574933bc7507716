#include "capture/DeviceThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

struct DeviceThread::Shared {
    std::mutex mutex;
    std::condition_variable wake;  // a command queued, or closing
    std::condition_variable idle;  // the queue ran empty
    std::deque<std::pair<Work, Completion>> queue;
    bool busy = false;
    bool closing = false;  // no more submissions, no more completions
    bool abandoned = false;  // commands not yet started are dropped
    Post post;
};

DeviceThread::DeviceThread(VexaDevice& device, Post post) : m_shared(std::make_shared<Shared>()) {
    m_shared->post = std::move(post);
    m_thread = std::thread([shared = m_shared, &device] { run(shared, device); });
}

DeviceThread::~DeviceThread() {
    close();
}

void DeviceThread::submit(Work work, Completion done) {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->closing) return;
        m_shared->queue.emplace_back(std::move(work), std::move(done));
    }
    m_shared->wake.notify_one();
}

void DeviceThread::run(const std::shared_ptr<Shared>& shared, VexaDevice& device) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock, [&] { return !shared->queue.empty() || shared->closing; });
        if (shared->queue.empty() || shared->abandoned) {
            shared->queue.clear();
            shared->idle.notify_all();
            return;
        }
        auto [work, done] = std::move(shared->queue.front());
        shared->queue.pop_front();
        shared->busy = true;
        lock.unlock();
        work(device);
        lock.lock();
        shared->busy = false;
        // Posted under the lock, so completions keep the commands' order and none follows close().
        if (done && !shared->closing) shared->post(std::move(done));
        if (shared->queue.empty()) shared->idle.notify_all();
    }
}

bool DeviceThread::close(std::chrono::milliseconds bound) {
    if (!m_thread.joinable()) return true;
    bool ended = false;
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->closing = true;
        m_shared->wake.notify_one();
        ended = m_shared->idle.wait_for(
            lock, bound, [&] { return m_shared->queue.empty() && !m_shared->busy; });
        if (!ended) {
            m_shared->abandoned = true;
            m_shared->queue.clear();
        }
    }
    if (ended) {
        m_thread.join();
    } else {
        // Still inside the library: it holds only the shared state and returns to nothing more.
        m_thread.detach();
    }
    return ended;
}
