#include "capture/CapturePoll.h"

#include <cstring>
#include <new>

CapturePoll::CapturePoll(VexaDevice& device, FrameStore& store, CaptureState& state,
                         ApplicationFlags& flags)
    : m_device(device), m_store(store), m_state(state), m_flags(flags) {}

void CapturePoll::tick() {
    for (int batch = 0; batch < kMaxBatchesPerTick; ++batch) {
        if (m_state.capturing.load() == 0) {
            m_failures = 0;
            return;
        }
        if (pollBatch() < VEXA_MAX_FRAMES_PER_READ) {
            return;
        }
    }
}

int CapturePoll::pollBatch() {
    ReceivedFrame records[VEXA_MAX_FRAMES_PER_READ];
    // Zeroed for every read so that bytes beyond a frame's length are 0, never left from before.
    std::memset(records, 0, sizeof records);
    std::int32_t statusA = 0;
    std::int32_t statusB = 0;
    std::int32_t count = 0;
    const auto began = m_clock();
    if (!m_device.recvData(statusA, statusB, count, records)) {
        if (failedRead(began)) {
            m_state.capturing.store(0);
            m_failures = 0;
            if (m_onAdapterLost) {
                m_onAdapterLost();
            }
        }
        return -1;
    }
    m_failures = 0;
    // Status byte A: frames the adapter dropped to a full buffer since the previous read.
    if (statusA > 0 && m_state.capturing.load() != 0) {
        m_state.framesLost.fetch_add(static_cast<std::uint64_t>(statusA));
    }
    if (count <= 0) {
        return -1;
    }
    const auto n = static_cast<std::size_t>(
        count > VEXA_MAX_FRAMES_PER_READ ? VEXA_MAX_FRAMES_PER_READ : count);
    CapturedFrame frames[VEXA_MAX_FRAMES_PER_READ];
    for (std::size_t i = 0; i < n; ++i) {
        frames[i] = toCapturedFrame(records[i], 0);
    }
    // The host's clock as the batch is read dates the first frame of a run.
    const std::int64_t readAtUs = m_timeOfDay();
    try {
        const std::size_t appended = m_store.appendBatch(
            frames, n, [this, readAtUs](CapturedFrame* batch, std::size_t size) {
                // Stop or Clear All may have come while the batch was being read: it is dropped.
                if (m_state.capturing.load() == 0 || m_flags.test(ApplicationFlags::kClearing)) {
                    return false;
                }
                for (std::size_t i = 0; i < size; ++i) {
                    const AdapterTime t{batch[i].minutes, batch[i].seconds, batch[i].millis};
                    if (isEarlier(t, m_state.lastTime)) {
                        ++m_state.wrapCount;
                    }
                    m_state.lastTime = t;
                    batch[i].wraps = m_state.wrapCount;
                }
                m_state.anchors.frameTaken(m_store.count(), batch[0], readAtUs);
                return true;
            });
        if (appended > 0 && m_state.pendingChanges.load() == 0) {
            m_state.pendingChanges.store(1);
        }
    } catch (const std::bad_alloc&) {
        m_state.capturing.store(0);
        if (m_onOutOfMemory) {
            m_onOutOfMemory();
        }
        return -1;
    }
    return static_cast<int>(n);
}

bool CapturePoll::failedRead(std::chrono::steady_clock::time_point began) {
    if (m_failures++ == 0) {
        m_firstFailure = began;
    }
    // A single read that hung and failed is not enough: the next one must fail too.
    return m_failures >= 2 && m_clock() - m_firstFailure >= kLostAfter;
}
