#pragma once

// The adapter's command thread. The library matches a reply to its command only by order, so its
// command calls all come from one thread: this one. Commands run in the order they were submitted;
// each one's completion is handed back to the owner's thread through `post`, in the same order.
// RecvData stays on the capture poll's thread.
//
// Threads: submit(), close() and the destructor on the owner's thread; the commands on the device
// thread.

#include "capture/VexaDevice.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

class DeviceThread {
public:
    using Work = std::function<void(VexaDevice&)>;
    using Completion = std::function<void()>;
    // Hands a completion to the owner's thread (a queued call into its event loop).
    using Post = std::function<void(Completion)>;

    // The library gives up on a command after 5 s of silence (its answer time-out); a command in
    // flight at exit is waited for that long and a little more.
    static constexpr std::chrono::milliseconds kCloseBound{5500};

    DeviceThread(VexaDevice& device, Post post);
    // close(kCloseBound).
    ~DeviceThread();
    DeviceThread(const DeviceThread&) = delete;
    DeviceThread& operator=(const DeviceThread&) = delete;

    // Queues `work`; `done` (may be empty) then runs on the owner's thread. Ignored once closed.
    void submit(Work work, Completion done);

    // Ends the thread. The commands already queued still run (the document's last StopVexa among
    // them) until `bound` has passed; their completions are no longer posted. True when the thread
    // ended and was joined. False when a command was still stuck in a wedged host: the thread is
    // then detached; it owns what it still touches, runs nothing more and ends when the call
    // returns (the library's time-out bounds it).
    bool close(std::chrono::milliseconds bound = kCloseBound);

    [[nodiscard]] std::thread::id id() const { return m_thread.get_id(); }

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared>& shared, VexaDevice& device);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
