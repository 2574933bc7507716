#include "platform/devio/DevioServer.h"

#include "platform/devio/DeviceInterfaces.h"
#include "platform/devio/RuntimeFolder.h"
#include "platform/devio/UnixSocket.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace devio {

namespace {

// Once a message has begun, the rest of it must follow within this time.
constexpr int kRestOfMessageMs = 2000;

}  // namespace

bool makePrivateDirectories(const std::string& path) {
    std::string error;
    return ensurePrivateDirectory(path, error);
}

DevioServer::DevioServer(DevioHandler& handler) : m_handler(handler) {}

DevioServer::~DevioServer() {
    stop();
}

bool DevioServer::start(const std::string& socketPath) {
    const auto slash = socketPath.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        // Every folder from the runtime folder down must be ours alone, or another user could
        // have placed the socket's name or a symlink there.
        const std::string folder = socketPath.substr(0, slash);
        const std::string runtime = runtimeDirectory();
        std::string error;
        const bool inside = folder.compare(0, runtime.size(), runtime) == 0 &&
                            (folder.size() == runtime.size() || folder[runtime.size()] == '/');
        // Checked before anything is made, so nothing is made through a planted symlink, and
        // again after.
        if ((inside && !checkPrivateChain(runtime, folder, true, error)) ||
            !ensurePrivateDirectory(folder, error) ||
            (inside && !checkPrivateChain(runtime, folder, false, error))) {
            m_error = error;
            return false;
        }
    }
    m_listenFd = listenUnixSocket(socketPath);
    if (m_listenFd < 0) {
        m_error = errno == EADDRINUSE ? socketPath + " is served by another host"
                                      : "cannot listen on " + socketPath;
        return false;
    }
    if (::pipe2(m_wakePipe, O_CLOEXEC) != 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_path = socketPath;
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return true;
}

void DevioServer::stop() {
    if (m_listenFd < 0) {
        return;
    }
    const char wake = 1;
    [[maybe_unused]] const auto written = ::write(m_wakePipe[1], &wake, 1);
    m_acceptThread.join();
    ::unlink(m_path.c_str());
    ::close(m_listenFd);
    ::close(m_wakePipe[0]);
    ::close(m_wakePipe[1]);
    m_listenFd = -1;

    std::list<std::unique_ptr<Client>> clients;
    {
        std::lock_guard lock(m_clientsMutex);
        clients.swap(m_clients);
    }
    for (auto& client : clients) {
        ::shutdown(client->fd, SHUT_RDWR);
    }
    for (auto& client : clients) {
        client->thread.join();
        ::close(client->fd);
    }
}

void DevioServer::setConnectionLimit(std::size_t limit) {
    m_connectionLimit = std::max<std::size_t>(limit, 1);
}

std::size_t DevioServer::connectionCount() {
    std::lock_guard lock(m_clientsMutex);
    return m_clients.size();
}

void DevioServer::acceptLoop() {
    // Held in reserve for the moment the process runs out of descriptors: freeing it lets the
    // loop accept and drop the waiting connection instead of being woken for it again and again.
    int spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR) {
            break;
        }
        if (fds[1].revents != 0) {
            break;
        }
        reapFinished();
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if ((errno == EMFILE || errno == ENFILE) && spare >= 0) {
                ::close(spare);
                const int dropped = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
                if (dropped >= 0) {
                    ::close(dropped);
                }
                spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            } else if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
                // Nothing to accept with (no memory, no descriptor in reserve): breathe.
                ::poll(nullptr, 0, 50);
            }
            continue;
        }
        startClient(fd);
    }
    if (spare >= 0) {
        ::close(spare);
    }
}

