#include "app/SignalCurveSource.h"

#include "candb/SignalText.h"
#include "views/ChartView.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kFloatScale = kFloatReadingScale;

const std::string& slotName(const CurveWindowRecord& window, std::size_t slot,
                            std::string& storage) {
    const bool yx = (window.flags & window_flags::kYx) != 0;
    storage = yx ? window.yx[slot].name.text() : window.yt[slot].name.text();
    return storage;
}

bool slotDefined(const CurveWindowRecord& window, std::size_t slot) {
    const bool yx = (window.flags & window_flags::kYx) != 0;
    return ((yx ? window.yx[slot].flags : window.yt[slot].flags) & curve_flags::kDefined) != 0;
}

}  // namespace

SignalCurveSource::SignalCurveSource(std::shared_ptr<const SignalDecoder> decoder,
                                     std::size_t message, std::size_t signal)
    : m_decoder(std::move(decoder)),
      m_message(message),
      m_signal(signal),
      m_definition(m_decoder->message(message).signals[signal]) {}

bool SignalCurveSource::reading(const CapturedFrame& frame, std::int64_t& out) const {
    SignalValue v;
    if (!m_decoder->decodeSignal(frame, m_message, m_signal, v)) return false;
    switch (m_definition.type) {
        case ValueType::kSigned:
            out = static_cast<std::int64_t>(v.raw);
            break;
        case ValueType::kUnsigned:
            out = static_cast<std::int64_t>(
                std::min<std::uint64_t>(v.raw, std::numeric_limits<std::int64_t>::max()));
            break;
        default:
            out = floatReading(v.value);
            break;
    }
    return true;
}

SignalReadout SignalCurveSource::readout() const {
    const CanMessage& message = m_decoder->message(m_message);
    const SignalDecoder::Placement at = m_decoder->placement(m_message, m_signal);
    if (at.bytes > 8) return SignalReadout::never();
    SignalReadout r;
    r.identifier = message.identifier;
    r.extended = message.extended;
    r.bytes = at.bytes;
    r.shift = at.shift;
    r.mask = at.mask;
    r.swap = at.bigEndian ? ~std::uint64_t{0} : 0;
    r.factor = m_definition.factor;
    r.offset = m_definition.offset;
    switch (m_definition.type) {
        case ValueType::kUnsigned:
            r.kind = SignalReadout::Kind::kInteger;
            r.limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
            break;
        case ValueType::kSigned:
            r.kind = SignalReadout::Kind::kInteger;
            r.signBit = std::uint64_t{1} << (m_definition.length - 1);
            break;
        case ValueType::kFloat:
            r.kind = SignalReadout::Kind::kFloat;
            break;
        case ValueType::kDouble:
            r.kind = SignalReadout::Kind::kDouble;
            break;
    }
    if (m_definition.multiplexer < 0) return r;
    // One multiplexer with one range of selecting values, the common case; chains of
    // multiplexers and several ranges are read through the decoder.
    const auto muxIndex = static_cast<std::size_t>(m_definition.multiplexer);
    const CanSignal& mux = message.signals[muxIndex];
    if (m_definition.selectors.empty()) return SignalReadout::never();
    if (mux.multiplexer >= 0 || m_definition.selectors.size() != 1) {
        SignalReadout calls;
        calls.identifier = r.identifier;
        calls.extended = r.extended;
        return calls;
    }
    const SignalDecoder::Placement muxAt = m_decoder->placement(m_message, muxIndex);
    if (muxAt.bytes > 8) return SignalReadout::never();
    std::uint64_t low = m_definition.selectors.front().low;
    std::uint64_t high = m_definition.selectors.front().high;
    // A signed multiplexer's negative values select nothing: only its values below the sign bit.
    if (mux.type == ValueType::kSigned) {
        high = std::min(high, (muxAt.mask >> 1));
    }
    if (low > high) return SignalReadout::never();
    r.bytes = std::max(r.bytes, muxAt.bytes);
    r.muxShift = muxAt.shift;
    r.muxMask = muxAt.mask;
    r.muxSwap = muxAt.bigEndian ? ~std::uint64_t{0} : 0;
    r.muxLow = low;
    r.muxSpan = high - low;
    return r;
}

double SignalCurveSource::physical(std::int64_t reading) const {
    if (m_definition.isFloat()) return static_cast<double>(reading) / kFloatScale;
    return static_cast<double>(reading) * m_definition.factor + m_definition.offset;
}

std::string SignalCurveSource::text(std::int64_t reading) const {
    return shownNumber(physical(reading));
}

