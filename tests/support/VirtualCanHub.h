#pragma once

// Qt's virtual CAN bus as a process of its own: the bus lives as long as its first member's
// process, so a test that must take the bus away (as if its interface were lost) runs it apart
// and stops it. Members join with the interface name interfaceName().
//
// Thread: the owner's.

#include <string>
#include <vector>

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
    // The hub's program, to run it with other arguments.
    static std::string program();

private:
    int m_port;
    pid_t m_pid = -1;
};

// A member of the virtual bus that speaks its lines itself, as any local process can: to put
// malformed lines on the bus and to see exactly what the hub passes on.
class VirtualCanMember {
public:
    // Connects to the bus on `port`; ok() says whether that worked.
    explicit VirtualCanMember(int port);
    ~VirtualCanMember();
    VirtualCanMember(const VirtualCanMember&) = delete;
    VirtualCanMember& operator=(const VirtualCanMember&) = delete;

    [[nodiscard]] bool ok() const { return m_fd >= 0; }
    // Bytes as they go on the wire; false when they could not all be written.
    bool send(const std::string& bytes);
    // The lines received until `count` have come or `limitMs` passed (without their ends).
    std::vector<std::string> lines(std::size_t count, int limitMs);
    // Whether the other end closed the connection within `limitMs`.
    bool closedByPeer(int limitMs);

private:
    int m_fd = -1;
    std::string m_partial;
};
