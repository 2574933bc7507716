#pragma once

// The records of the transmission dialogs that the document keeps: the items of the automatic
// (cyclic) message set and the two manual message buffers.

#include <array>
#include <cstdint>

struct AutoMessageItem {
    static constexpr std::uint32_t kTicked = 0x10;

    std::uint32_t flags = 0;
    std::uint32_t identifier = 0;
    std::uint8_t format = 0;  // 0 standard, 1 extended
    std::uint32_t remote = 0;
    std::uint8_t length = 0;
    std::array<std::uint8_t, 8> data{};
    bool operator==(const AutoMessageItem&) const = default;
};

struct ManualBuffer {
    std::uint32_t identifier = 0;
    std::uint32_t size = 8;
    std::uint32_t format = 0;
    std::uint32_t remote = 0;
    std::array<std::uint32_t, 8> data{};  // one value per byte
    bool operator==(const ManualBuffer&) const = default;
};
