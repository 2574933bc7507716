#include "views/ChartScanTicker.h"

#include "views/ChartView.h"

#include <algorithm>

std::shared_ptr<ChartScanTicker> ChartScanTicker::shared() {
    static std::weak_ptr<ChartScanTicker> instance;
    std::shared_ptr<ChartScanTicker> ticker = instance.lock();
    if (!ticker) {
        ticker = std::make_shared<ChartScanTicker>();
        instance = ticker;
    }
    return ticker;
}

ChartScanTicker::ChartScanTicker() {
    // A zero interval comes round once the pending events (input, paints) are handled.
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { pass(); });
}

void ChartScanTicker::setSlice(Clock::duration slice, std::uint32_t chunkFrames) {
    m_slice = slice;
    m_chunkFrames = std::max<std::uint32_t>(1, chunkFrames);
}

void ChartScanTicker::wait(ChartView* view) {
    if (std::find(m_waiting.begin(), m_waiting.end(), view) == m_waiting.end()) {
        m_waiting.push_back(view);
    }
    schedule();
}

void ChartScanTicker::schedule() {
    if (!m_timer.isActive()) m_timer.start();
}

void ChartScanTicker::request(ChartView* view) {
    wait(view);
}

void ChartScanTicker::forget(ChartView* view) {
    std::erase(m_waiting, view);
}

void ChartScanTicker::scan(ChartView* view) {
    // Many views ticking in the same pass share one slice; the later ones wait.
    if (m_spent > Clock::duration::zero() && m_spent >= m_slice) {
        wait(view);
        return;
    }
    const Clock::time_point start = Clock::now();
    const bool complete = view->scanUntil(start + (m_slice - m_spent), m_chunkFrames);
    m_spent += Clock::now() - start;
    if (!complete) {
        wait(view);
    } else {
        forget(view);
        // The next pass gives the slice back.
        schedule();
    }
}

void ChartScanTicker::pass() {
    m_spent = {};
    if (m_waiting.empty()) return;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + m_slice;
    while (!m_waiting.empty()) {
        ChartView* view = m_waiting.front();
        m_waiting.pop_front();
        // Round the views in turn: the one just served goes to the back.
        if (!view->scanUntil(deadline, m_chunkFrames)) m_waiting.push_back(view);
        if (Clock::now() >= deadline) break;
    }
    m_spent = Clock::now() - start;
    // Ticks in the same round of events share what is left; the next pass gives the slice back.
    schedule();
}
