#pragma once

// A small network to look at: three CANopen nodes (NMT, SYNC, heartbeat, PDOs whose values ramp
// and oscillate, SDO exchanges, an emergency now and then), a DeviceNet master with two slaves
// using every message group, an extended frame and a remote frame.

#include "adapter/BusFrame.h"

#include <functional>
#include <vector>

class DemoNetwork final : public BusSource {
public:
    DemoNetwork();
    bool next(BusFrame& frame, std::uint64_t& wantedAtUs) override;
    void pop() override;

private:
    struct Task {
        std::uint64_t periodUs;
        std::uint64_t nextUs;
        std::function<BusFrame(std::uint64_t count, std::uint64_t atUs)> make;
        std::uint64_t count = 0;
    };
    void every(std::uint64_t periodMs, std::uint64_t phaseMs,
               std::function<BusFrame(std::uint64_t, std::uint64_t)> make);
    [[nodiscard]] std::size_t earliest() const;

    std::vector<Task> m_tasks;
};
