// Feeds arbitrary bytes to the driver host's side of a device handle, as one client's stream:
// the host must never crash, never hand its driver a request it has not checked, and never open
// a handle twice.

#include "platform/devio/DevioProtocol.h"
#include "platform/devio/DevioServer.h"

#include <cstdint>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace {

class CheckingHandler final : public devio::DevioHandler {
public:
    std::uint32_t create(ConnectionId, const std::string& name) override {
        if (m_open || name.size() > devio::kMaxPayload) __builtin_trap();
        m_open = true;
        return name.empty() ? devio::kStatusInvalidParameter : devio::kStatusSuccess;
    }
    devio::Reply deviceControl(ConnectionId, std::uint32_t code,
                               std::span<const std::uint8_t> input,
                               std::uint32_t outputLength) override {
        if (!m_open || outputLength > devio::kMaxOutput || input.size() > devio::kMaxPayload) {
            __builtin_trap();
        }
        return answer(code & 0xFF, outputLength);
    }
    devio::Reply read(ConnectionId, std::uint32_t length) override {
        if (!m_open || length > devio::kMaxOutput) __builtin_trap();
        return answer(length, length);
    }
    devio::Reply write(ConnectionId, std::span<const std::uint8_t> data) override {
        if (!m_open || data.size() > devio::kMaxPayload) __builtin_trap();
        devio::Reply r;
        r.information = static_cast<std::uint32_t>(data.size());
        return r;
    }
    void closeConnection(ConnectionId) override {
        if (!m_open) __builtin_trap();
        m_open = false;
    }

private:
    // Claims `information` bytes but hands over fewer or more, as a careless driver might.
    static devio::Reply answer(std::uint32_t information, std::uint32_t asked) {
        devio::Reply r;
        r.information = information;
        r.output.assign(std::min<std::uint32_t>(asked, 64), 0x5A);
        return r;
    }
    bool m_open = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    // Sized so that the whole input and every answer fit without a reader on the other side.
    const int buffer = 1 << 20;
    ::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    ::setsockopt(fds[1], SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    ::setsockopt(fds[0], SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    if (size > 0 && !devio::sendAll(fds[0], {data, size})) {
        ::close(fds[0]);
        ::close(fds[1]);
        return 0;
    }
    ::shutdown(fds[0], SHUT_WR);
    CheckingHandler handler;
    devio::serveConnection(fds[1], handler, 1, 1000);
    ::close(fds[0]);
    ::close(fds[1]);
    return 0;
}
