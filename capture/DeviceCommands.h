#pragma once

// The adapter's commands as the windows send them: each call returns at once and its answer comes
// back later, through `done`, on the owner's thread. With a DeviceThread the commands run on it
// in the order they were sent; without one (tests, tools) each runs on the caller's thread and
// `done` is called before the call returns.
//
// Commands the user waits for (every one but vexaInit and stopVexa) are counted as waited while
// their answer is out, so the window can show that it is busy.
//
// Thread: the owner's (the user-interface) thread.

#include "capture/DeviceThread.h"
#include "capture/VexaDevice.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class DeviceCommands {
public:
    using Done = std::function<void(bool)>;
    using InfoDone = std::function<void(bool, const VexaDevice::Info&)>;

    explicit DeviceCommands(VexaDevice& device) : m_device(&device) {}
    explicit DeviceCommands(DeviceThread& thread) : m_thread(&thread) {}
    DeviceCommands(const DeviceCommands&) = delete;
    DeviceCommands& operator=(const DeviceCommands&) = delete;

    void vexaInit(Done done = {});
    void stopVexa(Done done = {});
    void setVexa(int nodeId, int baudRate, int workMode, int frameType, Done done);
    void getVexaInfo(InfoDone done);
    void runVexa(Done done);
    void sendSingleData(const TxMessage& message, Done done);
    void setMultiData(std::vector<TxMessage> messages, int interval, int cycle, Done done);
    void runMultiData(Done done);
    void stopMultiData(Done done);

    // Waited commands whose answer has not arrived yet.
    [[nodiscard]] int waiting() const { return m_waiting; }
    // Called when waiting() goes from 0 to 1 and back to 0 (before that answer's `done`, so a
    // message it shows is not under the busy state).
    void setWaitingChanged(std::function<void(bool)> handler) {
        m_waitingChanged = std::move(handler);
    }
    // Called after each answer's `done`, when what depends on the answer has changed.
    void setAnswered(std::function<void()> handler) { m_answered = std::move(handler); }

    // A completion whose owner may have gone before the answer came: it then does nothing.
    template <typename Fn>
    static auto whileAlive(const std::shared_ptr<bool>& owner, Fn done) {
        return [alive = std::weak_ptr<bool>(owner), done = std::move(done)](auto&&... args) {
            if (!alive.expired()) done(std::forward<decltype(args)>(args)...);
        };
    }

private:
    template <typename Result>
    void send(bool waited, std::function<Result(VexaDevice&)> work,
              std::function<void(const Result&)> done);
    void waitedBy(int change);

    VexaDevice* m_device = nullptr;
    DeviceThread* m_thread = nullptr;
    int m_waiting = 0;
    std::function<void(bool)> m_waitingChanged;
    std::function<void()> m_answered;
};
