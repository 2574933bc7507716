#pragma once

// One virtual CAN bus for several emulated adapters: every frame an adapter puts on the bus reaches
// all the others, and one source (the demo network, a replay, ...) feeds them all alike. This is
// how a sender is tried against a receiver without hardware.
//
// Each adapter keeps its own bit timing, so the adapters do not arbitrate against each other: a
// frame one adapter sends enters the others' buses when it has ended, and each of them carries it
// at its own bit rate. Nothing checks that the bit rates agree.
//
// Threads: ports are used by their adapters' bus threads; everything shared is behind one lock,
// which is taken after an adapter's own lock and never before it.

#include "adapter/BusFrame.h"

#include <chrono>
#include <cstdint>
#include <memory>

class SharedBus {
public:
    // Frames one port may be behind before the oldest are dropped (an adapter that stopped
    // listening must not make the host hold frames without bound).
    static constexpr std::size_t kMaxBacklog = 65536;

    struct Stats {
        std::uint64_t sourceFrames = 0;   // taken from the source
        std::uint64_t peerFrames = 0;     // handed from one adapter to the others
        std::uint64_t framesDropped = 0;  // lost by ports that fell too far behind
    };

    // `source` may be null: the bus then carries only what the adapters send.
    explicit SharedBus(std::unique_ptr<BusSource> source);
    ~SharedBus();
    SharedBus(const SharedBus&) = delete;
    SharedBus& operator=(const SharedBus&) = delete;

    // The bus as one adapter sees it. Make it just before the adapter, whose bus clock starts
    // then; the port may outlive the SharedBus.
    [[nodiscard]] std::unique_ptr<BusSource> join();
    [[nodiscard]] Stats stats() const;

    // Bus time of a port that has nothing to offer: far beyond any real wish, so the adapter
    // keeps asking and takes a peer's frame as soon as there is one.
    static constexpr std::uint64_t kIdleUs = BusSource::kNothingYetUs;

private:
    struct Hub;
    class Port;
    std::shared_ptr<Hub> m_hub;
};
