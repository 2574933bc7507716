#pragma once

// The stored records of the curves: one y(t) curve, one y(x) curve, and the record of one window of
// the document with its axis settings and its four curve slots of each kind.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

// A name field of 32 bytes. It is kept as the bytes it holds, so a document writes back exactly
// what it read; its text ends at the first NUL, and never goes beyond 31 characters.
struct RecordName {
    std::array<char, 32> bytes{};

    [[nodiscard]] std::string text() const {
        return std::string(bytes.data(), strnlen(bytes.data(), bytes.size() - 1));
    }
    void set(const std::string& text) {
        bytes.fill(0);
        std::memcpy(bytes.data(), text.data(), std::min(text.size(), bytes.size() - 1));
    }
    bool operator==(const RecordName&) const = default;
};

struct CurveDefinition {
    std::uint32_t flags = 0;
    RecordName name;
    std::uint32_t colour = 0;
    std::int32_t resolution = 0;
    std::uint32_t identifier = 0;
    std::int32_t originSigned = 0;
    std::uint32_t originUnsigned = 0;
    bool operator==(const CurveDefinition&) const = default;
};

struct XYCurveDefinition {
    std::uint32_t flags = 0;
    RecordName name;
    std::uint32_t colour = 0;
    std::int32_t resolution = 0;
    std::uint32_t xIdentifier = 0;
    std::uint32_t yIdentifier = 0;
    std::int32_t xOriginSigned = 0;
    std::int32_t yOriginSigned = 0;
    std::uint32_t xOriginUnsigned = 0;
    std::uint32_t yOriginUnsigned = 0;
    std::uint32_t syncIdentifier = 0;
    bool operator==(const XYCurveDefinition&) const = default;
};

// The two kinds of chart window.
enum class ChartKind { kYt, kYx };

struct CurveWindowRecord {
    static constexpr std::uint32_t kDataList = 0x1;
    static constexpr std::uint32_t kYt = 0x2;
    static constexpr std::uint32_t kYx = 0x4;

    std::uint32_t flags = 0;
    RecordName name;
    // The word that follows the name: the time at the plot's left edge. Held in 64 bits as the
    // chart's times are; the document stores 32.
    std::uint64_t timeOrigin = 0;
    std::uint32_t timeResolution = 40;  // ms per time division
    std::array<CurveDefinition, 4> yt{};
    std::array<XYCurveDefinition, 4> yx{};
    bool operator==(const CurveWindowRecord&) const = default;
};
