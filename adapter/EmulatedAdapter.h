#pragma once

// The emulated ADP4021 adapter: its USB face (configuration 1, interface 0, endpoints 0x01, 0x81,
// 0x82), its firmware (the command, reply and data blocks), and a virtual CAN bus that times
// frames in bits at the configured baud rate.
//
// Firmware choices of ours: the millisecond clock starts again at 0x3FC000 ms (69-37-920) rather
// than at 2^22, since a count whose high byte is 0xFF would read as an empty record; status byte
// 57 of a data block is the number of frames lost to a full receive buffer since the previous data
// read (at most 255), byte 58 the buffer's fill in percent; the information status is 1 while
// capturing and 2 otherwise; the cyclic set is sent whole every `interval` ms (0 counts as 1),
// `cycle` times (0: until stopped), and a round that falls due while the previous one still waits
// for the bus is skipped (it counts towards `cycle`), so no interval or bit rate makes the queue
// grow; frames the adapter sends take bus time but are not received; the start-capture command
// empties the receive buffer, so a capture never begins with frames the bus carried before it; a
// frame sent by hand waits in a transmit FIFO of kTransmitFifoFrames, and a send that finds it full
// is refused (reply byte 1 is 0) rather than queued for hours of bus time; one turn of the bus
// carries at most kFramesPerTurn frames of its source, so a source that wants more than that (an
// overdriven load) only ever holds the lock for one turn; under overdrive the adapter's own frames
// due in a turn (the transmit FIFO, the cyclic set) go in it after the source's share.
//
// Threads: the bus runs on a thread of its own; transfers arrive on the driver's threads.

#include "adapter/BusFrame.h"
#include "platform/usb/VirtualUsbBus.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AdapterOptions {
    bool dataEndpoint = true;  // configuration 1 carries endpoint 0x82
    bool muteReplies = false;  // never answers on 0x81
    std::size_t receiveBufferFrames = 4096;
    bool overdrive = false;  // frames as fast as the source wants them, whatever the bit timing
    std::string transferLogPath;  // every transfer, when set
    std::uint16_t firmwareVersion = 0x0105;
};

struct AdapterStats {
    std::uint64_t framesOnBus = 0;          // received frames the bus carried
    std::uint64_t framesOffered = 0;        // of those, the ones carried while capturing
    std::uint64_t framesBuffered = 0;       // taken into the receive buffer while capturing
    std::uint64_t framesLost = 0;           // refused by a full receive buffer
    std::uint64_t framesDelivered = 0;      // handed to the host in data reads
    std::uint64_t framesSent = 0;           // the adapter's own frames
    std::uint64_t cyclicRoundsSent = 0;     // rounds of the cyclic set put in the queue
    std::uint64_t cyclicRoundsSkipped = 0;  // rounds due while the previous one still waited
};

class EmulatedAdapter final : public UsbDeviceFunction {
public:
    // Not the 2^22 ms the program counts a wrap as (kAdapterClockRoundMs): from 0x3FC000 on a
    // time stamp's high byte would be 0xFF, which reads as an empty record.
    static constexpr std::uint32_t kClockWrapMs = 0x3FC000;
    static constexpr std::size_t kTransmitFifoFrames = 64;
    static constexpr std::size_t kFramesPerTurn = 8192;

    EmulatedAdapter(std::unique_ptr<BusSource> source, AdapterOptions options);
    ~EmulatedAdapter() override;
    EmulatedAdapter(const EmulatedAdapter&) = delete;
    EmulatedAdapter& operator=(const EmulatedAdapter&) = delete;

    std::vector<std::uint8_t> descriptor(UCHAR type, UCHAR index) override;
    bool selectConfiguration(UCHAR value) override;
    void submit(std::shared_ptr<UsbTransfer> transfer) override;
    void detach() override;

    [[nodiscard]] AdapterStats stats() const;
    [[nodiscard]] bool capturing() const;

private:
    using Block = std::array<std::uint8_t, 64>;
    struct Received {
        BusFrame frame;
        std::uint32_t millis;
        std::uint16_t micros;
        std::uint8_t loading;
    };

    void busLoop();
    void runBus(std::uint64_t nowUs);
    // False when the turn's frames are used up before the bus reached `limitUs`.
    bool carryUntil(std::uint64_t limitUs);
    void carry(const BusFrame& frame, std::uint64_t endUs, bool received);
    [[nodiscard]] static bool isValidSetup(std::span<const std::uint8_t> command);
    // `sourceTakesSetup`: the bus source's answer to a set-up command, asked before the lock.
    Block handleCommand(std::span<const std::uint8_t> command, bool sourceTakesSetup);
    std::vector<std::uint8_t> dataRead(ULONG length);
    void log(const char* what, UCHAR endpoint, std::span<const std::uint8_t> bytes);
    [[nodiscard]] std::uint64_t nowUs() const;

    const AdapterOptions m_options;
    const std::chrono::steady_clock::time_point m_powerOn;
    std::FILE* m_log = nullptr;

    mutable std::mutex m_mutex;  // everything below
    std::unique_ptr<BusSource> m_source;
    bool m_sourceDone = false;
    bool m_present = true;
    UCHAR m_configuration = 0;
    // Settings from the set-up command.
    std::uint8_t m_workMode = 0;
    std::uint8_t m_nodeId = 0;
    std::uint16_t m_baudKbps = 500;
    std::uint8_t m_frameType = 1;
    bool m_capturing = false;
    // Replies.
    std::deque<Block> m_replies;
    std::shared_ptr<UsbTransfer> m_pendingReply;
    // Receive buffer.
    std::deque<Received> m_rx;
    std::uint32_t m_lostSinceRead = 0;
    // The bus.
    std::uint64_t m_busFreeAtUs = 0;
    std::deque<std::pair<std::uint64_t, std::uint64_t>> m_busy;  // (end, duration), last 500 ms
    std::uint64_t m_busyInWindowUs = 0;
    std::deque<std::pair<BusFrame, std::uint64_t>> m_tx;  // the transmit FIFO
    std::size_t m_turnFrames = 0;                         // carried in this turn of the bus
    // The cyclic set.
    std::array<BusFrame, 8> m_cyclic{};
    std::uint8_t m_cyclicMask[2] = {0, 0};
    std::uint8_t m_interval = 0;
    std::uint8_t m_cycle = 0;
    bool m_cyclicRunning = false;
    std::uint32_t m_cyclicRounds = 0;
    std::uint64_t m_cyclicNextUs = 0;
    std::deque<std::pair<BusFrame, std::uint64_t>> m_cyclicTx;  // at most one round

    AdapterStats m_stats;
    std::atomic<bool> m_stop{false};
    std::thread m_busThread;
};
