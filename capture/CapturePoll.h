#pragma once

// One tick of the capture timer: pulls the frames the adapter has delivered and appends them to
// the store, counting time-stamp wrap-arounds.
//
// Thread: tick() runs on the capture timer's thread only.

#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "capture/VexaDevice.h"

#include <functional>

class CapturePoll {
public:
    // A 1 Mbit/s bus of 0-byte frames delivers up to 21.3 frames per millisecond, more than one
    // 18-frame batch; a full batch is therefore followed by more reads in the same tick.
    static constexpr int kMaxBatchesPerTick = 4;

    CapturePoll(VexaDevice& device, FrameStore& store, CaptureState& state,
                ApplicationFlags& flags);

    // Called (on the timer thread) when the store could not grow: capturing has been switched off
    // and the owner should tell the user from its own thread.
    void setOutOfMemoryHandler(std::function<void()> handler) {
        m_onOutOfMemory = std::move(handler);
    }

    void tick();

private:
    // Reads and appends one batch; the number of records the adapter delivered, -1 on failure.
    int pollBatch();

    VexaDevice& m_device;
    FrameStore& m_store;
    CaptureState& m_state;
    ApplicationFlags& m_flags;
    std::function<void()> m_onOutOfMemory;
};
