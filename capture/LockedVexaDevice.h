#pragma once

// The adapter with its commands taken one at a time: every call but the capture's reads goes
// through one lock, so that a replay sending from its own thread never mixes its exchanges with
// the program's other commands (the library takes commands from one thread at a time). The
// capture's reads use the data channel, which the library reads beside the commands.
//
// Thread: any; a call waits while another thread's command is under way.

#include "capture/VexaDevice.h"

#include <mutex>

class LockedVexaDevice final : public VexaDevice {
public:
    explicit LockedVexaDevice(VexaDevice& device) : m_device(device) {}

    bool recvData(std::int32_t& statusA, std::int32_t& statusB, std::int32_t& count,
                  ReceivedFrame* frames) override {
        return m_device.recvData(statusA, statusB, count, frames);
    }
    bool runVexa() override {
        std::lock_guard lock(m_mutex);
        return m_device.runVexa();
    }
    bool stopVexa() override {
        std::lock_guard lock(m_mutex);
        return m_device.stopVexa();
    }
    bool vexaInit() override {
        std::lock_guard lock(m_mutex);
        return m_device.vexaInit();
    }
    bool setVexa(int nodeId, int baudRate, int workMode, int frameType) override {
        std::lock_guard lock(m_mutex);
        return m_device.setVexa(nodeId, baudRate, workMode, frameType);
    }
    bool getVexaInfo(Info& info) override {
        std::lock_guard lock(m_mutex);
        return m_device.getVexaInfo(info);
    }
    bool sendSingleData(const TxMessage& message) override {
        std::lock_guard lock(m_mutex);
        return m_device.sendSingleData(message);
    }
    bool setMultiData(const TxMessage* messages, int count, int interval, int cycle) override {
        std::lock_guard lock(m_mutex);
        return m_device.setMultiData(messages, count, interval, cycle);
    }
    bool runMultiData() override {
        std::lock_guard lock(m_mutex);
        return m_device.runMultiData();
    }
    bool stopMultiData() override {
        std::lock_guard lock(m_mutex);
        return m_device.stopMultiData();
    }

private:
    VexaDevice& m_device;
    std::mutex m_mutex;
};
