#include "filters/CompiledFilter.h"

#include <algorithm>
#include <iterator>
#include <tuple>

namespace {

constexpr std::uint64_t kStatus = 0xFFFFFFFFull << 32;
constexpr std::uint64_t kFormat = 0xFF;
constexpr std::uint64_t kLength = 0xFF00;

// Collects the tests of one alternative; a test that can never hold makes it impossible.
class Builder {
public:
    void idStatus(std::uint64_t mask, std::uint64_t value) {
        add(m_a.mask.idStatus, m_a.value.idStatus, mask, value);
    }
    void data(std::uint64_t mask, std::uint64_t value) {
        add(m_a.mask.data, m_a.value.data, mask, value);
    }
    void formatLength(std::uint64_t mask, std::uint64_t value) {
        add(m_a.mask.formatLength, m_a.value.formatLength, mask, value);
    }
    void identifier(std::uint32_t mask, std::uint64_t value) { idStatus(mask, value); }
    void minLength(std::uint32_t n) { m_a.minLength = std::max(m_a.minLength, n); }
    void never() { m_possible = false; }

    void commit(std::vector<CompiledFilter::Alternative>& out) const {
        if (m_possible) {
            out.push_back(m_a);
        }
    }

private:
    void add(std::uint64_t& mask, std::uint64_t& value, std::uint64_t m, std::uint64_t v) {
        // A value with bits outside its mask, or at odds with an earlier test of the same bits,
        // can never be met.
        if ((v & ~m) != 0 || ((value ^ v) & mask & m) != 0) {
            m_possible = false;
            return;
        }
        mask |= m;
        value |= v;
    }

    CompiledFilter::Alternative m_a;
    bool m_possible = true;
};

void lengthAndData(Builder& b, const FilterCondition& c) {
    if (c.has(FCF_LENGTH)) {
        b.formatLength(kLength, std::uint64_t{c.length()} << 8);
    }
    for (int i = 0; i < 8; ++i) {
        if (c.has(fcfData(i))) {
            b.data(0xFFull << (8 * i), std::uint64_t{c.data[i]} << (8 * i));
            b.minLength(static_cast<std::uint32_t>(i + 1));
        }
    }
}

// The DeviceNet tests look at the 11-bit identifier and the low six bits of data byte 0.
constexpr std::uint32_t kDnId = 0x7FF;
void dnId(Builder& b, std::uint32_t mask, std::uint32_t value) {
    b.identifier(mask & kDnId, value);
}
// A MAC ID or message ID above 63 can never be met; shifting it could wrap into a valid one.
void dnMac(Builder& b, std::uint32_t mac) {
    if (mac > 63)
        b.never();
    else
        dnId(b, 0x1F8, mac << 3);
}
void dnLow6(Builder& b, std::uint32_t v) {
    if (v > 63)
        b.never();
    else
        dnId(b, 0x3F, v);
}
void dnD0(Builder& b, std::uint32_t v) {
    if (v > 63)
        b.never();
    else
        b.data(0x3F, v);
}

// Calls `add(mask, value)` for aligned blocks of message IDs (bits 8..6 of the identifier) that
// together cover exactly the IDs set in `allowed`, so a range of IDs costs few alternatives.
template <typename Add>
void forMessageIdBlocks(std::uint32_t allowed, Add&& add) {
    for (std::uint32_t m = 0; m < 8;) {
        if ((allowed >> m & 1) == 0) {
            ++m;
            continue;
        }
        std::uint32_t size = 4;
        while (m % size != 0 || ((allowed >> m) & ((1u << size) - 1)) != (1u << size) - 1) {
            size /= 2;
        }
        add(0x1C0 & ~((size - 1) << 6), m << 6);
        m += size;
    }
}

}  // namespace

