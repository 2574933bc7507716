#pragma once

// The host side of the device handle protocol (DevioProtocol.h): one listening socket per device
// interface, one thread per connected handle, at most connectionLimit() handles at once (further
// connections are closed at once; the ones already open keep being served). The driver host turns
// the calls below into IRPs; tests script the answers directly.

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
    // Before start().
    void setConnectionLimit(std::size_t limit);
    [[nodiscard]] std::size_t connectionLimit() const { return m_connectionLimit; }
    [[nodiscard]] std::size_t connectionCount();

    static constexpr std::size_t kDefaultConnectionLimit = 64;
    // A connection must open its handle within this time.
    static constexpr int kOpenWithinMs = 5000;
    // Why start() failed.
    [[nodiscard]] const std::string& error() const { return m_error; }

private:
    struct Client {
        int fd = -1;
        DevioHandler::ConnectionId id = 0;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    void startClient(int fd);
    void serve(Client& client);
    void reapFinished();

    DevioHandler& m_handler;
    std::string m_path;
    std::string m_error;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_acceptThread;
    std::mutex m_clientsMutex;
    std::list<std::unique_ptr<Client>> m_clients;
    DevioHandler::ConnectionId m_nextId = 1;
    std::size_t m_connectionLimit = kDefaultConnectionLimit;
};

// Serves one connected handle on the calling thread until it closes or breaks the protocol:
// requests are checked (lengths included) before the handler sees them, and a handler that
// throws fails its request, not the connection. The handler's closeConnection runs at the end
// when the handle had been opened.
void serveConnection(int fd, DevioHandler& handler, DevioHandler::ConnectionId id,
                     int openTimeoutMs);

// Creates `path` and its parents with mode 0700 where they do not exist; false unless `path` is
// then a private folder of this user (see RuntimeFolder.h).
[[nodiscard]] bool makePrivateDirectories(const std::string& path);

}  // namespace devio
