#pragma once

// Decodes captured frames into signal values with one or more CAN databases.
//
// Everything that can be worked out once is worked out when the decoder is made: a table by
// identifier (a direct table for the 2048 standard identifiers, a sorted one for extended ones),
// and per signal the word it is read from, the shift, the mask and the received length it needs.
// Decoding a frame is then a lookup plus a shift and a mask per signal, and allocates nothing.
//
// Decoding is exact: the raw value is the signal's bits (sign-extended when signed, an IEEE
// single or double when the database says so), and the physical value is raw × factor + offset
// in double precision. A signal that does not fit in the frame's received length is not decoded,
// and counted; a remote frame carries no signals; a multiplexed signal is decoded only when its
// multiplexer is decoded and selects it.
//
// With several databases the first one given that names an identifier decodes it; the others'
// messages with that identifier are reported in conflicts() and not used.
//
// Use: read each file with DbcReader, make one decoder of the databases, take one DecodedFrame
// from makeFrame() per thread, then decode(frame, out) for every frame (a list row, a panel, an
// export), or decodeSignal() for the one signal a curve plots.
//
// Thread: the decoder is immutable once made; any thread may call its const members at once,
// each with its own DecodedFrame. The databases are shared, read-only.

#include "candb/CanDatabase.h"
#include "capture/CapturedFrame.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct SignalValue {
    const CanSignal* signal = nullptr;
    std::uint32_t index = 0;  // the signal's place in its message
    std::uint64_t raw = 0;    // the bits, sign-extended to 64 for a signed signal
    double value = 0;         // physical: raw × factor + offset
};

// The signal values of one frame, in the database's signal order. Made by a decoder for the
// largest message it knows, then reused for every frame.
class DecodedFrame {
public:
    DecodedFrame() = default;

    // Null when no database names the frame's identifier.
    [[nodiscard]] const CanMessage* message() const { return m_message; }
    // The decoder's number for the message, for callers that keep something per message.
    [[nodiscard]] std::uint32_t messageIndex() const { return m_messageIndex; }
    [[nodiscard]] std::span<const SignalValue> values() const { return {m_values.data(), m_count}; }
    // Signals of the message that the frame's received length does not hold.
    [[nodiscard]] std::uint32_t unfit() const { return m_unfit; }

private:
    friend class SignalDecoder;
    const CanMessage* m_message = nullptr;
    std::uint32_t m_messageIndex = 0;
    std::size_t m_count = 0;
    std::uint32_t m_unfit = 0;
    std::vector<SignalValue> m_values;
    std::vector<std::uint8_t> m_decoded;
};

class SignalDecoder {
public:
    struct Conflict {
        std::uint32_t identifier = 0;
        bool extended = false;
        std::size_t keptDatabase = 0;  // indexes into the databases as given
        std::size_t droppedDatabase = 0;
        std::string keptName;
        std::string droppedName;
    };

    SignalDecoder() : SignalDecoder(std::vector<std::shared_ptr<const CanDatabase>>{}) {}
    explicit SignalDecoder(std::vector<std::shared_ptr<const CanDatabase>> databases);

    [[nodiscard]] const std::vector<std::shared_ptr<const CanDatabase>>& databases() const {
        return m_databases;
    }
    [[nodiscard]] const std::vector<Conflict>& conflicts() const { return m_conflicts; }

    // The messages that decode frames, numbered in the order of the databases and their files.
    [[nodiscard]] std::size_t messageCount() const { return m_messages.size(); }
    [[nodiscard]] const CanMessage& message(std::size_t index) const {
        return *m_messages[index].message;
    }
    // The message number for an identifier, or -1.
    [[nodiscard]] int find(std::uint32_t identifier, bool extended) const {
        if (!extended) return identifier < kStandard ? m_standard[identifier] : -1;
        return findExtended(identifier);
    }

    // A frame sized for every message of this decoder.
    [[nodiscard]] DecodedFrame makeFrame() const;
    // Decodes `frame` into `out`; false (with out.message() null) when no database names it.
    bool decode(const CapturedFrame& frame, DecodedFrame& out) const;
    // One signal of a frame, as decode() would give it: false when the frame is not of that
    // message, is a remote frame, is too short, or the signal's multiplexer does not select it.
    // For passes over many frames that want a single signal (a curve).
    bool decodeSignal(const CapturedFrame& frame, std::size_t message, std::size_t signal,
                      SignalValue& out) const;

    // Where a signal lies in the frame's eight bytes read as one 64-bit word (little-endian, or
    // big-endian for a Motorola signal): (word >> shift) & mask, in a frame of at least `bytes`
    // received bytes (above 8: none holds it). For passes that read one signal themselves.
    struct Placement {
        std::uint64_t mask = 0;
        std::uint8_t shift = 0;
        std::uint8_t bytes = 0;
        bool bigEndian = false;
    };
    [[nodiscard]] Placement placement(std::size_t message, std::size_t signal) const {
        const Extraction& e = m_signals[m_messages[message].first + signal];
        return {e.mask, e.shift, e.bytes, e.bigEndian};
    }

private:
    static constexpr std::uint32_t kStandard = 0x800;

    // A signal's extraction from the frame's eight bytes read as one 64-bit word: little-endian
    // for Intel signals, big-endian for Motorola ones.
    struct Extraction {
        std::uint64_t mask = 0;
        double factor = 1;
        double offset = 0;
        const CanSignal* signal = nullptr;
        int multiplexer = -1;  // index in the message
        std::uint8_t shift = 0;
        std::uint8_t bytes = 0;  // the received length it needs; above 8 when never
        std::uint8_t length = 0;
        ValueType type = ValueType::kUnsigned;
        bool bigEndian = false;
        bool signedSelector = false;  // a signed multiplexer: its negative values select nothing
    };
    struct Message {
        const CanMessage* message = nullptr;
        std::uint32_t first = 0;  // into m_signals
        std::uint32_t count = 0;
        std::uint32_t orderFirst = 0;  // into m_order: multiplexers before what they select
        bool multiplexed = false;
    };

    [[nodiscard]] int findExtended(std::uint32_t identifier) const;
    static SignalValue extract(const Extraction& e, std::uint64_t little, std::uint64_t big,
                               std::uint32_t index);
    static bool selects(const Extraction& e, std::uint64_t muxRaw);

    std::vector<std::shared_ptr<const CanDatabase>> m_databases;
    std::vector<Conflict> m_conflicts;
    std::vector<Message> m_messages;
    std::vector<Extraction> m_signals;
    std::vector<std::uint32_t> m_order;
    std::array<std::int32_t, kStandard> m_standard{};
    std::vector<std::pair<std::uint32_t, std::int32_t>> m_extended;  // sorted by identifier
    std::size_t m_maxSignals = 0;
};

// Texts of a value. Each writes at most kMaxNumberText bytes and returns the end.
inline constexpr std::size_t kMaxNumberText = 32;
// The raw value: the integer (signed or not, as the signal is), or the float's own value.
char* writeRaw(char* out, const CanSignal& signal, std::uint64_t raw);
// The shortest text that reads back to the same double.
char* writeValue(char* out, double value);
// The value description of a raw value, or null (a float signal's when its value is whole).
[[nodiscard]] const std::string* labelOf(const CanSignal& signal, std::uint64_t raw);
// Its place in signal.values, or -1.
[[nodiscard]] int labelIndex(const CanSignal& signal, std::uint64_t raw);
