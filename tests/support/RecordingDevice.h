#pragma once

// An adapter for tests of the device thread: it records each command with the thread it came on,
// can hold one command until released (as a host stopped with SIGSTOP holds it), and answers
// every read with no frames.

#include "capture/VexaDevice.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RecordingDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count, ReceivedFrame*) override {
        a = b = count = 0;
        return true;
    }
    bool runVexa() override { return call("run"); }
    bool stopVexa() override { return call("stop"); }
    bool vexaInit() override { return call("init"); }
    bool setVexa(int, int baud, int, int) override { return call("set " + std::to_string(baud)); }
    bool getVexaInfo(Info& info) override {
        info.version = 0x0102;
        return call("info");
    }
    bool sendSingleData(const TxMessage& m) override {
        return call("send " + std::to_string(m.identifier));
    }
    bool setMultiData(const TxMessage*, int count, int, int) override {
        return call("setMulti " + std::to_string(count));
    }
    bool runMultiData() override { return call("runMulti"); }
    bool stopMultiData() override { return call("stopMulti"); }

    // The next call of `name` waits until release().
    void hold(const std::string& name) {
        std::lock_guard lock(m_mutex);
        m_held = name;
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_held.clear();
        m_changed.notify_all();
    }
    bool waitUntilHolding(std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_holding; });
    }
    // Commands named so answer with a refusal.
    void refuse(std::vector<std::string> names) {
        std::lock_guard lock(m_mutex);
        m_refused = std::move(names);
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<std::thread::id> threads() const {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }
    int returned() const {
        std::lock_guard lock(m_mutex);
        return m_returned;
    }

private:
    bool call(const std::string& name) {
        std::unique_lock lock(m_mutex);
        m_calls.push_back(name);
        m_threads.push_back(std::this_thread::get_id());
        if (name == m_held) {
            m_holding = true;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_held.empty(); });
            m_holding = false;
        }
        ++m_returned;
        for (const auto& refused : m_refused) {
            if (refused == name) return false;
        }
        return true;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_held;
    bool m_holding = false;
    std::vector<std::string> m_refused;
    std::vector<std::string> m_calls;
    std::vector<std::thread::id> m_threads;
    int m_returned = 0;
};
