#pragma once

// The filter conditions turned into plain mask tests, so that the filter pass tests millions of
// frames a second. A condition becomes one or more alternatives (group 2 and 3 DeviceNet
// conditions whose MAC IDs depend on the frame's message ID need several); an alternative holds
// when every masked part of the frame equals its value and the frame carries enough data bytes.
// It gives exactly the answers of matches(). Alternatives are grouped by the bits they test (see
// Shape), so thousands of conditions cost little more per frame than a handful.

#include "capture/CapturedFrame.h"
#include "filters/FilterCondition.h"

#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <vector>

class CompiledFilter {
public:
    // Show mode passes frames that match some enabled condition; Hide mode those that match none.
    CompiledFilter(const std::vector<FilterCondition>& conditions, bool hide);

    [[nodiscard]] bool passes(const CapturedFrame& frame) const {
        const Key k = keyOf(frame);
        bool any = false;
        for (const Shape& shape : m_shapes) {
            if (k.length < shape.minLength) continue;
            const Value masked{k.idStatus & shape.mask.idStatus, k.data & shape.mask.data,
                               k.formatLength & shape.mask.formatLength};
            if (!shape.hashed) {
                for (const Value& v : shape.values) any |= masked == v;
            } else {
                any |= shape.table.contains(masked);
            }
            if (any) break;
        }
        return any != m_hide;
    }

    [[nodiscard]] std::size_t alternatives() const { return m_alternativeCount; }
    // Distinct sets of masks: what a frame costs grows with these, not with the alternatives.
    [[nodiscard]] std::size_t shapes() const { return m_shapes.size(); }

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
    void group(const std::vector<Alternative>& alternatives);

    static Key keyOf(const CapturedFrame& f) {
        Key k;
        k.idStatus = f.identifier | std::uint64_t{f.status} << 32;
        std::memcpy(&k.data, f.data, 8);
        k.formatLength = f.format | std::uint64_t{f.length} << 8;
        k.length = f.length;
        return k;
    }

    // The masked fields an alternative asks for.
    struct Value {
        std::uint64_t idStatus = 0;
        std::uint64_t data = 0;
        std::uint64_t formatLength = 0;
        bool operator==(const Value&) const = default;
    };
    struct ValueHash {
        std::size_t operator()(const Value& v) const {
            std::uint64_t h = v.idStatus * 0x9E3779B97F4A7C15ull;
            h ^= (v.data + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
            h ^= (v.formatLength + (h >> 29)) * 0x165667B19E3779F9ull;
            return static_cast<std::size_t>(h ^ (h >> 32));
        }
    };
    // Alternatives that test the same bits differ only in their values, so a frame is masked
    // once per shape and its value looked up among all of them: many exact identifiers cost one
    // lookup, not one test each.
    struct Shape {
        Key mask;
        std::uint32_t minLength = 0;
        std::vector<Value> values;
        std::unordered_set<Value, ValueHash> table;  // instead of `values` when there are many
        bool hashed = false;
    };
    static constexpr std::size_t kLinearValues = 4;

    std::vector<Shape> m_shapes;
    std::size_t m_alternativeCount = 0;
    bool m_hide = false;
};