CurveSignalOffer signalOffer(const CanMessage& message, const CanSignal& s) {
    CurveSignalOffer offer;
    offer.ref = {message.identifier, message.extended, message.name, s.name};
    offer.unit = s.unit;
    // The bytes the signal's bits lie in, least significant first, at most the four a curve reads.
    const unsigned length = std::max<unsigned>(1, s.length);
    int lsb = 0, msb = 0;
    if (s.order == ByteOrder::kIntel) {
        lsb = s.startBit / 8;
        msb = static_cast<int>((s.startBit + length - 1) / 8);
    } else {
        const unsigned top = s.startBit / 8u * 8u + 7u - s.startBit % 8u;
        msb = s.startBit / 8;
        lsb = static_cast<int>((top + length - 1) / 8);
    }
    const int step = s.order == ByteOrder::kIntel ? 1 : -1;
    for (int b = lsb, n = 0; n < 4 && b >= 0 && b < 8; b += step, ++n) {
        offer.bytes[static_cast<std::size_t>(b)] = true;
        if (b == msb) break;
    }
    offer.reverse = s.order == ByteOrder::kIntel;
    offer.isSigned = s.type != ValueType::kUnsigned;

    // The scale shows the database's minimum to maximum over the chart's fifty divisions.
    double low = 0, high = 0;
    if (s.minimum != 0 || s.maximum != 0) {
        low = s.minimum;
        high = s.maximum;
        if (s.isFloat()) {
            low *= kFloatScale;
            high *= kFloatScale;
        } else if (s.factor != 0) {
            low = (low - s.offset) / s.factor;
            high = (high - s.offset) / s.factor;
        }
        if (low > high) std::swap(low, high);
    } else if (s.isFloat()) {
        low = -kFloatScale;
        high = kFloatScale;
    } else {
        const unsigned bits = std::min(length, 32u);
        low = offer.isSigned ? -std::ldexp(1.0, static_cast<int>(bits) - 1) : 0;
        high = offer.isSigned ? std::ldexp(1.0, static_cast<int>(bits) - 1) - 1
                              : std::ldexp(1.0, static_cast<int>(bits)) - 1;
    }
    const double lowest = offer.isSigned ? -2147483648.0 : 0.0;
    const double highest = offer.isSigned ? 2147483647.0 : 4294967295.0;
    low = std::clamp(std::floor(low), lowest, highest);
    high = std::clamp(std::ceil(high), lowest, highest);
    offer.origin = std::to_string(static_cast<std::int64_t>(low));
    offer.resolution = std::to_string(
        std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil((high - low) / 50))));
    return offer;
}

CurveSignalCatalog signalCatalog(const SignalDecoder& decoder) {
    CurveSignalCatalog catalog;
    for (std::size_t m = 0; m < decoder.messageCount(); ++m) {
        const CanMessage& message = decoder.message(m);
        for (const CanSignal& s : message.signals) catalog.push_back(signalOffer(message, s));
    }
    return catalog;
}

std::shared_ptr<const CurveSignal> curveSignal(const std::shared_ptr<const SignalDecoder>& decoder,
                                               std::uint32_t identifier, bool extended,
                                               const std::string& signal) {
    const int message = decoder->find(identifier, extended);
    if (message < 0) return nullptr;
    const CanMessage& m = decoder->message(static_cast<std::size_t>(message));
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
        if (m.signals[i].name == signal) {
            return std::make_shared<SignalCurveSource>(decoder, static_cast<std::size_t>(message),
                                                       i);
        }
    }
    return nullptr;
}

CurveSignalRefs signalRefs(const SignalCurves& curves, const CurveWindowRecord& window,
                           std::uint8_t axis) {
    CurveSignalRefs refs;
    std::string name;
    for (std::size_t i = 0; i < 4; ++i) {
        if (!slotDefined(window, i)) continue;
        if (const SignalCurve* c =
                curves.find(window.name.text(), slotName(window, i, name), axis)) {
            refs[i] = {c->identifier, c->extended, c->message, c->signal};
        }
    }
    return refs;
}

void storeSignalRefs(SignalCurves& curves, const CurveWindowRecord& window,
                     const CurveSignalRefs& values, const CurveSignalRefs& xValues) {
    std::vector<SignalCurve> now;
    std::string name;
    for (std::size_t i = 0; i < 4; ++i) {
        if (!slotDefined(window, i)) continue;
        for (const std::uint8_t axis : {std::uint8_t{0}, std::uint8_t{1}}) {
            const CurveSignalRef& r = axis == 0 ? values[i] : xValues[i];
            if (r.empty()) continue;
            now.push_back({{},
                           slotName(window, i, name),
                           axis,
                           r.identifier,
                           r.extended,
                           r.message,
                           r.signal});
        }
    }
    curves.setWindow(window.name.text(), std::move(now));
}

void windowSignals(const SignalCurves& curves, const std::shared_ptr<const SignalDecoder>& decoder,
                   const CurveWindowRecord& window, CurveSignals& values, CurveSignals& xValues) {
    values = {};
    xValues = {};
    for (const std::uint8_t axis : {std::uint8_t{0}, std::uint8_t{1}}) {
        const CurveSignalRefs refs = signalRefs(curves, window, axis);
        for (std::size_t i = 0; i < 4; ++i) {
            if (refs[i].empty()) continue;
            (axis == 0 ? values : xValues)[i] =
                curveSignal(decoder, refs[i].identifier, refs[i].extended, refs[i].signal);
        }
    }
}

void attachSignals(ChartView& view, const ProgramState& state) {
    CurveSignals values{}, xValues{};
    windowSignals(state.signalCurves, state.databases.decoder(), view.record(), values, xValues);
    view.setSignals(values, xValues);
}
