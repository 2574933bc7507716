#pragma once

// Where a replay takes its frames from, one pass at a time and streamed: the frames are read as
// they are sent, never all copied first.
//
// Thread: made on any thread, then used by one thread at a time (the replay's own).

#include "interop/LogFrame.h"

#include <cstdint>
#include <string>

class ReplaySource {
public:
    virtual ~ReplaySource() = default;
    // The next frame of the pass, its time in microseconds on the source's own clock; false at
    // the end of the pass or when reading failed (error() says why).
    virtual bool next(LogFrame& frame) = 0;
    // Back to the first frame for another pass; false, with error(), when that fails.
    virtual bool rewind() = 0;
    // How far the pass has come, 0 to 1.
    [[nodiscard]] virtual double progress() const = 0;
    // Why reading failed; empty while it has not.
    [[nodiscard]] virtual std::string error() const { return {}; }
};
