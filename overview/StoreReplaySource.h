#pragma once

// The frames of the open document for a replay: all of them up to the count at the start, or the
// rows the list showed then (store positions, copied at the start because the list grows on the
// user-interface thread meanwhile). Times are the frames' adapter times with wraps counted.
//
// The store is read on the replay's thread. Records never move while frames are appended, but the
// store must not be emptied or replaced while a replay of it runs: stop the replay first (the
// document's clear listener is the place).

#include "capture/FrameStore.h"
#include "overview/ReplaySource.h"

#include <cstdint>
#include <optional>
#include <vector>

class StoreReplaySource final : public ReplaySource {
public:
    explicit StoreReplaySource(const FrameStore& store);
    StoreReplaySource(const FrameStore& store, std::vector<std::uint32_t> positions);

    bool next(LogFrame& frame) override;
    bool rewind() override;
    [[nodiscard]] double progress() const override;
    [[nodiscard]] std::size_t total() const { return m_total; }

private:
    const FrameStore& m_store;
    std::optional<std::vector<std::uint32_t>> m_positions;
    std::size_t m_total = 0;
    std::size_t m_next = 0;
};
