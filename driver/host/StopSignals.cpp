#include "driver/host/StopSignals.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <pthread.h>
#include <unistd.h>

std::optional<std::chrono::milliseconds> StopSignals::parseGrace(const char* text) {
    if (text == nullptr || *text < '0' || *text > '9') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long ms = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || ms > static_cast<unsigned long long>(kMaxGrace.count())) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(ms);
}

StopSignals::StopSignals() {
    if (const char* text = std::getenv(kGraceVariable); text != nullptr) {
        const auto grace = parseGrace(text);
        m_graceValid = grace.has_value();
        m_grace = grace.value_or(kDefaultGrace);
    }
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
    for (;;) {
        // A short wait, so that a host that ends without a signal does not wait for one.
        const timespec tick{0, 50'000'000};
        const int signal = sigtimedwait(&m_signals, nullptr, &tick);
        std::unique_lock lock(m_mutex);
        if (m_finished) {
            return;
        }
        if (signal <= 0) {
            continue;
        }
        m_signal = signal;
        m_changed.notify_all();
        // No grace: the host ends at the signal, without an orderly end.
        if (m_grace.count() > 0 &&
            m_changed.wait_for(lock, m_grace, [this] { return m_finished; })) {
            return;
        }
        // Held to the end: a main thread still waiting for the signal never acts on it.
        std::fprintf(stderr,
                     "adp4021d: %s, but the host did not end within %lld ms; ending it now\n",
                     strsignal(signal), static_cast<long long>(m_grace.count()));
        std::fflush(stderr);
        ::_exit(kForcedExit);
    }
}
