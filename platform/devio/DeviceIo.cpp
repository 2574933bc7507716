#include "platform/devio/DeviceIo.h"

#include "platform/devio/DevioProtocol.h"
#include "platform/devio/UnixSocket.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace devio {

namespace {

// Once a message has begun, the rest of it must follow within this time.
constexpr int kRestOfMessageMs = 2000;
// An invented status for "no such handle", outside the NTSTATUS values the host sends.
constexpr std::uint32_t kStatusInvalidHandle = 0xC0000008;

std::atomic<int> g_answerTimeoutMs{5000};
thread_local std::uint32_t t_lastStatus = kStatusSuccess;
// Set while a CallDeadline lives on this thread.
thread_local bool t_haveDeadline = false;
thread_local std::chrono::steady_clock::time_point t_deadline;

// Writes all of `bytes` before `timeoutMs` runs out; a peer that does not read cannot hold the
// caller.
bool sendWithin(int fd, std::span<const std::uint8_t> bytes, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return false;
        }
        pollfd pfd{fd, POLLOUT, 0};
        ::poll(&pfd, 1, static_cast<int>(left));
    }
    return true;
}

struct Connection {
    explicit Connection(int socketFd) : fd(socketFd) {}
    ~Connection() { ::close(fd); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const int fd;
    std::mutex requestMutex;  // one request at a time on a connection
    bool broken = false;      // guarded by requestMutex; a desynchronised stream is never reused
};

// Handles are never reused, so a stale handle can never reach a newer connection.
class HandleTable {
public:
    HANDLE add(std::shared_ptr<Connection> connection) {
        std::lock_guard lock(m_mutex);
        const std::uintptr_t id = ++m_lastId;
        m_connections.emplace(id, std::move(connection));
        return reinterpret_cast<HANDLE>(id);
    }
    std::shared_ptr<Connection> find(HANDLE handle) {
        std::lock_guard lock(m_mutex);
        const auto it = m_connections.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == m_connections.end() ? nullptr : it->second;
    }
    std::shared_ptr<Connection> remove(HANDLE handle) {
        std::lock_guard lock(m_mutex);
        const auto it = m_connections.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == m_connections.end()) {
            return nullptr;
        }
        auto connection = std::move(it->second);
        m_connections.erase(it);
        return connection;
    }

private:
    std::mutex m_mutex;
    std::uintptr_t m_lastId = 0;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Connection>> m_connections;
};

HandleTable& handles() {
    static HandleTable table;
    return table;
}

bool fail(std::uint32_t status) {
    t_lastStatus = status;
    return false;
}

// Sends one request and takes its response apart. `maxOutput` bounds the output bytes the answer
// may carry. On success the output bytes are copied to `out`.
bool transact(Connection& connection, MessageType type, std::span<const std::uint8_t> payload,
              std::uint32_t maxOutput, void* out, std::uint32_t& information) {
    std::lock_guard lock(connection.requestMutex);
    if (connection.broken) {
        return fail(kStatusDeviceRemoved);
    }
    // The call's time already spent on earlier requests is not given again: nothing has been
    // sent yet, so the handle stays usable.
    const int timeLeft = callTimeLeftMs();
    if (timeLeft <= 0) {
        return fail(kStatusTimeout);
    }
    const auto markBroken = [&connection] {
        connection.broken = true;
        ::shutdown(connection.fd, SHUT_RDWR);
        return fail(kStatusDeviceRemoved);
    };
    if (!sendWithin(connection.fd, encode(type, payload), timeLeft)) {
        return markBroken();
    }
    Message answer;
    const int answerWithin = std::max(callTimeLeftMs(), 1);
    if (receiveMessage(connection.fd, answer, answerWithin,
                       std::min(kRestOfMessageMs, answerWithin)) != IoResult::kOk) {
        return markBroken();
    }
    Response response;
    const bool carriesOutput = type == MessageType::kDeviceControl || type == MessageType::kRead;
    if (answer.type != type || !parseResponse(answer, response) ||
        response.output.size() !=
            (carriesOutput ? std::min<std::size_t>(response.information, maxOutput) : 0)) {
        return markBroken();
    }
    t_lastStatus = response.status;
    if (response.status != kStatusSuccess) {
        return false;
    }
    if (!response.output.empty()) {
        std::memcpy(out, response.output.data(), response.output.size());
    }
    information = response.information;
    return true;
}

}  // namespace

