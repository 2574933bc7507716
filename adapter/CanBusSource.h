#pragma once

// An interface of a Qt Serial Bus plugin (socketcan, peakcan, tinycan, passthrucan, virtualcan)
// as the bus under the emulated adapter. Data and remote frames heard on it are stamped with the
// adapter's clock (SocketCAN's own receive stamps where it gives them); error frames are counted,
// never stored; frames of CAN FD or longer than 8 bytes are counted and skipped.
//
// The set-up command's bit rate: a SocketCAN interface keeps what the system gave it ("ip link"),
// so a different rate or listen-only mode is refused with the command that would change it; a
// virtual bus takes any rate; other plugins are reconnected at the new rate. Qt's virtual bus is
// joined only while something else serves it: a member that serves it takes any local process's
// lines unchecked. A lost interface
// (connection gone, read failure, SocketCAN link down or removed) makes the source not present
// until the interface can be opened again.
//
// Threads: the plugin's device lives on a thread of its own; see LiveBusSource for the rest.

#include "adapter/LiveBusSource.h"
#include "adapter/WorkerThread.h"

#include <memory>
#include <string>

class QCanBusFrame;

class CanBusSource final : public LiveBusSource {
public:
    enum class Heard { Frame, ErrorFrame, NotCarried };
    // What a frame from the plugin is to the adapter; `out` is filled for a Frame.
    [[nodiscard]] static Heard fromCanBus(const QCanBusFrame& in, BusFrame& out);

    struct Options {
        std::string plugin;     // e.g. socketcan
        std::string interface;  // e.g. can0
        int reopenMs = 500;
        int linkCheckMs = 250;  // SocketCAN: how often the link is looked at
        int connectTimeoutMs = 2000;
    };

    CanBusSource(Options options, Log log);
    ~CanBusSource() override;

    // Connects to the interface. False, with `error`, when the plugin or the interface cannot be
    // used.
    [[nodiscard]] bool start(std::string& error);

    [[nodiscard]] bool configure(std::uint16_t baudKbps, std::uint8_t workMode) override;
    void transmitted(const BusFrame& frame) override;

private:
    class Worker;
    friend class Worker;
    const Options m_options;
    WorkerThread<Worker> m_worker;
};
