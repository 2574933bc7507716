#pragma once

#include "devapi/VexaApi.h"

#include <cstdint>

// One captured or hand-sent frame: the library's ReceivedFrame with the program's wrap count.
struct CapturedFrame {
    std::uint32_t loading = 0;
    std::uint32_t micros = 0;
    std::uint32_t millis = 0;
    std::uint32_t seconds = 0;
    std::uint32_t minutes = 0;
    std::uint32_t status = 0;  // 0 = data frame, 1 = remote frame
    std::uint8_t format = 0;   // 0 = standard, 1 = extended
    std::uint8_t length = 0;
    std::uint32_t identifier = 0;
    std::uint8_t data[8] = {};
    std::uint32_t wraps = 0;
    bool operator==(const CapturedFrame&) const = default;
};

static_assert(sizeof(CapturedFrame) == 44, "the store's memory budget counts on 44-byte records");

[[nodiscard]] CapturedFrame toCapturedFrame(const ReceivedFrame& frame, std::uint32_t wraps);
