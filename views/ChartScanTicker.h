#pragma once

// Shares the window's thread among the chart views that have frames left to read. A view of a
// large store (a document just opened, a curve just defined) reads it in steps: each pass of the
// event loop gives all the views together one time slice, handed round so that none waits behind
// another's whole store, and the window paints and answers between passes.
//
// One ticker serves every view of the program; it lives as long as some view holds it.
//
// Thread: the user-interface thread.

#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>

class ChartView;

class ChartScanTicker {
public:
    using Clock = std::chrono::steady_clock;

    // The window's thread spends at most about this long on chart scans before it looks at its
    // events again.
    static constexpr std::chrono::milliseconds kSlice{15};
    // Frames read between two looks at the clock (a few milliseconds at the slowest).
    static constexpr std::uint32_t kChunkFrames = 8192;

    // The ticker the views share, made on first use.
    [[nodiscard]] static std::shared_ptr<ChartScanTicker> shared();

    ChartScanTicker();
    ChartScanTicker(const ChartScanTicker&) = delete;
    ChartScanTicker& operator=(const ChartScanTicker&) = delete;

    // Reads what `view` has not read yet, within what is left of this pass's slice; what remains
    // waits for the next passes.
    void scan(ChartView* view);
    // The view's scan starts over: it waits for its turn.
    void request(ChartView* view);
    // The view is going.
    void forget(ChartView* view);
    // No view waits for its turn.
    [[nodiscard]] bool idle() const { return m_waiting.empty(); }

    // Tests make the steps small and predictable: a zero slice reads one chunk per pass.
    void setSlice(Clock::duration slice, std::uint32_t chunkFrames);

private:
    void pass();
    void wait(ChartView* view);
    void schedule();

    QTimer m_timer;
    std::deque<ChartView*> m_waiting;
    Clock::duration m_slice = kSlice;
    std::uint32_t m_chunkFrames = kChunkFrames;
    // Time spent on scans since the event loop last came round.
    Clock::duration m_spent{};
};
