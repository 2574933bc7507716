#include "interop/LogTime.h"

#include <cstring>

std::uint64_t captureTimeUs(const CapturedFrame& f) {
    return adapterTimeUs(f);
}

void setCaptureTime(CapturedFrame& f, std::uint64_t us) {
    setAdapterTimeUs(f, us);
}

LogFrame toLogFrame(const CapturedFrame& f) {
    LogFrame l;
    l.timeUs = captureTimeUs(f);
    l.identifier = f.identifier;
    l.extended = f.format != 0;
    l.remote = f.status == 1;
    l.length = f.length > 8 ? 8 : f.length;
    std::memcpy(l.data, f.data, 8);
    return l;
}

CapturedFrame LogTimeline::place(const LogFrame& l) {
    std::uint64_t t = l.timeUs >= m_zeroUs ? l.timeUs - m_zeroUs : 0;
    if (t < m_lastUs || l.timeUs < m_zeroUs) ++m_movedOn;
    if (t < m_lastUs) t = m_lastUs;
    m_lastUs = t;
    CapturedFrame f;
    setCaptureTime(f, t);
    f.loading = 0;
    f.status = l.remote ? 1 : 0;
    f.format = l.extended ? 1 : 0;
    f.length = l.length;
    f.identifier = l.identifier;
    std::memcpy(f.data, l.data, 8);
    return f;
}
