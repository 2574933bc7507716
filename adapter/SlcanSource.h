#pragma once

// An slcan serial adapter as the bus under the emulated adapter. At start the channel is closed
// ("C") and the adapter's version and serial number go to the log; the set-up command picks the
// bit rate ("S0" to "S8"), turns time stamps on ("Z1") and opens the channel, acknowledging ("O")
// or listening only ("L", work mode 1). Received frames are placed on the adapter's clock by
// their own stamps; the adapter's own frames are sent; the status is polled ("F") for overruns.
// Refusals (BEL) and lines that do not parse are counted and skipped. When the serial device
// goes away (an error, a hang-up or end of file on the port, before or after a set-up) the source
// is not present until it can be opened again.
//
// Threads: the serial port lives on a thread of its own; see LiveBusSource for the rest.

#include "adapter/LiveBusSource.h"
#include "adapter/WorkerThread.h"

#include <memory>
#include <string>

class SlcanSource final : public LiveBusSource {
public:
    struct Options {
        std::string device;              // e.g. /dev/ttyACM0
        std::int32_t lineBaud = 115200;  // of the serial line (USB adapters ignore it)
        int statusPollMs = 500;
        int reopenMs = 500;
        int replyTimeoutMs = 500;
    };

    SlcanSource(Options options, Log log);
    ~SlcanSource() override;

    // Opens the serial device and closes the CAN channel. False, with `error`, when the device
    // cannot be opened.
    [[nodiscard]] bool start(std::string& error);

    [[nodiscard]] bool configure(std::uint16_t baudKbps, std::uint8_t workMode) override;
    void transmitted(const BusFrame& frame) override;

private:
    class Worker;
    friend class Worker;
    const Options m_options;
    WorkerThread<Worker> m_worker;
};
