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
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CurveSignal {
public:
    virtual ~CurveSignal() = default;
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
