#pragma once

// "Now" on the frames' clock, for the overview's fading marks and quiet rows. The frames carry
// the adapter's time; while capturing, the time since the newest frame arrived is added from the
// computer's clock, so that a bus that falls silent greys its rows. Otherwise (a loaded document,
// a capture that was stopped) the newest frame's time stands still.
//
// Thread: the user-interface thread.

#include <cstdint>

class OverviewNow {
public:
    // `latestUs`: the newest frame time; `steadyUs`: the computer's monotonic clock.
    [[nodiscard]] std::uint64_t at(std::uint64_t latestUs, std::uint64_t steadyUs, bool live) {
        if (latestUs != m_latestUs || !live || !m_anchored) {
            m_latestUs = latestUs;
            m_steadyUs = steadyUs;
            m_anchored = live;
        }
        return live && steadyUs > m_steadyUs ? latestUs + (steadyUs - m_steadyUs) : latestUs;
    }

private:
    std::uint64_t m_latestUs = 0;
    std::uint64_t m_steadyUs = 0;
    bool m_anchored = false;
};
