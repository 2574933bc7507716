#pragma once

// Small hand-made frames for the curve tests.

#include "capture/FrameStore.h"

#include <cstdint>
#include <initializer_list>

inline CapturedFrame frameOf(std::uint32_t id, std::initializer_list<std::uint8_t> data,
                             std::uint32_t millis = 0) {
    CapturedFrame f;
    f.identifier = id;
    f.length = static_cast<std::uint8_t>(data.size());
    std::size_t i = 0;
    for (std::uint8_t b : data) f.data[i++] = b;
    f.seconds = millis / 1000;
    f.millis = millis % 1000;
    return f;
}
