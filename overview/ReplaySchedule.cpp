#include "overview/ReplaySchedule.h"

#include <algorithm>
#include <cmath>

ReplaySchedule::ReplaySchedule(ReplaySource& source, const ReplayOptions& options)
    : m_source(source),
      m_speed(std::clamp(std::isfinite(options.speed) ? options.speed : 1.0,
                         ReplayOptions::kSlowest, ReplayOptions::kFastest)),
      m_asFast(options.asFastAsTheBusTakes),
      m_loop(options.loop) {}

bool ReplaySchedule::peek(LogFrame& frame, std::uint64_t& dueUs) {
    if (!m_have && !fetch()) return false;
    frame = m_frame;
    dueUs = m_due;
    return true;
}

void ReplaySchedule::pop() {
    if (!m_have) return;
    m_have = false;
    ++m_taken;
}

bool ReplaySchedule::fetch() {
    if (m_over) return false;
    LogFrame f;
    bool got = m_pass > 0 && m_source.next(f);
    if (!got) {
        if (m_pass > 0) {
            m_error = m_source.error();
            // A pass that gave nothing would loop for ever without sending.
            if (!m_error.empty() || !m_loop || m_passFrames == 0) {
                m_over = true;
                return false;
            }
            if (!m_source.rewind()) {
                m_error = m_source.error();
                m_over = true;
                return false;
            }
        }
        got = m_source.next(f);
        if (!got) {
            m_error = m_source.error();
            m_over = true;
            return false;
        }
        // The next pass begins a mean period of the last one after its last frame.
        const std::uint64_t gap =
            m_passFrames > 1 ? (m_due - m_passStartUs) / (m_passFrames - 1) : 0;
        m_passStartUs = m_pass == 0 ? 0 : m_due + gap;
        m_passFirstTimeUs = f.timeUs;
        m_passFrames = 0;
        ++m_pass;
    }
    std::uint64_t due = m_passStartUs;
    if (!m_asFast && f.timeUs > m_passFirstTimeUs) {
        due += static_cast<std::uint64_t>(
            std::llround(static_cast<double>(f.timeUs - m_passFirstTimeUs) / m_speed));
    }
    m_due = std::max(due, m_due);
    ++m_passFrames;
    m_frame = f;
    m_have = true;
    return true;
}
