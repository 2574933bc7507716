#include "candb/SignalDecoder.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

std::uint64_t littleEndianWord(const std::uint8_t* data) {
    std::uint64_t w = 0;
    std::memcpy(&w, data, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    return w;
}

}  // namespace

SignalDecoder::SignalDecoder(std::vector<std::shared_ptr<const CanDatabase>> databases)
    : m_databases(std::move(databases)) {
    m_standard.fill(-1);
    std::vector<std::size_t> ownerOf;  // per message number: the database it came from
    std::unordered_map<std::uint32_t, std::int32_t> extended;  // sorted into m_extended at the end
    for (std::size_t d = 0; d < m_databases.size(); ++d) {
        if (!m_databases[d]) continue;
        for (const CanMessage& cm : m_databases[d]->messages()) {
            int known = -1;
            if (!cm.extended) {
                known = m_standard[cm.identifier];
            } else if (const auto it = extended.find(cm.identifier); it != extended.end()) {
                known = it->second;
            }
            if (known >= 0) {
                const std::size_t kept = ownerOf[static_cast<std::size_t>(known)];
                m_conflicts.push_back({cm.identifier, cm.extended, kept, d,
                                       m_messages[static_cast<std::size_t>(known)].message->name,
                                       cm.name});
                continue;
            }
            const auto number = static_cast<std::int32_t>(m_messages.size());
            if (cm.extended) {
                extended.emplace(cm.identifier, number);
            } else {
                m_standard[cm.identifier] = number;
            }
            ownerOf.push_back(d);

            Message m;
            m.message = &cm;
            m.first = static_cast<std::uint32_t>(m_signals.size());
            m.count = static_cast<std::uint32_t>(cm.signals.size());
            m.orderFirst = static_cast<std::uint32_t>(m_order.size());
            m_maxSignals = std::max(m_maxSignals, cm.signals.size());
            for (const CanSignal& s : cm.signals) {
                Extraction e;
                e.signal = &s;
                e.factor = s.factor;
                e.offset = s.offset;
                e.type = s.type;
                e.length = s.length;
                e.mask = s.length >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << s.length) - 1;
                e.multiplexer = s.multiplexer;
                m.multiplexed |= s.multiplexer >= 0;
                // The bit after the signal's last one, counting from the frame's start.
                unsigned end = 0;
                if (s.order == ByteOrder::kIntel) {
                    end = s.startBit + s.length;
                    e.shift = static_cast<std::uint8_t>(end <= 64 ? s.startBit : 0);
                } else {
                    // Sawtooth numbering: bit b of byte k is 8k + b, and a Motorola signal runs
                    // from its most significant bit down, then on to bit 7 of the next byte.
                    const unsigned msb = s.startBit / 8u * 8u + 7u - s.startBit % 8u;
                    end = msb + s.length;
                    e.bigEndian = true;
                    e.shift = static_cast<std::uint8_t>(end <= 64 ? 64 - end : 0);
                }
                e.bytes = static_cast<std::uint8_t>(end <= 64 ? (end + 7) / 8 : 9);
                m_signals.push_back(e);
            }
            for (Extraction* e = m_signals.data() + m.first;
                 e != m_signals.data() + m_signals.size(); ++e) {
                if (e->multiplexer >= 0) {
                    e->signedSelector = cm.signals[static_cast<std::size_t>(e->multiplexer)].type ==
                                        ValueType::kSigned;
                }
            }
            if (m.multiplexed) {
                // Multiplexers first, each after its own, so one pass decides every signal.
                // Depths are found once each, walking up only to a signal already known.
                const std::size_t n = cm.signals.size();
                std::vector<int> depth(n, -1);
                std::vector<std::size_t> path;
                for (std::size_t i = 0; i < n; ++i) {
                    path.clear();
                    std::size_t at = i;
                    while (depth[at] < 0 && cm.signals[at].multiplexer >= 0 && path.size() <= n) {
                        path.push_back(at);
                        at = static_cast<std::size_t>(cm.signals[at].multiplexer);
                    }
                    if (depth[at] < 0) depth[at] = 0;
                    int d = depth[at];
                    for (auto p = path.rbegin(); p != path.rend(); ++p) depth[*p] = ++d;
                }
                std::vector<std::uint32_t> order(cm.signals.size());
                for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
                std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
                    return depth[a] < depth[b];
                });
                m_order.insert(m_order.end(), order.begin(), order.end());
            }
            m_messages.push_back(m);
        }
    }
    m_extended.assign(extended.begin(), extended.end());
    std::sort(m_extended.begin(), m_extended.end());
}

