// virtualcan_hub: serves Qt's virtual CAN bus (the Qt Serial Bus plugin "virtualcan") on the
// loopback interface, checking every line before passing it on, and puts frames on such a bus
// from the command line. Qt's own server passes any line on, and one without its two '#' crashes
// every member that receives it; this one passes on only frames the plugin can take.

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char kUsage[] =
    "Usage: virtualcan_hub [INTERFACE]\n"
    "       virtualcan_hub --send INTERFACE FRAME...\n"
    "Serves Qt's virtual CAN bus (the Qt Serial Bus plugin \"virtualcan\") on the loopback\n"
    "interface until SIGINT or SIGTERM. Members join it with the interface name INTERFACE:\n"
    "\"can0\" (port 35468, the default) or \"tcp://127.0.0.1:PORT/can0\"; every channel of the\n"
    "port is served. Each frame a member sends reaches the other members on its channel. Lines\n"
    "that are not well-formed frames are dropped, and a member that sends a line longer than\n"
    "any frame is disconnected, so one bad member cannot crash the others.\n"
    "\n"
    "The bus has no authentication: any local process can join it and put frames on it. It is\n"
    "a test bus.\n"
    "\n"
    "  --send INTERFACE FRAME...  joins the bus, sends the frames in order and leaves. FRAME\n"
    "                        is ID#DATA: a hexadecimal identifier (more than three digits, or\n"
    "                        above 7FF, is an extended one) and up to eight data bytes in\n"
    "                        hexadecimal, e.g. 123#DEADBEEF or 18FF1021#01.02; ID#R or\n"
    "                        ID#R<length> is a remote frame\n"
    "  --help                this text\n";

constexpr int kDefaultPort = 35468;
constexpr std::size_t kMaxLine = 256;          // a frame line of 64 bytes fits well within
constexpr std::size_t kMaxPending = 1u << 20;  // bytes waiting for a slow member
constexpr std::size_t kMaxMembers = 64;
constexpr std::size_t kMaxChannels = 16;  // per member
constexpr int kLoggedDrops = 20;

struct Interface {
    int port = kDefaultPort;
    std::string channel = "can0";
};

// "canN" or "tcp://127.0.0.1:PORT/canN" (localhost too): the loopback interface only.
bool parseInterface(std::string_view text, Interface& out) {
    constexpr std::string_view kTcp = "tcp://";
    if (text.substr(0, kTcp.size()) != kTcp) {
        out.channel = std::string(text);
        return !text.empty() && text.find_first_of(":/") == std::string_view::npos;
    }
    text.remove_prefix(kTcp.size());
    const auto colon = text.find(':');
    const auto slash = text.find('/');
    if (colon == std::string_view::npos || slash == std::string_view::npos || slash < colon) {
        return false;
    }
    const std::string_view host = text.substr(0, colon);
    if (host != "127.0.0.1" && host != "localhost") {
        return false;
    }
    const std::string port(text.substr(colon + 1, slash - colon - 1));
    char* end = nullptr;
    const long p = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || p < 1 || p > 65535) {
        return false;
    }
    out.port = static_cast<int>(p);
    out.channel = std::string(text.substr(slash + 1));
    return !out.channel.empty();
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isHex(char c) {
    return hexValue(c) >= 0;
}

bool validChannel(std::string_view name) {
    if (name.empty() || name.size() > 32) return false;
    for (char c : name) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                        (c >= 'A' && c <= 'Z') || c == '_' || c == '-' || c == '.';
        if (!ok) return false;
    }
    return true;
}

