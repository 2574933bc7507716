#include "driver/host/StopSignals.h"

#include <cstdio>
#include <cstring>

#include <pthread.h>
#include <unistd.h>

StopSignals::StopSignals() {
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
    m_thread = std::thread([this] { run(); });
}

StopSignals::~StopSignals() {
    finished();
    m_thread.join();
}

int StopSignals::waitFor(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, limit, [this] { return m_signal != 0; });
    return m_signal;
}

int StopSignals::wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_signal != 0; });
    return m_signal;
}

void StopSignals::finished() {
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_changed.notify_all();
}

void StopSignals::run() {
    int signal = 0;
    for (;;) {
        // A short wait, so that a host that ends without a signal does not wait for one.
        const timespec tick{0, 50'000'000};
        signal = sigtimedwait(&m_signals, nullptr, &tick);
        std::unique_lock lock(m_mutex);
        if (m_finished) {
            return;
        }
        if (signal > 0) {
            m_signal = signal;
            m_changed.notify_all();
            if (m_changed.wait_for(lock, kGrace, [this] { return m_finished; })) {
                return;
            }
            break;
        }
    }
    std::fprintf(stderr, "adp4021d: %s, but the host did not end within %lld ms; ending it now\n",
                 strsignal(signal), static_cast<long long>(kGrace.count()));
    std::fflush(stderr);
    ::_exit(1);
}
