#pragma once

// The adapter as a thread of its own (a replay) uses it: each command runs on the device thread,
// in turn with the window's commands, and the caller waits for its answer. A command that the
// closed thread will never run answers false. Reads of the capture go straight to the adapter, as
// the capture poll's do.
//
// Thread: any but the device thread and the window's (which must never wait for the adapter).

#include "capture/DeviceThread.h"
#include "capture/VexaDevice.h"

#include <functional>

class WaitingDevice final : public VexaDevice {
public:
    WaitingDevice(DeviceThread& thread, VexaDevice& device) : m_thread(thread), m_device(device) {}

    bool recvData(std::int32_t& statusA, std::int32_t& statusB, std::int32_t& count,
                  ReceivedFrame* frames) override {
        return m_device.recvData(statusA, statusB, count, frames);
    }
    bool runVexa() override {
        return call([](VexaDevice& d) { return d.runVexa(); });
    }
    bool stopVexa() override {
        return call([](VexaDevice& d) { return d.stopVexa(); });
    }
    bool vexaInit() override {
        return call([](VexaDevice& d) { return d.vexaInit(); });
    }
    bool setVexa(int nodeId, int baudRate, int workMode, int frameType) override {
        return call([=](VexaDevice& d) { return d.setVexa(nodeId, baudRate, workMode, frameType); });
    }
    bool getVexaInfo(Info& info) override {
        return call([&info](VexaDevice& d) { return d.getVexaInfo(info); });
    }
    bool sendSingleData(const TxMessage& message) override {
        return call([&message](VexaDevice& d) { return d.sendSingleData(message); });
    }
    bool setMultiData(const TxMessage* messages, int count, int interval, int cycle) override {
        return call([=](VexaDevice& d) { return d.setMultiData(messages, count, interval, cycle); });
    }
    bool runMultiData() override {
        return call([](VexaDevice& d) { return d.runMultiData(); });
    }
    bool stopMultiData() override {
        return call([](VexaDevice& d) { return d.stopMultiData(); });
    }

private:
    bool call(std::function<bool(VexaDevice&)> command);

    DeviceThread& m_thread;
    VexaDevice& m_device;
};
