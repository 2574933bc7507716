#pragma once

#include <chrono>
#include <cstdint>

// A frame on the virtual CAN bus.
struct BusFrame {
    std::uint32_t identifier = 0;
    bool extended = false;
    bool remote = false;
    std::uint8_t length = 0;  // DLC, 0 to 8
    std::uint8_t data[8] = {};
};

// The bits a frame occupies on the bus: the frame with its stuff bits, then the interframe space.
[[nodiscard]] unsigned frameBits(const BusFrame& frame);

// A source of frames for the bus. Thread: the bus thread only.
class BusSource {
public:
    virtual ~BusSource() = default;
    // The next frame and the bus time (microseconds since the bus started) at which it wants to
    // start; false when the source has nothing more, ever. A source that has nothing yet but more
    // to come gives kNothingYetUs, with no frame, which is never popped.
    virtual bool next(BusFrame& frame, std::uint64_t& wantedAtUs) = 0;
    static constexpr std::uint64_t kNothingYetUs = std::uint64_t{1} << 62;
    // The wanted frame was put on the bus; the following call to next() gives the one after it.
    virtual void pop() = 0;
    // The adapter put a frame of its own on the bus (a manual frame or a round of the cyclic
    // set). A source that stands for a bus shared with other nodes carries it to them.
    virtual void transmitted(const BusFrame& frame) { (void)frame; }
    // The same, with the bus time at which the frame ended; a shared bus hands the frame on
    // with that time, so the others hear it as it was sent, not when the adapter's turn came.
    virtual void transmittedAt(const BusFrame& frame, std::uint64_t endUs) {
        (void)endUs;
        transmitted(frame);
    }

    // A live source stands for a real bus: its frames have already been carried when next()
    // offers them, stamped with the bus time at which they ended, so the adapter does not pace
    // them; a false next() only means "nothing yet".
    [[nodiscard]] virtual bool live() const { return false; }
    // The adapter powered on at `at`; a live source stamps its frames as microseconds since then.
    virtual void powerOn(std::chrono::steady_clock::time_point at) { (void)at; }
    // The set-up command asks for this bit rate and work mode. False refuses the set-up; the
    // source says why in the host's log. Thread: the driver's, outside the adapter's lock, so a
    // source that waits here must serialize with next() and pop() itself.
    [[nodiscard]] virtual bool configure(std::uint16_t baudKbps, std::uint8_t workMode) {
        (void)baudKbps;
        (void)workMode;
        return true;
    }
    // The adapter was told to start capturing, at `busUs` on the bus clock. Called under the
    // adapter's lock, so never while next() or pop() run.
    virtual void captureStarted(std::uint64_t busUs) { (void)busUs; }
    // False while the bus's interface is gone (unplugged, taken down). Thread: any.
    [[nodiscard]] virtual bool present() const { return true; }
};