void DevioServer::startClient(int fd) {
    std::unique_ptr<Client> client;
    Client* ref = nullptr;
    {
        std::lock_guard lock(m_clientsMutex);
        // Beyond the limit a connection is closed at once, so its client fails fast while the
        // handles already open keep being served.
        if (m_clients.size() >= m_connectionLimit) {
            ::close(fd);
            return;
        }
        try {
            client = std::make_unique<Client>();
            client->fd = fd;
            client->id = m_nextId++;
            ref = client.get();
            m_clients.push_back(std::move(client));
        } catch (const std::bad_alloc&) {
            ::close(fd);
            return;
        }
    }
    try {
        ref->thread = std::thread([this, ref] { serve(*ref); });
    } catch (const std::system_error&) {
        // No thread to be had: the connection goes, the host stays.
        std::lock_guard lock(m_clientsMutex);
        std::erase_if(m_clients, [ref](const auto& c) { return c.get() == ref; });
        ::close(fd);
    }
}

void DevioServer::reapFinished() {
    std::list<std::unique_ptr<Client>> finished;
    {
        std::lock_guard lock(m_clientsMutex);
        for (auto it = m_clients.begin(); it != m_clients.end();) {
            if ((*it)->done.load()) {
                finished.push_back(std::move(*it));
                it = m_clients.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& client : finished) {
        client->thread.join();
        ::close(client->fd);
    }
}

namespace {

Reply dispatch(DevioHandler& handler, DevioHandler::ConnectionId id, const Request& r) {
    switch (r.type) {
        case MessageType::kDeviceControl:
            return handler.deviceControl(id, r.controlCode, r.input, r.outputLength);
        case MessageType::kRead:
            return handler.read(id, r.outputLength);
        case MessageType::kWrite:
            return handler.write(id, r.input);
        case MessageType::kOpen:
            break;
    }
    Reply reply;
    reply.status = kStatusInvalidParameter;
    return reply;
}

}  // namespace

void serveConnection(int fd, DevioHandler& handler, DevioHandler::ConnectionId id,
                     int openTimeoutMs) {
    bool opened = false;
    Message request;
    // A handle may sit idle for as long as its owner likes; only a begun message is bounded, and
    // a connection that never opens a handle does not get to hold its place for ever.
    while (receiveMessage(fd, request, opened ? -1 : openTimeoutMs, kRestOfMessageMs) ==
           IoResult::kOk) {
        if (!opened && request.type != MessageType::kOpen) {
            break;
        }
        Request parsed;
        const RequestCheck check = parseRequest(request, parsed);
        Reply reply;
        try {
            if (check != RequestCheck::kOk) {
                reply.status = kStatusInvalidParameter;
            } else if (parsed.type == MessageType::kOpen) {
                // A handle is opened once; a second open would leave the first file dangling.
                if (opened) {
                    reply.status = kStatusInvalidParameter;
                } else {
                    reply.status =
                        handler.create(id, std::string(parsed.input.begin(), parsed.input.end()));
                    opened = reply.status == kStatusSuccess;
                }
            } else {
                reply = dispatch(handler, id, parsed);
            }
            const std::size_t output =
                check == RequestCheck::kOk ? std::min(reply.information, parsed.outputLength) : 0;
            reply.output.resize(request.type == MessageType::kDeviceControl ||
                                        request.type == MessageType::kRead
                                    ? output
                                    : 0);
        } catch (const std::exception&) {
            // One request that could not be carried out (out of memory, say) fails alone.
            reply = Reply{};
            reply.status = kStatusInsufficientResources;
        }
        std::vector<std::uint8_t> answer;
        try {
            answer = encode(request.type,
                            makeResponsePayload(reply.status, reply.information, reply.output));
        } catch (const std::exception&) {
            break;
        }
        if (!sendAll(fd, answer)) {
            break;
        }
        if (request.type == MessageType::kOpen && !opened) {
            break;
        }
    }
    if (opened) {
        handler.closeConnection(id);
    }
}

void DevioServer::serve(Client& client) {
    try {
        serveConnection(client.fd, m_handler, client.id, kOpenWithinMs);
    } catch (...) {
        // Whatever went wrong ends this connection, never the host.
    }
    ::shutdown(client.fd, SHUT_RDWR);
    client.done.store(true);
}

}  // namespace devio
