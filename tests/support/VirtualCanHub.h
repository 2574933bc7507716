#pragma once

// Qt's virtual CAN bus as a process of its own: the bus lives as long as its first member's
// process, so a test that must take the bus away (as if its interface were lost) runs it apart
// and stops it. Members join with the interface name interfaceName().
//
// Thread: the owner's.

#include <string>

#include <sys/types.h>

class VirtualCanHub {
public:
    // Picks a free local port; start() runs the bus on it.
    VirtualCanHub();
    ~VirtualCanHub();
    VirtualCanHub(const VirtualCanHub&) = delete;
    VirtualCanHub& operator=(const VirtualCanHub&) = delete;

    // Runs the bus and waits until it takes members. False when it did not come up.
    bool start();
    void stop();

    [[nodiscard]] int port() const { return m_port; }
    // "tcp://127.0.0.1:PORT/can0"
    [[nodiscard]] std::string interfaceName() const;

    // A free TCP port on the loopback interface, as the system hands it out.
    static int freePort();

private:
    int m_port;
    pid_t m_pid = -1;
};
