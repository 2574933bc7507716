#pragma once

// An adapter on a quiet bus: every command succeeds (but Device Information), every read answers
// with no frames.

#include "capture/VexaDevice.h"

class QuietDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count, ReceivedFrame*) override {
        a = b = count = 0;
        return true;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return false; }
};