int SignalDecoder::findExtended(std::uint32_t identifier) const {
    const auto at = std::lower_bound(m_extended.begin(), m_extended.end(), identifier,
                                     [](const auto& e, std::uint32_t id) { return e.first < id; });
    return at != m_extended.end() && at->first == identifier ? at->second : -1;
}

DecodedFrame SignalDecoder::makeFrame() const {
    DecodedFrame f;
    f.m_values.resize(m_maxSignals);
    f.m_decoded.resize(m_maxSignals);
    return f;
}

SignalValue SignalDecoder::extract(const Extraction& e, std::uint64_t little, std::uint64_t big,
                                   std::uint32_t index) {
    const std::uint64_t bits = ((e.bigEndian ? big : little) >> e.shift) & e.mask;
    SignalValue v;
    v.signal = e.signal;
    v.index = index;
    switch (e.type) {
        case ValueType::kUnsigned:
            v.raw = bits;
            v.value = static_cast<double>(bits) * e.factor + e.offset;
            break;
        case ValueType::kSigned: {
            const unsigned up = 64u - e.length;
            const std::int64_t s = static_cast<std::int64_t>(bits << up) >> up;
            v.raw = static_cast<std::uint64_t>(s);
            v.value = static_cast<double>(s) * e.factor + e.offset;
            break;
        }
        case ValueType::kFloat:
            v.raw = bits;
            v.value = static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits))) *
                          e.factor +
                      e.offset;
            break;
        case ValueType::kDouble:
            v.raw = bits;
            v.value = std::bit_cast<double>(bits) * e.factor + e.offset;
            break;
    }
    return v;
}

bool SignalDecoder::selects(const Extraction& e, std::uint64_t muxRaw) {
    if (e.signedSelector && static_cast<std::int64_t>(muxRaw) < 0) return false;
    for (const MuxRange& r : e.signal->selectors) {
        if (muxRaw >= r.low && muxRaw <= r.high) return true;
    }
    return false;
}

bool SignalDecoder::decode(const CapturedFrame& frame, DecodedFrame& out) const {
    out.m_count = 0;
    out.m_unfit = 0;
    const int number = find(frame.identifier, frame.format == 1);
    if (number < 0) {
        out.m_message = nullptr;
        return false;
    }
    const Message& m = m_messages[static_cast<std::size_t>(number)];
    out.m_message = m.message;
    out.m_messageIndex = static_cast<std::uint32_t>(number);
    if (out.m_values.size() < m_maxSignals) {  // a frame not made by makeFrame(): once
        out.m_values.resize(m_maxSignals);
        out.m_decoded.resize(m_maxSignals);
    }
    if (frame.status != 0) return true;  // a remote frame asks; it carries nothing
    const unsigned received = std::min<unsigned>(frame.length, 8);
    const std::uint64_t little = littleEndianWord(frame.data);
    const std::uint64_t big = __builtin_bswap64(little);
    const Extraction* signals = m_signals.data() + m.first;
    SignalValue* values = out.m_values.data();
    if (!m.multiplexed) {
        std::size_t n = 0;
        for (std::uint32_t i = 0; i < m.count; ++i) {
            const Extraction& e = signals[i];
            if (e.bytes > received) {
                ++out.m_unfit;
                continue;
            }
            values[n++] = extract(e, little, big, i);
        }
        out.m_count = n;
        return true;
    }
    std::uint8_t* decoded = out.m_decoded.data();
    const std::uint32_t* order = m_order.data() + m.orderFirst;
    for (std::uint32_t k = 0; k < m.count; ++k) {
        const std::uint32_t i = order[k];
        const Extraction& e = signals[i];
        decoded[i] = 0;
        if (e.multiplexer >= 0) {
            const auto mux = static_cast<std::size_t>(e.multiplexer);
            if (decoded[mux] == 0 || !selects(e, values[mux].raw)) continue;
        }
        if (e.bytes > received) {
            ++out.m_unfit;
            continue;
        }
        values[i] = extract(e, little, big, i);
        decoded[i] = 1;
    }
    // Into the database's order, in place: a value only ever moves towards the front.
    std::size_t n = 0;
    for (std::uint32_t i = 0; i < m.count; ++i) {
        if (decoded[i] != 0) values[n++] = values[i];
    }
    out.m_count = n;
    return true;
}

