#pragma once

// The filter conditions turned into plain mask tests, so that the filter pass tests millions of
// frames a second. A condition becomes one or more alternatives (group 2 and 3 DeviceNet
// conditions whose MAC IDs depend on the frame's message ID need several); an alternative holds
// when every masked part of the frame equals its value and the frame carries enough data bytes.
// It gives exactly the answers of matches().

#include "capture/CapturedFrame.h"
#include "filters/FilterCondition.h"

#include <cstdint>
#include <cstring>
#include <vector>

class CompiledFilter {
public:
    // Show mode passes frames that match some enabled condition; Hide mode those that match none.
    CompiledFilter(const std::vector<FilterCondition>& conditions, bool hide);

    [[nodiscard]] bool passes(const CapturedFrame& frame) const {
        const Key k = keyOf(frame);
        bool any = false;
        for (const Alternative& a : m_alternatives) {
            any |= ((k.idStatus & a.mask.idStatus) == a.value.idStatus) &
                   ((k.data & a.mask.data) == a.value.data) &
                   ((k.formatLength & a.mask.formatLength) == a.value.formatLength) &
                   (k.length >= a.minLength);
        }
        return any != m_hide;
    }

    [[nodiscard]] std::size_t alternatives() const { return m_alternatives.size(); }

    // One frame's fields as three words, and one alternative as masks and values over them.
    struct Key {
        std::uint64_t idStatus = 0;      // identifier | status << 32
        std::uint64_t data = 0;          // data bytes 0..7, byte 0 lowest
        std::uint64_t formatLength = 0;  // format | length << 8
        std::uint32_t length = 0;
    };
    struct Alternative {
        Key mask;
        Key value;
        std::uint32_t minLength = 0;
    };

private:
    static Key keyOf(const CapturedFrame& f) {
        Key k;
        k.idStatus = f.identifier | std::uint64_t{f.status} << 32;
        std::memcpy(&k.data, f.data, 8);
        k.formatLength = f.format | std::uint64_t{f.length} << 8;
        k.length = f.length;
        return k;
    }

    std::vector<Alternative> m_alternatives;
    bool m_hide = false;
};
