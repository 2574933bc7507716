#pragma once

// What the system says about a SocketCAN interface (rtnetlink): whether it exists and is up, and
// the bit rate and listen-only mode it was given with "ip link". A virtual interface has neither.
//
// Thread: any; each call asks the kernel afresh.

#include <cstdint>
#include <optional>
#include <string>

struct SocketCanLink {
    bool exists = false;
    bool up = false;
    std::optional<std::uint32_t> bitRate;  // bit/s
    std::optional<bool> listenOnly;

    [[nodiscard]] static SocketCanLink query(const std::string& interface);
};
