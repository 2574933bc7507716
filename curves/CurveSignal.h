#pragma once

// A curve whose values come from a CAN database signal instead of its byte positions. The charts
// know a signal only through this interface; the databases' side makes it. A signal curve keeps
// the byte-position definition closest to the signal in its record, which is what a reader of the
// document's records alone shows; its identifier test still runs first, so a signal costs a frame
// of another identifier nothing.
//
// A signal's readings are integers like any curve's, so the charts' arithmetic stays exact: the
// signal's raw value for an integer signal, the physical value in thousandths for a float one.
// Labels, mouse values and the curve information show the physical value a reading stands for.
//
// Thread: the user-interface thread; a signal is immutable once made.

#include "capture/CapturedFrame.h"
#include "curves/CurveFlags.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// A float signal's reading is its physical value in thousandths, rounded; NaN reads 0.
inline constexpr double kFloatReadingScale = 1000;
[[nodiscard]] std::int64_t floatReading(double physical);

// Where a signal lies in a frame, worked out once so that a scan reads it with a load, a shift and
// a mask instead of a call per frame. The frame's eight bytes are one 64-bit word, little-endian,
// byte-swapped for a big-endian signal; a multiplexer is read the same way and selects when its
// raw value lies in [muxLow, muxLow + muxSpan]. Without a multiplexer the mask is 0 and the range
// [0, 0], which always holds. Everything is a mask or a range so that reading never branches on
// bit order, sign or multiplexing.
struct SignalReadout {
    enum class Kind : std::uint8_t {
        kCalls,    // read through CurveSignal::reading(): a signal the fields cannot describe
        kNever,    // no frame carries it
        kInteger,  // the raw value, sign-extended when signed
        kFloat,    // an IEEE single, read as floatReading(value × factor + offset)
        kDouble,   // an IEEE double, the same
    };
    Kind kind = Kind::kCalls;
    std::uint32_t identifier = 0;
    bool extended = false;
    std::uint8_t bytes = 0;  // the received length it needs, signal and multiplexer, 0 to 8
    std::uint8_t shift = 0;
    std::uint8_t muxShift = 0;
    std::uint64_t swap = 0;  // all ones for a big-endian signal, else 0
    std::uint64_t mask = 0;
    std::uint64_t signBit = 0;                // the top bit of a signed value, else 0
    std::uint64_t limit = ~std::uint64_t{0};  // largest reading as u64: INT64_MAX when unsigned
    std::uint64_t muxSwap = 0;
    std::uint64_t muxMask = 0;
    std::uint64_t muxLow = 0;
    std::uint64_t muxSpan = 0;
    double factor = 1;
    double offset = 0;

    // A readout no frame matches, of any kind.
    static SignalReadout never() {
        SignalReadout r;
        r.kind = Kind::kNever;
        r.muxLow = 1;  // the multiplexer's value 0 lies outside [1, 1]
        return r;
    }

    [[nodiscard]] static std::uint64_t word(const CapturedFrame& f) {
        std::uint64_t w = 0;
        std::memcpy(&w, f.data, 8);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
        return w;
    }
    // The word in the byte order of a field whose swap is `swapMask`.
    [[nodiscard]] static std::uint64_t ordered(std::uint64_t w, std::uint64_t swapMask) {
        return w ^ ((w ^ __builtin_bswap64(w)) & swapMask);
    }
    // Whether a frame of the signal's identifier carries it (not for kCalls).
    [[nodiscard]] bool carries(const CapturedFrame& f) const {
        const std::uint64_t mux = (ordered(word(f), muxSwap) >> muxShift) & muxMask;
        return static_cast<int>(f.status == 0) & static_cast<int>((f.format == 1) == extended) &
               static_cast<int>(f.length >= bytes) & static_cast<int>(mux - muxLow <= muxSpan);
    }
    // The signal's bits in a frame that carries it.
    [[nodiscard]] std::uint64_t bits(const CapturedFrame& f) const {
        return (ordered(word(f), swap) >> shift) & mask;
    }
    // The reading of an integer signal in a frame that carries it.
    [[nodiscard]] std::int64_t integer(const CapturedFrame& f) const {
        const std::uint64_t v = (bits(f) ^ signBit) - signBit;
        return static_cast<std::int64_t>(v < limit ? v : limit);
    }
    // The reading of any kind but kCalls and kNever in a frame that carries it.
    [[nodiscard]] std::int64_t reading(const CapturedFrame& f) const {
        switch (kind) {
            case Kind::kFloat:
                return floatReading(
                    static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits(f)))) *
                        factor +
                    offset);
            case Kind::kDouble:
                return floatReading(std::bit_cast<double>(bits(f)) * factor + offset);
            default:
                return integer(f);
        }
    }
};

class CurveSignal {
public:
    virtual ~CurveSignal() = default;
    // How a scan reads the signal without calling reading() per frame; kCalls when it cannot.
    [[nodiscard]] virtual SignalReadout readout() const { return {}; }
    // The frame's reading; false when the frame does not carry the signal (another message, a
    // remote frame, too short, a multiplexer that selects another signal).
    [[nodiscard]] virtual bool reading(const CapturedFrame& frame, std::int64_t& out) const = 0;
    // The physical value a reading stands for.
    [[nodiscard]] virtual double physical(std::int64_t reading) const = 0;
    // The physical value as labels show it, without unit.
    [[nodiscard]] virtual std::string text(std::int64_t reading) const = 0;
};

// The signals of a window's four slots (y(t): the value; y(x): [slot] for Y, and for X below).
using CurveSignals = std::array<std::shared_ptr<const CurveSignal>, 4>;

// Which database signal a curve takes: its message by identifier, and the signal by name. The
// names are shown; the identifier and the signal's name find it in the databases.
struct CurveSignalRef {
    std::uint32_t identifier = 0;
    bool extended = false;
    std::string message;
    std::string signal;
    [[nodiscard]] bool empty() const { return signal.empty(); }
    [[nodiscard]] bool sameSignal(const CurveSignalRef& o) const {
        return identifier == o.identifier && extended == o.extended && signal == o.signal;
    }
    bool operator==(const CurveSignalRef&) const = default;
};

// A signal the curve dialogs offer, with the byte positions and the scale a curve of it starts
// with.
struct CurveSignalOffer {
    CurveSignalRef ref;
    std::string unit;
    std::array<bool, 8> bytes{};
    bool isSigned = false;
    bool reverse = true;     // little-endian, as Intel signals are
    std::string origin;      // the reading of the database's minimum
    std::string resolution;  // per division, to show the minimum-to-maximum range
};

// Every signal the documents' databases offer, message by message in the databases' order.
using CurveSignalCatalog = std::vector<CurveSignalOffer>;
