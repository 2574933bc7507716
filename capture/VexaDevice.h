#pragma once

// The adapter as the capture document uses it. The program calls the VexaApi library through
// VexaLibraryDevice; tests put a scripted device in its place.

#include "devapi/VexaApi.h"

#include <cstdint>

class VexaDevice {
public:
    virtual ~VexaDevice() = default;
    // Thread: the capture timer's thread.
    virtual bool recvData(std::int32_t& statusA, std::int32_t& statusB, std::int32_t& count,
                          ReceivedFrame* frames) = 0;
    // Thread: the user-interface thread.
    virtual bool runVexa() = 0;
    virtual bool stopVexa() = 0;
};

class VexaLibraryDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& statusA, std::int32_t& statusB, std::int32_t& count,
                  ReceivedFrame* frames) override {
        return RecvData(&statusA, &statusB, &count, frames) == 1;
    }
    bool runVexa() override { return RunVexa() == 1; }
    bool stopVexa() override { return StopVexa() == 1; }
};
