#pragma once

// One tick of the capture timer: pulls the frames the adapter has delivered and appends them to
// the store, counting time-stamp wrap-arounds.
//
// Thread: tick() runs on the capture timer's thread only.

#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "capture/VexaDevice.h"

#include <chrono>
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

    // Called (on the timer thread) when reads have failed for kLostAfter: the adapter is gone,
    // capturing has been switched off and the frames taken so far stay in the store.
    void setAdapterLostHandler(std::function<void()> handler) {
        m_onAdapterLost = std::move(handler);
    }
    // One failed read is a hiccup; reads failing for this long mean the adapter has gone.
    static constexpr std::chrono::milliseconds kLostAfter{1000};
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Tests move time on by hand.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    // The host's clock that anchors a capture run to the time of day, in microseconds since 1970.
    using TimeOfDayClock = std::function<std::int64_t()>;
    void setTimeOfDayClock(TimeOfDayClock clock) { m_timeOfDay = std::move(clock); }

    void tick();

private:
    // Counts a failed read that began at `began`; true when the adapter counts as lost.
    bool failedRead(std::chrono::steady_clock::time_point began);

    // Reads and appends one batch; the number of records the adapter delivered, -1 on failure.
    int pollBatch();

    VexaDevice& m_device;
    FrameStore& m_store;
    CaptureState& m_state;
    ApplicationFlags& m_flags;
    std::function<void()> m_onOutOfMemory;
    std::function<void()> m_onAdapterLost;
    Clock m_clock = [] { return std::chrono::steady_clock::now(); };
    TimeOfDayClock m_timeOfDay = [] { return hostTimeOfDayUs(); };
    // Consecutive failed reads and when the first of them began (timer thread only).
    int m_failures = 0;
    std::chrono::steady_clock::time_point m_firstFailure;
};
