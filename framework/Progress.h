#pragma once

// How far a long read, write or filter pass has come, told to whoever shows it (a progress window,
// or nobody in a batch run).

#include <cstdint>

// Told how far a long read or write has come.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void begin(std::uint32_t captionStringId) = 0;
    virtual void setPercent(int percent) = 0;
    virtual void end() = 0;
    // The user asked the run to stop: it stops at its next step and leaves what it would have
    // replaced as it was.
    [[nodiscard]] virtual bool cancelled() const { return false; }
};

// Turns "done of total" into whole percentages and says when one changes, so a window is updated
// at most a hundred times however long the run.
class ProgressSteps {
public:
    // The window starts at 0, shown by begin(); each later percentage is one update.
    explicit ProgressSteps(Progress* progress, std::uint64_t total)
        : m_progress(progress), m_total(total) {}
    void at(std::uint64_t done) {
        if (m_progress == nullptr || m_total == 0) return;
        const int percent = static_cast<int>(done * 100 / m_total);
        if (percent != m_shown) {
            m_shown = percent;
            m_progress->setPercent(percent);
        }
    }

    [[nodiscard]] bool cancelled() const { return m_progress != nullptr && m_progress->cancelled(); }

private:
    Progress* m_progress;
    std::uint64_t m_total;
    int m_shown = 0;
};
