#pragma once

// The slcan serial protocol of small USB-CAN adapters: ASCII commands ended by CR, answered by CR
// (done) or BEL (refused). Frames travel both ways as "tIIILDD..", "TIIIIIIIILDD..", "rIIIL" and
// "RIIIIIIIIL"; with time stamps on (Z1) a received frame ends in four hexadecimal digits of a
// millisecond count that starts again every 60 s.
//
// Plain functions and two small state machines, no I/O. Thread: whichever owns the object.

#include "adapter/BusFrame.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class SlcanCodec {
public:
    enum class Kind {
        Ok,         // a bare CR: the command was done
        Error,      // BEL: the command was refused
        Frame,      // a frame heard on the bus
        Sent,       // "z" or "Z": a frame was queued for sending
        Status,     // "Fxx": the status flags
        Version,    // "V...": hardware and firmware version
        Serial,     // "N...": serial number
        Malformed,  // anything else; `text` says why
    };
    struct Line {
        Kind kind = Kind::Malformed;
        BusFrame frame;
        std::optional<std::uint16_t> timeMs;  // 0 to 59999, when the adapter stamps frames
        std::uint8_t status = 0;
        std::string text;
    };

    // Status flag bits of an "F" reply.
    static constexpr std::uint8_t kReceiveQueueFull = 0x01;
    static constexpr std::uint8_t kDataOverrun = 0x08;
    static constexpr std::uint16_t kTimeWrapMs = 60000;

    // The "S" digit for a bit rate in kbit/s; none for rates the protocol cannot name.
    [[nodiscard]] static std::optional<char> bitRateDigit(std::uint16_t kbps);
    // A frame as the command that sends it, CR included.
    [[nodiscard]] static std::string encode(const BusFrame& frame);
    // One line without its CR.
    [[nodiscard]] static Line parse(std::string_view line);

    // Splits the byte stream into lines and parses each. A BEL is a line of its own; a line
    // longer than any the protocol has is rejected whole.
    void feed(std::string_view bytes, std::vector<Line>& out);

private:
    static constexpr std::size_t kLongestLine = 40;
    std::string m_line;
    bool m_discarding = false;
};

// Places an adapter's 60 s millisecond stamps on the host's clock. The number of wraps between
// two frames is taken from the host's clock, so any gap is fine; the first frame and any stamp
// that strays more than kToleranceMs from its arrival anchor the two clocks afresh.
class SlcanTimeline {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::int64_t kToleranceMs = 200;

    // When the frame with this stamp ended, given when it arrived; never after its arrival.
    [[nodiscard]] Clock::time_point place(std::uint16_t stampMs, Clock::time_point arrival);
    void reset() { m_anchored = false; }

private:
    bool m_anchored = false;
    std::int64_t m_anchorStampMs = 0;  // unwrapped
    Clock::time_point m_anchorTime{};
};
