#pragma once

// When each frame of a replay is due. The first frame is due at once; each later one after the
// time between it and the first frame of its pass, divided by the speed, or at once when the
// replay goes as fast as the bus takes. Due times never go back: a frame whose time is earlier
// than the one before it (frames sent by hand carry no time) is due with that one. A looping
// replay starts its next pass one mean period of the pass after the last frame, so a log of
// cyclic messages loops without a gap or a burst (a pass of one frame has no period: the next
// follows at once).
//
// Thread: one thread at a time (the replay's own).

#include "interop/LogFrame.h"
#include "overview/ReplaySource.h"

#include <cstdint>
#include <string>

struct ReplayOptions {
    static constexpr double kSlowest = 0.5;
    static constexpr double kFastest = 10.0;

    double speed = 1.0;  // × the original timing, kSlowest to kFastest
    bool asFastAsTheBusTakes = false;
    bool loop = false;
};

class ReplaySchedule {
public:
    // The speed is held within kSlowest .. kFastest.
    ReplaySchedule(ReplaySource& source, const ReplayOptions& options);

    // The next frame and when it is due, in microseconds from the start of the replay; false
    // when the replay is over (error() says whether reading failed).
    bool peek(LogFrame& frame, std::uint64_t& dueUs);
    // Done with the frame peek() gave.
    void pop();

    [[nodiscard]] std::uint64_t framesTaken() const { return m_taken; }
    // Passes begun, 1 for the first.
    [[nodiscard]] std::uint64_t pass() const { return m_pass; }
    [[nodiscard]] double passProgress() const { return m_source.progress(); }
    [[nodiscard]] const std::string& error() const { return m_error; }
    [[nodiscard]] double speed() const { return m_speed; }

private:
    // Reads the next frame into m_frame, starting another pass when looping; false at the end.
    bool fetch();

    ReplaySource& m_source;
    const double m_speed;
    const bool m_asFast;
    const bool m_loop;
    LogFrame m_frame;
    bool m_have = false;
    bool m_over = false;
    std::uint64_t m_due = 0;
    std::uint64_t m_pass = 0;
    std::uint64_t m_passStartUs = 0;  // due time of the pass's first frame
    std::uint64_t m_passFirstTimeUs = 0;
    std::uint64_t m_passFrames = 0;
    std::uint64_t m_taken = 0;
    std::string m_error;
};
