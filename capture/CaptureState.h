#pragma once

#include "capture/TimeAnchors.h"

#include <atomic>
#include <cstdint>

// An adapter time stamp as the poll compares it: micros take no part.
struct AdapterTime {
    std::uint32_t minutes = 0;
    std::uint32_t seconds = 0;
    std::uint32_t millis = 0;
};

[[nodiscard]] inline bool isEarlier(const AdapterTime& a, const AdapterTime& b) {
    if (a.minutes != b.minutes) return a.minutes < b.minutes;
    if (a.seconds != b.seconds) return a.seconds < b.seconds;
    return a.millis < b.millis;
}

// The process-wide capture state. The flags are read by the capture poll on its own thread and set
// on the user-interface thread. wrapCount and lastTime are written by the poll under the frame
// store's write lock, and reset by Clear All only after it has emptied the store under that lock
// while capturing is 0, so the two never overlap.
struct CaptureState {
    std::atomic<std::uint32_t> capturing{0};
    std::atomic<std::uint32_t> deviceReady{0};
    std::atomic<std::uint32_t> pendingChanges{0};
    // A cyclic set has been loaded into the adapter since its last set-up.
    std::atomic<std::uint32_t> downloaded{0};
    // Frames the adapter dropped to a full receive buffer while the store was filled; 0 again
    // when the store is emptied.
    std::atomic<std::uint64_t> framesLost{0};
    std::uint32_t wrapCount = 0;
    AdapterTime lastTime;
    // The time of day of the store's frames; emptied and refilled with the store.
    TimeAnchorList anchors;
};

// The program-wide flags word.
class ApplicationFlags {
public:
    static constexpr std::uint32_t kDocumentExists = 0x1;
    static constexpr std::uint32_t kClearing = 0x2;

    [[nodiscard]] bool test(std::uint32_t bit) const { return (m_word.load() & bit) != 0; }
    void set(std::uint32_t bit) { m_word.fetch_or(bit); }
    void reset(std::uint32_t bit) { m_word.fetch_and(~bit); }
    [[nodiscard]] std::uint32_t word() const { return m_word.load(); }

private:
    std::atomic<std::uint32_t> m_word{0};
};