bool SignalDecoder::decodeSignal(const CapturedFrame& frame, std::size_t message,
                                 std::size_t signal, SignalValue& out) const {
    if (message >= m_messages.size() ||
        find(frame.identifier, frame.format == 1) != static_cast<int>(message) ||
        frame.status != 0) {
        return false;
    }
    const Message& m = m_messages[message];
    if (signal >= m.count) return false;
    const unsigned received = std::min<unsigned>(frame.length, 8);
    const std::uint64_t little = littleEndianWord(frame.data);
    const std::uint64_t big = __builtin_bswap64(little);
    const Extraction* signals = m_signals.data() + m.first;
    // The chain of multiplexers above the signal, each selecting the one below; its length was
    // bounded when the database was read.
    std::size_t at = signal;
    for (std::uint32_t steps = 0; signals[at].multiplexer >= 0 && steps <= m.count; ++steps) {
        const auto mux = static_cast<std::size_t>(signals[at].multiplexer);
        if (signals[mux].bytes > received) return false;
        if (!selects(signals[at], extract(signals[mux], little, big, 0).raw)) return false;
        at = mux;
    }
    if (signals[signal].bytes > received) return false;
    out = extract(signals[signal], little, big, static_cast<std::uint32_t>(signal));
    return true;
}

char* writeRaw(char* out, const CanSignal& signal, std::uint64_t raw) {
    char* const end = out + kMaxNumberText;
    switch (signal.type) {
        case ValueType::kUnsigned:
            return std::to_chars(out, end, raw).ptr;
        case ValueType::kSigned:
            return std::to_chars(out, end, static_cast<std::int64_t>(raw)).ptr;
        case ValueType::kFloat:
            return std::to_chars(out, end, std::bit_cast<float>(static_cast<std::uint32_t>(raw)))
                .ptr;
        case ValueType::kDouble:
            return std::to_chars(out, end, std::bit_cast<double>(raw)).ptr;
    }
    return out;
}

char* writeValue(char* out, double value) {
    // Whole values are common (factor 1, or a scale that lands on one). Their shortest text is
    // the integer's digits whenever the exponent form is not shorter: always below 100000, and
    // for any exactly held integer that does not end in a zero. The integer path is several
    // times faster; anything else, and -0, goes the general way.
    constexpr double kExact = 9007199254740992.0;  // 2^53
    if (value >= -kExact && value <= kExact && value != 0) {
        const auto n = static_cast<std::int64_t>(value);
        if (static_cast<double>(n) == value && (n % 10 != 0 || (n > -100000 && n < 100000))) {
            return std::to_chars(out, out + kMaxNumberText, n).ptr;
        }
    }
    return std::to_chars(out, out + kMaxNumberText, value).ptr;
}

int labelIndex(const CanSignal& signal, std::uint64_t raw) {
    if (signal.values.empty()) return -1;
    if (signal.isFloat()) {
        const double v =
            signal.type == ValueType::kFloat
                ? static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(raw)))
                : std::bit_cast<double>(raw);
        if (!(v == std::floor(v)) || v < -9.2233720368547758e18 || v >= 1.8446744073709552e19) {
            return -1;
        }
        raw = v < 0 ? static_cast<std::uint64_t>(static_cast<std::int64_t>(v))
                    : static_cast<std::uint64_t>(v);
    }
    const auto it =
        std::lower_bound(signal.values.begin(), signal.values.end(), raw,
                         [](const ValueDescription& d, std::uint64_t r) { return d.raw < r; });
    return it != signal.values.end() && it->raw == raw
               ? static_cast<int>(it - signal.values.begin())
               : -1;
}

const std::string* labelOf(const CanSignal& signal, std::uint64_t raw) {
    const int i = labelIndex(signal, raw);
    return i < 0 ? nullptr : &signal.values[static_cast<std::size_t>(i)].text;
}
