#pragma once

// The newest data frame of one message in a store, for the signals panel to follow while frames
// arrive. Each update looks only at the frames appended since the last one; a newly chosen message
// (or a store emptied or replaced) is looked for backwards from the newest frame, a bounded number
// of frames per update, so that no update of a store of any size keeps the window waiting.
//
// Thread: the user-interface thread, which owns the store's clear(); appends on the capture
// thread never move records.

#include "capture/FrameStore.h"

#include <cstdint>
#include <optional>

class NewestFrame {
public:
    // Frames looked at backwards per update: well under the window's 100 ms.
    static constexpr std::uint32_t kBackStep = 1u << 21;

    explicit NewestFrame(std::uint32_t backStep = kBackStep) : m_backStep(backStep) {}

    // Follows the frames of this identifier; remote frames carry no values and are passed over.
    void choose(std::uint32_t identifier, bool extended);
    void clear() { m_chosen = false; }
    [[nodiscard]] bool chosen() const { return m_chosen; }

    // The store position of the newest data frame of the chosen identifier, or nullopt while
    // none is known (yet).
    std::optional<std::uint32_t> update(const FrameStore& store);

private:
    void restart(const FrameStore& store);
    [[nodiscard]] bool matches(const CapturedFrame& f) const {
        return f.identifier == m_identifier && (f.format == 1) == m_extended && f.status == 0;
    }

    std::uint32_t m_backStep;
    bool m_chosen = false;
    std::uint32_t m_identifier = 0;
    bool m_extended = false;
    std::uint64_t m_generation = 0;
    std::uint32_t m_ahead = 0;  // frames from here on are looked at forwards
    std::uint32_t m_back = 0;   // frames below here are not looked at yet
    std::optional<std::uint32_t> m_newest;
};
