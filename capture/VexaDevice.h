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
    // Thread: the one device thread (DeviceThread); the windows reach these through
    // DeviceCommands.
    virtual bool runVexa() = 0;
    virtual bool stopVexa() = 0;
    virtual bool vexaInit() = 0;
    virtual bool setVexa(int nodeId, int baudRate, int workMode, int frameType) = 0;
    struct Info {
        std::int32_t status = 0;
        std::int32_t mode = 0;
        std::int32_t nodeId = 0;
        std::int32_t baudRate = 0;
        std::int32_t version = 0;
    };
    virtual bool getVexaInfo(Info& info) = 0;
    // Sending. A device that cannot send refuses.
    virtual bool sendSingleData(const TxMessage& message) {
        (void)message;
        return false;
    }
    virtual bool setMultiData(const TxMessage* messages, int count, int interval, int cycle) {
        (void)messages, (void)count, (void)interval, (void)cycle;
        return false;
    }
    virtual bool runMultiData() { return false; }
    virtual bool stopMultiData() { return false; }
};

class VexaLibraryDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& statusA, std::int32_t& statusB, std::int32_t& count,
                  ReceivedFrame* frames) override {
        return RecvData(&statusA, &statusB, &count, frames) == 1;
    }
    bool runVexa() override { return RunVexa() == 1; }
    bool stopVexa() override { return StopVexa() == 1; }
    bool vexaInit() override { return Vexa_INIT() == 1; }
    bool setVexa(int nodeId, int baudRate, int workMode, int frameType) override {
        return SetVexa(nodeId, baudRate, workMode, frameType) == 1;
    }
    bool getVexaInfo(Info& i) override {
        return GetVexaInfo(&i.status, &i.mode, &i.nodeId, &i.baudRate, &i.version) == 1;
    }
    bool sendSingleData(const TxMessage& message) override { return SendSingleData(message) == 1; }
    bool setMultiData(const TxMessage* messages, int count, int interval, int cycle) override {
        return SetMultiData(messages, count, interval, cycle) == 1;
    }
    bool runMultiData() override { return RunMultiData() == 1; }
    bool stopMultiData() override { return StopMultiData() == 1; }
};
