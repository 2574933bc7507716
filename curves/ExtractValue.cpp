#include "curves/ExtractValue.h"

#include "curves/ChartCommon.h"
#include "curves/CurveSignal.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

struct AxisBits {
    std::uint32_t bytes;  // D0..D7 in bits 0-7
    bool isSigned;
    bool reverse;
};

AxisBits bitsOf(std::uint32_t flags, Axis axis) {
    if (axis == Axis::kX) {
        return {(flags >> 12) & 0xFF, (flags & curve_flags::kXSigned) != 0,
                (flags & curve_flags::kXReverse) != 0};
    }
    return {flags & 0xFF, (flags & curve_flags::kYSigned) != 0,
            (flags & curve_flags::kYReverse) != 0};
}

// The raw 32-bit number, and whether it is a 16-bit one that the signed reading extends.
std::uint32_t assemble(const CapturedFrame& frame, const AxisBits& bits, bool& sixteen) {
    std::uint8_t b[4] = {};
    int n = 0;
    // A document may select more than four bytes; the buffer takes the first four visited.
    for (int k = 0; k < 8 && n < 4; ++k) {
        const int byte = bits.reverse ? k : 7 - k;
        if ((bits.bytes & (1u << byte)) != 0) b[n++] = frame.data[byte];
    }
    sixteen = std::popcount(bits.bytes) == 2;
    return b[0] | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
           (std::uint32_t{b[3]} << 24);
}

}  // namespace

ValueReader::ValueReader(std::uint32_t flags, Axis axis) {
    const AxisBits bits = bitsOf(flags, axis);
    for (int k = 0; k < 8 && m_count < 4; ++k) {
        const int byte = bits.reverse ? k : 7 - k;
        if ((bits.bytes & (1u << byte)) != 0)
            m_position[m_count++] = static_cast<std::uint8_t>(byte);
    }
    m_sixteen = std::popcount(bits.bytes) == 2;
    m_signed = bits.isSigned;
    m_halved = !m_signed && std::popcount(bits.bytes) >= 4;
}

int selectedByteCount(std::uint32_t flags, Axis axis) {
    return std::popcount(bitsOf(flags, axis).bytes);
}

std::int32_t ExtractValueSigned(const CapturedFrame& frame, std::uint32_t flags, Axis axis) {
    bool sixteen = false;
    const std::uint32_t raw = assemble(frame, bitsOf(flags, axis), sixteen);
    if (sixteen) return static_cast<std::int16_t>(static_cast<std::uint16_t>(raw));
    return static_cast<std::int32_t>(raw);
}

std::uint32_t ExtractValueUnsigned(const CapturedFrame& frame, std::uint32_t flags, Axis axis) {
    bool sixteen = false;
    const std::uint32_t raw = assemble(frame, bitsOf(flags, axis), sixteen);
    return sixteen ? (raw & 0xFFFF) : raw;
}

bool isSigned(std::uint32_t flags, Axis axis) {
    return bitsOf(flags, axis).isSigned;
}

bool drawsHalved(std::uint32_t flags, Axis axis) {
    return !isSigned(flags, axis) && selectedByteCount(flags, axis) >= 4;
}

std::int32_t drawingValue(const CapturedFrame& frame, std::uint32_t flags, Axis axis) {
    if (isSigned(flags, axis)) return ExtractValueSigned(frame, flags, axis);
    const std::uint32_t v = ExtractValueUnsigned(frame, flags, axis);
    return static_cast<std::int32_t>(drawsHalved(flags, axis) ? v >> 1 : v);
}

std::int64_t readingValue(const CapturedFrame& frame, std::uint32_t flags, Axis axis) {
    return isSigned(flags, axis) ? std::int64_t{ExtractValueSigned(frame, flags, axis)}
                                 : std::int64_t{ExtractValueUnsigned(frame, flags, axis)};
}

std::uint64_t FrameTimeMs(const CapturedFrame& frame) {
    return adapterTimeMs(frame);
}

ReadingDrawer::ReadingDrawer(std::uint32_t flags, Axis axis) {
    // Signed: the int32 range. Unsigned: 0 to the u32 range halved, or to INT32_MAX unhalved.
    if (isSigned(flags, axis)) {
        m_low = INT32_MIN;
        m_high = INT32_MAX;
        m_shift = 0;
    } else if (drawsHalved(flags, axis)) {
        m_low = 0;
        m_high = 0xFFFFFFFFll;
        m_shift = 1;
    } else {
        m_low = 0;
        m_high = INT32_MAX;
        m_shift = 0;
    }
}

std::int32_t drawingOfReading(std::uint32_t flags, Axis axis, std::int64_t reading) {
    return ReadingDrawer(flags, axis).drawing(reading);
}

std::int64_t floatReading(double physical) {
    if (!(physical == physical)) return 0;  // NaN
    constexpr double kLimit = 9.2e18;
    return static_cast<std::int64_t>(
        std::llround(std::clamp(physical * kFloatReadingScale, -kLimit, kLimit)));
}