// "ID#FLAGS#DATA" as the plugin writes it: a decimal identifier, flags out of X (extended),
// R (remote), F (flexible data rate), B (bit rate switch), E (error state), L (local echo), and
// the data bytes in hexadecimal. Null when it is one, else why not.
const char* frameFault(std::string_view frame) {
    const auto first = frame.find('#');
    const auto second = first == std::string_view::npos ? first : frame.find('#', first + 1);
    if (second == std::string_view::npos || frame.find('#', second + 1) != std::string_view::npos) {
        return "not ID#FLAGS#DATA";
    }
    const std::string_view id = frame.substr(0, first);
    const std::string_view flags = frame.substr(first + 1, second - first - 1);
    const std::string_view data = frame.substr(second + 1);
    if (id.empty() || id.size() > 10) return "no identifier";
    std::uint64_t value = 0;
    for (char c : id) {
        if (c < '0' || c > '9') return "the identifier is no decimal number";
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    std::string seen;
    for (char c : flags) {
        if (std::strchr("XRFBEL", c) == nullptr || seen.find(c) != std::string::npos) {
            return "unknown or repeated flag";
        }
        seen += c;
    }
    const bool extended = seen.find('X') != std::string::npos;
    if (value > (extended ? 0x1FFFFFFFu : 0x7FFu)) return "identifier out of range";
    if (data.size() % 2 != 0) return "odd number of data digits";
    for (char c : data) {
        if (!isHex(c)) return "data is not hexadecimal";
    }
    const bool fd = seen.find('F') != std::string::npos;
    if (data.size() / 2 > (fd ? 64u : 8u)) return "too many data bytes";
    return nullptr;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::strchr(" \t\r", s.front()) != nullptr) s.remove_prefix(1);
    while (!s.empty() && std::strchr(" \t\r", s.back()) != nullptr) s.remove_suffix(1);
    return s;
}

struct Member {
    int fd = -1;
    std::string in;
    std::string out;
    std::set<std::string> channels;
    bool gone = false;
};

class Hub {
public:
    explicit Hub(int listener) : m_listener(listener) {}

    int run() {
        for (;;) {
            std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
            for (const Member& m : m_members) {
                fds.push_back(
                    {m.fd, static_cast<short>(POLLIN | (m.out.empty() ? 0 : POLLOUT)), 0});
            }
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                std::perror("virtualcan_hub: poll");
                return 1;
            }
            for (std::size_t i = 1; i < fds.size(); ++i) {
                Member& m = m_members[i - 1];
                if (!m.gone && (fds[i].revents & POLLOUT) != 0) flush(m);
                if (!m.gone && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) receive(m);
            }
            std::erase_if(m_members, [](const Member& m) {
                if (m.gone) ::close(m.fd);
                return m.gone;
            });
            if ((fds[0].revents & POLLIN) != 0) accept();
        }
    }

private:
    void accept() {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (m_members.size() >= kMaxMembers) {
            drop("a member too many");
            ::close(fd);
            return;
        }
        m_members.push_back({fd, {}, {}, {}, false});
    }

    void receive(Member& m) {
        char buffer[65536];
        const ssize_t n = ::recv(m.fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
            m.gone = true;
            return;
        }
        m.in.append(buffer, static_cast<std::size_t>(n));
        std::size_t begin = 0;
        for (std::size_t end; (end = m.in.find('\n', begin)) != std::string::npos;
             begin = end + 1) {
            if (end - begin > kMaxLine) {
                drop("a line longer than any frame");
                continue;
            }
            handle(m, trimmed(std::string_view(m.in).substr(begin, end - begin)));
        }
        m.in.erase(0, begin);
        if (m.in.size() > kMaxLine) {
            // A peer that never ends its line would make us hold it without bound.
            drop("a line longer than any frame; member disconnected");
            m.gone = true;
        }
    }

    void handle(Member& from, std::string_view line) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            drop("no channel");
            return;
        }
        const std::string_view head = line.substr(0, colon);
        const std::string_view rest = line.substr(colon + 1);
        if (head == "connect" || head == "disconnect") {
            std::vector<std::string> names;
            for (std::size_t at = 0; at <= rest.size();) {
                const auto comma = std::min(rest.find(',', at), rest.size());
                names.emplace_back(rest.substr(at, comma - at));
                if (!validChannel(names.back())) {
                    drop("bad channel name");
                    return;
                }
                at = comma + 1;
            }
            for (const std::string& name : names) {
                if (head == "disconnect") {
                    from.channels.erase(name);
                } else if (from.channels.size() < kMaxChannels) {
                    from.channels.insert(name);
                }
            }
            return;
        }
        if (!validChannel(head)) {
            drop("bad channel name");
            return;
        }
        if (const char* fault = frameFault(rest)) {
            drop(fault);
            return;
        }
        const std::string channel(head);
        for (Member& to : m_members) {
            if (&to == &from || to.gone || to.channels.count(channel) == 0) continue;
            if (to.out.size() > kMaxPending) {
                drop("a member that does not read");
                continue;
            }
            to.out.append(rest);
            to.out += '\n';
            flush(to);
        }
    }

    void flush(Member& m) {
        while (!m.out.empty()) {
            const ssize_t n = ::send(m.fd, m.out.data(), m.out.size(), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno != EAGAIN && errno != EINTR) m.gone = true;
                return;
            }
            m.out.erase(0, static_cast<std::size_t>(n));
        }
    }

    void drop(const char* why) {
        if (++m_drops <= kLoggedDrops) {
            std::fprintf(stderr, "virtualcan_hub: dropped: %s%s\n", why,
                         m_drops == kLoggedDrops ? " (further drops are not shown)" : "");
        }
    }

    int m_listener;
    std::vector<Member> m_members;
    int m_drops = 0;
};

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int serve(const Interface& where) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in a = loopback(where.port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
        std::fprintf(stderr, "virtualcan_hub: cannot serve 127.0.0.1:%d: %s\n", where.port,
                     std::strerror(errno));
        return 1;
    }
    return Hub(fd).run();
}