CompiledFilter::CompiledFilter(const std::vector<FilterCondition>& conditions, bool hide)
    : m_hide(hide) {
    std::vector<Alternative> found;
    for (const FilterCondition& c : conditions) {
        if (!c.has(FCF_ENABLED)) {
            continue;
        }
        Builder base;
        switch (protocolOf(c)) {
            case ConditionProtocol::kCan:
                if (c.has(FCF_FORMAT)) base.formatLength(kFormat, c.format());
                base.idStatus(kStatus, std::uint64_t{c.remote} << 32);
                if (c.has(FCF_ADVANCED_ID)) {
                    const std::uint32_t mask = c.advancedMask & 0x1FFFFFFF;
                    base.identifier(mask, c.advancedBits & mask);
                } else if (c.has(FCF_ID)) {
                    base.identifier(0xFFFFFFFF, c.identifier);
                }
                break;
            case ConditionProtocol::kCanOpen:
                if (c.has(FCF_FORMAT)) base.formatLength(kFormat, 0);
                base.idStatus(kStatus, std::uint64_t{c.remote} << 32);
                if (c.has(FCF_CO_COBID)) base.identifier(0xFFFFFFFF, c.coCobId);
                if (c.has(FCF_CO_FCODE)) {
                    if (c.coFunctionCode > (0xFFFFFFFFu >> 7))
                        base.never();
                    else
                        base.identifier(0xFFFFFF80, std::uint64_t{c.coFunctionCode} << 7);
                }
                if (c.has(FCF_CO_NODEID)) base.identifier(0x7F, c.coNodeId);
                break;
            case ConditionProtocol::kDeviceNet: {
                // A DeviceNet condition only ever matches standard data frames.
                base.formatLength(kFormat, 0);
                base.idStatus(kStatus, 0);
                const bool s = c.has(FCF_DN_SRC), d = c.has(FCF_DN_DST);
                const bool msgId = c.has(FCF_DN_MSGID);
                const std::uint32_t src = c.dnSourceMac, dst = c.dnDestMac;
                if (c.has(FCF_DN_GROUP1)) {
                    dnId(base, 0x400, 0);
                    if (msgId) dnId(base, 0x3C0, c.dnMessageId << 6);
                    if (msgId && c.dnMessageId > 15) base.never();
                    if (s) dnLow6(base, src);
                    if (d) dnD0(base, dst);
                } else if (c.has(FCF_DN_GROUP2)) {
                    dnId(base, 0x600, 0x400);
                    if (msgId && c.dnMessageId > 7) base.never();
                    if (s || d) {
                        // One alternative per message ID the frame may carry.
                        for (std::uint32_t m = 0; m < 8; ++m) {
                            if (msgId && m != c.dnMessageId) continue;
                            Builder b = base;
                            dnId(b, 0x7, m);
                            if (m <= 1) {
                                if (d)
                                    b.never();
                                else
                                    dnMac(b, src);
                            } else if (m == 2 || m == 5) {
                                if (s)
                                    b.never();
                                else
                                    dnMac(b, dst);
                            } else if (m == 3) {
                                if (s) dnMac(b, src);
                                if (d) dnD0(b, dst);
                            } else if (m == 4 || m == 6) {
                                if (d) dnMac(b, dst);
                                if (s) dnD0(b, src);
                            } else {
                                if (d) dnMac(b, dst);
                                if (s) dnMac(b, src);
                            }
                            lengthAndData(b, c);
                            b.commit(found);
                        }
                        continue;
                    }
                    if (msgId) dnId(base, 0x7, c.dnMessageId);
                } else if (c.has(FCF_DN_GROUP3)) {
                    dnId(base, 0x600, 0x600);
                    if (s) dnLow6(base, src);
                    // Group 3 stops short of 0x7C0 (group 4): message ID 7 never belongs to it,
                    // and a destination exists only in messages 5 and 6.
                    std::uint32_t allowed = d ? 0x60 : 0x7F;
                    if (msgId) allowed &= c.dnMessageId < 8 ? 1u << c.dnMessageId : 0u;
                    if (d) dnD0(base, dst);
                    lengthAndData(base, c);
                    forMessageIdBlocks(allowed, [&](std::uint32_t mask, std::uint32_t value) {
                        Builder b = base;
                        dnId(b, mask, value);
                        b.commit(found);
                    });
                    continue;
                } else {
                    dnId(base, 0x7C0, 0x7C0);
                    if (msgId) {
                        if (c.dnMessageId > 63)
                            base.never();
                        else
                            dnLow6(base, c.dnMessageId);
                    }
                }
                break;
            }
        }
        lengthAndData(base, c);
        base.commit(found);
    }
    group(found);
}

void CompiledFilter::group(const std::vector<Alternative>& alternatives) {
    m_alternativeCount = alternatives.size();
    for (const Alternative& a : alternatives) {
        const auto same = [&a](const Shape& s) {
            return s.minLength == a.minLength && s.mask.idStatus == a.mask.idStatus &&
                   s.mask.data == a.mask.data && s.mask.formatLength == a.mask.formatLength;
        };
        auto it = std::find_if(m_shapes.begin(), m_shapes.end(), same);
        if (it == m_shapes.end()) {
            Shape shape;
            shape.mask = a.mask;
            shape.minLength = a.minLength;
            m_shapes.push_back(std::move(shape));
            it = std::prev(m_shapes.end());
        }
        it->values.push_back({a.value.idStatus, a.value.data, a.value.formatLength});
    }
    for (Shape& shape : m_shapes) {
        std::sort(shape.values.begin(), shape.values.end(), [](const Value& x, const Value& y) {
            return std::tie(x.idStatus, x.data, x.formatLength) <
                   std::tie(y.idStatus, y.data, y.formatLength);
        });
        shape.values.erase(std::unique(shape.values.begin(), shape.values.end()),
                           shape.values.end());
        if (shape.values.size() > kLinearValues) {
            shape.table.reserve(shape.values.size());
            shape.table.insert(shape.values.begin(), shape.values.end());
            shape.values = {};
            shape.hashed = true;
        }
    }
}
