#pragma once

// The texts a user reads of decoded values: a frame's signals on one line for the data list
// ("EngineData: EngineSpeed=2500 rpm CoolantTemp=-56 degC Gear=Drive"), and one line per signal
// for the signals panel. A value with a description shows the description.
//
// Values are shown to 15 significant digits: a scaled value (1234 × 0.1) then reads 123.4, not
// the 123.40000000000001 its double holds; the CSV export keeps the exact value.
//
// Thread: any.

#include "candb/SignalDecoder.h"

#include <string>
#include <vector>

// The value as shown, without its unit.
[[nodiscard]] std::string shownNumber(double value);

// "Name: Signal=value unit Signal=label ..."; only the message's name when no value was decoded
// (a remote frame, a frame too short); "" when no database names the frame.
[[nodiscard]] std::string signalSummary(const DecodedFrame& frame);

struct SignalLine {
    std::string name;
    std::string value;  // the physical value and its unit
    std::string raw;
    std::string label;  // the value description of the raw value, or ""
    std::string minimum;
    std::string maximum;
    std::string comment;
};

// One line per decoded value, in the database's signal order.
[[nodiscard]] std::vector<SignalLine> signalLines(const DecodedFrame& frame);