HANDLE CreateFileA(const char* fileName) {
    if (fileName == nullptr) {
        fail(kStatusInvalidParameter);
        return INVALID_HANDLE_VALUE;
    }
    const std::string name(fileName);
    const auto slash = name.rfind('\\');
    if (slash == std::string::npos) {
        fail(kStatusNoSuchDevice);
        return INVALID_HANDLE_VALUE;
    }
    const int fd = connectUnixSocket(name.substr(0, slash), callTimeLeftMs());
    if (fd < 0) {
        fail(kStatusNoSuchDevice);
        return INVALID_HANDLE_VALUE;
    }
    auto connection = std::make_shared<Connection>(fd);
    const std::string suffix = name.substr(slash);
    std::uint32_t information = 0;
    if (!transact(*connection, MessageType::kOpen,
                  {reinterpret_cast<const std::uint8_t*>(suffix.data()), suffix.size()}, 0, nullptr,
                  information)) {
        return INVALID_HANDLE_VALUE;
    }
    return handles().add(std::move(connection));
}

bool DeviceIoControl(HANDLE device, std::uint32_t controlCode, const void* inBuffer,
                     std::uint32_t inSize, void* outBuffer, std::uint32_t outSize,
                     std::uint32_t* bytesReturned) {
    const auto connection = handles().find(device);
    if (!connection) {
        return fail(kStatusInvalidHandle);
    }
    if ((inSize > 0 && inBuffer == nullptr) || (outSize > 0 && outBuffer == nullptr) ||
        inSize > kMaxPayload - 8) {
        return fail(kStatusInvalidParameter);
    }
    std::vector<std::uint8_t> payload;
    payload.reserve(8 + inSize);
    putU32(payload, controlCode);
    putU32(payload, outSize);
    const auto* in = static_cast<const std::uint8_t*>(inBuffer);
    payload.insert(payload.end(), in, in + inSize);
    std::uint32_t information = 0;
    if (!transact(*connection, MessageType::kDeviceControl, payload, outSize, outBuffer,
                  information)) {
        return false;
    }
    if (bytesReturned != nullptr) {
        *bytesReturned = information;
    }
    return true;
}

bool ReadFile(HANDLE file, void* buffer, std::uint32_t bytesToRead, std::uint32_t* bytesRead) {
    const auto connection = handles().find(file);
    if (!connection) {
        return fail(kStatusInvalidHandle);
    }
    if (bytesToRead > 0 && buffer == nullptr) {
        return fail(kStatusInvalidParameter);
    }
    std::vector<std::uint8_t> payload;
    putU32(payload, bytesToRead);
    std::uint32_t information = 0;
    if (!transact(*connection, MessageType::kRead, payload, bytesToRead, buffer, information)) {
        return false;
    }
    if (bytesRead != nullptr) {
        *bytesRead = information;
    }
    return true;
}

bool WriteFile(HANDLE file, const void* buffer, std::uint32_t bytesToWrite,
               std::uint32_t* bytesWritten) {
    const auto connection = handles().find(file);
    if (!connection) {
        return fail(kStatusInvalidHandle);
    }
    if ((bytesToWrite > 0 && buffer == nullptr) || bytesToWrite > kMaxPayload) {
        return fail(kStatusInvalidParameter);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::uint32_t information = 0;
    if (!transact(*connection, MessageType::kWrite, {bytes, bytesToWrite}, 0, nullptr,
                  information)) {
        return false;
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = information;
    }
    return true;
}

bool CloseHandle(HANDLE object) {
    const auto connection = handles().remove(object);
    if (!connection) {
        return fail(kStatusInvalidHandle);
    }
    // Wakes a request blocked on this connection; the socket itself is closed when the last user
    // lets go of it.
    ::shutdown(connection->fd, SHUT_RDWR);
    return true;
}

std::uint32_t lastStatus() {
    return t_lastStatus;
}

void setAnswerTimeoutMs(int ms) {
    g_answerTimeoutMs.store(ms);
}

int callTimeLeftMs() {
    if (!t_haveDeadline) {
        return g_answerTimeoutMs.load();
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          t_deadline - std::chrono::steady_clock::now())
                          .count();
    return static_cast<int>(std::max<std::int64_t>(left, 0));
}

CallDeadline::CallDeadline() : m_outer(!t_haveDeadline) {
    if (m_outer) {
        t_deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(g_answerTimeoutMs.load());
        t_haveDeadline = true;
    }
}

CallDeadline::~CallDeadline() {
    if (m_outer) {
        t_haveDeadline = false;
    }
}

}  // namespace devio
