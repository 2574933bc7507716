#include "capture/CapturedFrame.h"

#include <cstring>

CapturedFrame toCapturedFrame(const ReceivedFrame& frame, std::uint32_t wraps) {
    CapturedFrame f;
    f.loading = frame.loading;
    f.micros = frame.micros;
    f.millis = frame.millis;
    f.seconds = frame.seconds;
    f.minutes = frame.minutes;
    f.status = frame.status;
    f.format = frame.format;
    f.length = frame.length;
    f.identifier = frame.identifier;
    std::memcpy(f.data, frame.data, sizeof f.data);
    f.wraps = wraps;
    return f;
}
