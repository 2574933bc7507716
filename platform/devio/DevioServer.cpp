#include "platform/devio/DevioServer.h"

#include "platform/devio/UnixSocket.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace devio {

bool makePrivateDirectories(const std::string& path) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) {
            continue;
        }
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DevioServer::DevioServer(DevioHandler& handler) : m_handler(handler) {}

DevioServer::~DevioServer() {
    stop();
}

bool DevioServer::start(const std::string& socketPath) {
    const auto slash = socketPath.rfind('/');
    if (slash != std::string::npos && slash > 0 &&
        !makePrivateDirectories(socketPath.substr(0, slash))) {
        return false;
    }
    m_listenFd = listenUnixSocket(socketPath);
    if (m_listenFd < 0) {
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

void DevioServer::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        reapFinished();
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        auto client = std::make_unique<Client>();
        client->fd = fd;
        Client& ref = *client;
        {
            std::lock_guard lock(m_clientsMutex);
            client->id = m_nextId++;
            m_clients.push_back(std::move(client));
        }
        ref.thread = std::thread([this, &ref] { serve(ref); });
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

// How many output bytes a response carries (see DevioProtocol.h).
std::size_t outputBytes(const Message& request, std::uint32_t information) {
    const auto& p = request.payload;
    if (request.type == MessageType::kDeviceControl && p.size() >= 8) {
        return std::min(information, getU32(p.data() + 4));
    }
    if (request.type == MessageType::kRead && p.size() == 4) {
        return std::min(information, getU32(p.data()));
    }
    return 0;
}

}  // namespace

void DevioServer::serve(Client& client) {
    bool opened = false;
    Message request;
    // A handle may sit idle for as long as its owner likes; only a begun message is bounded.
    while (receiveMessage(client.fd, request, -1, 2000) == IoResult::kOk) {
        const auto& p = request.payload;
        Reply reply;
        if (!opened && request.type != MessageType::kOpen) {
            break;
        }
        switch (request.type) {
            case MessageType::kOpen:
                reply.status = m_handler.create(client.id, std::string(p.begin(), p.end()));
                opened = reply.status == kStatusSuccess;
                break;
            case MessageType::kDeviceControl:
                if (p.size() < 8) {
                    reply.status = kStatusInvalidParameter;
                    break;
                }
                reply = m_handler.deviceControl(client.id, getU32(p.data()),
                                                std::span(p).subspan(8), getU32(p.data() + 4));
                break;
            case MessageType::kRead:
                if (p.size() != 4) {
                    reply.status = kStatusInvalidParameter;
                    break;
                }
                reply = m_handler.read(client.id, getU32(p.data()));
                break;
            case MessageType::kWrite:
                reply = m_handler.write(client.id, p);
                break;
        }
        reply.output.resize(outputBytes(request, reply.information));
        if (!sendAll(client.fd,
                     encode(request.type,
                            makeResponsePayload(reply.status, reply.information, reply.output)))) {
            break;
        }
        if (request.type == MessageType::kOpen && !opened) {
            break;
        }
    }
    if (opened) {
        m_handler.closeConnection(client.id);
    }
    ::shutdown(client.fd, SHUT_RDWR);
    client.done.store(true);
}

}  // namespace devio
