#pragma once

#include <cstdint>

// The adapter's settings as the program keeps them (and the document file stores them).
struct DeviceSettings {
    std::int32_t workMode = 0;   // 0 "Monitor ACK mode", 1 "Monitor Non-ACK mode"
    std::int32_t baudRate = 0;   // kbit/s
    std::int32_t frameType = 1;  // 1 standard, 2 extended
};
