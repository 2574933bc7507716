#include "platform/devio/DevioProtocol.h"

#include <cerrno>
#include <chrono>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace devio {

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::vector<std::uint8_t> encode(MessageType type, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderSize + payload.size());
    const auto t = static_cast<std::uint16_t>(type);
    out.push_back(static_cast<std::uint8_t>(t));
    out.push_back(static_cast<std::uint8_t>(t >> 8));
    out.push_back(0);
    out.push_back(0);
    putU32(out, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

bool sendAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

using Clock = std::chrono::steady_clock;

// Reads exactly `size` bytes, waiting at most until `deadline` (none when unset).
IoResult receiveExactly(int fd, std::uint8_t* buffer, std::size_t size, bool bounded,
                        Clock::time_point deadline) {
    std::size_t got = 0;
    while (got < size) {
        int timeout = -1;
        if (bounded) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return IoResult::kTimeout;
            }
            timeout = static_cast<int>(left.count());
        }
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, timeout);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return IoResult::kError;
        }
        if (ready == 0) {
            return IoResult::kTimeout;
        }
        const ssize_t n = ::recv(fd, buffer + got, size - got, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0) {
            return IoResult::kClosed;
        }
        if (n < 0) {
            return IoResult::kError;
        }
        got += static_cast<std::size_t>(n);
    }
    return IoResult::kOk;
}

Clock::time_point deadlineAfter(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

}  // namespace

IoResult receiveMessage(int fd, Message& message, int firstByteTimeoutMs, int restTimeoutMs) {
    std::uint8_t header[kHeaderSize];
    IoResult r =
        receiveExactly(fd, header, 1, firstByteTimeoutMs >= 0, deadlineAfter(firstByteTimeoutMs));
    if (r != IoResult::kOk) {
        return r;
    }
    const auto rest = deadlineAfter(restTimeoutMs);
    r = receiveExactly(fd, header + 1, kHeaderSize - 1, true, rest);
    if (r != IoResult::kOk) {
        return r == IoResult::kTimeout ? IoResult::kProtocolError : r;
    }
    const std::uint16_t type = static_cast<std::uint16_t>(header[0] | header[1] << 8);
    const std::uint32_t length = getU32(header + 4);
    if (type < 1 || type > 4 || header[2] != 0 || header[3] != 0 || length > kMaxPayload) {
        return IoResult::kProtocolError;
    }
    message.type = static_cast<MessageType>(type);
    message.payload.resize(length);
    r = receiveExactly(fd, message.payload.data(), length, true, rest);
    if (r != IoResult::kOk) {
        return r == IoResult::kTimeout ? IoResult::kProtocolError : r;
    }
    return IoResult::kOk;
}

bool parseResponse(const Message& message, Response& response) {
    if (message.payload.size() < kResponseFixedSize) {
        return false;
    }
    response.status = getU32(message.payload.data());
    response.information = getU32(message.payload.data() + 4);
    response.output = std::span<const std::uint8_t>(message.payload).subspan(kResponseFixedSize);
    return true;
}

RequestCheck parseRequest(const Message& message, Request& request) {
    const auto& p = message.payload;
    request = Request{};
    request.type = message.type;
    switch (message.type) {
        case MessageType::kOpen:
        case MessageType::kWrite:
            request.input = p;
            return RequestCheck::kOk;
        case MessageType::kDeviceControl:
            if (p.size() < 8) {
                return RequestCheck::kMalformed;
            }
            request.controlCode = getU32(p.data());
            request.outputLength = getU32(p.data() + 4);
            request.input = std::span<const std::uint8_t>(p).subspan(8);
            break;
        case MessageType::kRead:
            if (p.size() != 4) {
                return RequestCheck::kMalformed;
            }
            request.outputLength = getU32(p.data());
            break;
        default:
            return RequestCheck::kMalformed;
    }
    return request.outputLength > kMaxOutput ? RequestCheck::kTooLarge : RequestCheck::kOk;
}

std::vector<std::uint8_t> makeResponsePayload(std::uint32_t status, std::uint32_t information,
                                              std::span<const std::uint8_t> output) {
    std::vector<std::uint8_t> payload;
    payload.reserve(kResponseFixedSize + output.size());
    putU32(payload, status);
    putU32(payload, information);
    payload.insert(payload.end(), output.begin(), output.end());
    return payload;
}

}  // namespace devio
