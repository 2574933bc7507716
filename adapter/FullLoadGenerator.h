#pragma once

// Frames back to back for stress: every frame wants the bus at once (a fully loaded bus), or at a
// fixed rate when one is given.

#include "adapter/BusFrame.h"

class FullLoadGenerator final : public BusSource {
public:
    // `framesPerSecond` 0: as fast as the bus carries them.
    FullLoadGenerator(std::uint8_t length, bool extended, double framesPerSecond);
    bool next(BusFrame& frame, std::uint64_t& wantedAtUs) override;
    void pop() override;

private:
    std::uint8_t m_length;
    bool m_extended;
    double m_intervalUs;
    std::uint64_t m_count = 0;
};
