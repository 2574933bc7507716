#pragma once

// The host side of the device handle protocol (DevioProtocol.h): one listening socket per device
// interface, one thread per connected handle. The driver host turns the calls below into IRPs;
// tests script the answers directly.

#include "platform/devio/DevioProtocol.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace devio {

struct Reply {
    std::uint32_t status = kStatusSuccess;
    std::uint32_t information = 0;
    std::vector<std::uint8_t> output;  // for control and read requests: `information` bytes
};

// Called on the connection's own thread. A handler may block in `read` (a pending read); it must
// return when the interface goes away, since stop() waits for every connection thread.
class DevioHandler {
public:
    virtual ~DevioHandler() = default;
    using ConnectionId = std::uint64_t;

    virtual std::uint32_t create(ConnectionId connection, const std::string& fileName) = 0;
    virtual Reply deviceControl(ConnectionId connection, std::uint32_t code,
                                std::span<const std::uint8_t> input,
                                std::uint32_t outputLength) = 0;
    virtual Reply read(ConnectionId connection, std::uint32_t length) = 0;
    virtual Reply write(ConnectionId connection, std::span<const std::uint8_t> data) = 0;
    // Cleanup then close, when the handle is closed or the connection drops.
    virtual void closeConnection(ConnectionId connection) = 0;
};

class DevioServer {
public:
    explicit DevioServer(DevioHandler& handler);
    ~DevioServer();
    DevioServer(const DevioServer&) = delete;
    DevioServer& operator=(const DevioServer&) = delete;

    // Creates the folders (0700) and the socket (0600) and starts accepting.
    [[nodiscard]] bool start(const std::string& socketPath);
    // Stops accepting, removes the socket, drops every connection and waits for their threads.
    void stop();

    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    struct Client {
        int fd = -1;
        DevioHandler::ConnectionId id = 0;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    void serve(Client& client);
    void reapFinished();

    DevioHandler& m_handler;
    std::string m_path;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_acceptThread;
    std::mutex m_clientsMutex;
    std::list<std::unique_ptr<Client>> m_clients;
    DevioHandler::ConnectionId m_nextId = 1;
};

// Creates `path` and its parents with mode 0700 where they do not exist.
[[nodiscard]] bool makePrivateDirectories(const std::string& path);

}  // namespace devio