// cansend's notation "123#DEADBEEF", "18FF1021#01.02", "7FF#R3" as the plugin's line.
bool frameLine(std::string_view text, const std::string& channel, std::string& line) {
    const auto hash = text.find('#');
    if (hash == std::string_view::npos || hash == 0 || hash > 8) return false;
    std::uint32_t id = 0;
    for (char c : text.substr(0, hash)) {
        if (!isHex(c)) return false;
        id = id << 4 | static_cast<std::uint32_t>(hexValue(c));
    }
    const bool extended = hash > 3 || id > 0x7FF;
    if (id > 0x1FFFFFFF) return false;
    std::string_view data = text.substr(hash + 1);
    std::string flags = extended ? "X" : "";
    std::string hex;
    if (!data.empty() && (data[0] == 'R' || data[0] == 'r')) {
        flags += 'R';
        const std::string_view length = data.substr(1);
        if (length.size() > 1 || (length.size() == 1 && (length[0] < '0' || length[0] > '8'))) {
            return false;
        }
        hex.assign(length.empty() ? 0 : static_cast<std::size_t>(2 * (length[0] - '0')), '0');
    } else {
        for (char c : data) {
            if (c == '.') continue;
            if (!isHex(c)) return false;
            hex += static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
        }
        if (hex.size() % 2 != 0 || hex.size() > 16) return false;
    }
    line = channel + ":" + std::to_string(id) + "#" + flags + "#" + hex + "\n";
    return true;
}

int send(const Interface& where, int count, char** frames) {
    std::string lines;
    for (int i = 0; i < count; ++i) {
        std::string line;
        if (!frameLine(frames[i], where.channel, line)) {
            std::fprintf(stderr, "virtualcan_hub: not a frame: %s (see --help)\n", frames[i]);
            return 2;
        }
        lines += line;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = loopback(where.port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        std::fprintf(stderr, "virtualcan_hub: no virtual bus on 127.0.0.1:%d: %s\n", where.port,
                     std::strerror(errno));
        return 1;
    }
    for (std::size_t at = 0; at < lines.size();) {
        const ssize_t n = ::send(fd, lines.data() + at, lines.size() - at, MSG_NOSIGNAL);
        if (n <= 0) {
            std::fprintf(stderr, "virtualcan_hub: the bus went away: %s\n", std::strerror(errno));
            return 1;
        }
        at += static_cast<std::size_t>(n);
    }
    // Leaves once the server has taken everything (it closes when it has read our end).
    ::shutdown(fd, SHUT_WR);
    pollfd p{fd, POLLIN, 0};
    char sink[256];
    while (::poll(&p, 1, 1000) > 0 && ::recv(fd, sink, sizeof sink, 0) > 0) {
    }
    ::close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Interface where;
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--send") == 0) {
        if (!parseInterface(argv[2], where)) {
            std::fprintf(stderr, "virtualcan_hub: bad interface %s (see --help)\n", argv[2]);
            return 2;
        }
        return send(where, argc - 3, argv + 3);
    }
    if (argc > 2 || (argc == 2 && (argv[1][0] == '-' || !parseInterface(argv[1], where)))) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return serve(where);
}
