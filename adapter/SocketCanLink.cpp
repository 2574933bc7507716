#include "adapter/SocketCanLink.h"

#include <cstring>
#include <vector>

#include <linux/can/netlink.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// The attributes of one level of a netlink message, each checked against what is there.
template <class F>
void eachAttribute(const std::uint8_t* at, std::size_t size, F f) {
    while (size >= sizeof(rtattr)) {
        rtattr a;
        std::memcpy(&a, at, sizeof a);
        if (a.rta_len < sizeof(rtattr) || a.rta_len > size) return;
        f(a.rta_type & NLA_TYPE_MASK, at + RTA_LENGTH(0), a.rta_len - RTA_LENGTH(0));
        const std::size_t step = RTA_ALIGN(a.rta_len);
        if (step >= size) return;
        at += step;
        size -= step;
    }
}

void readCanData(const std::uint8_t* at, std::size_t size, SocketCanLink& link) {
    eachAttribute(at, size, [&](unsigned type, const std::uint8_t* p, std::size_t n) {
        if (type == IFLA_CAN_BITTIMING && n >= sizeof(can_bittiming)) {
            can_bittiming timing;
            std::memcpy(&timing, p, sizeof timing);
            if (timing.bitrate != 0) link.bitRate = timing.bitrate;
        } else if (type == IFLA_CAN_CTRLMODE && n >= sizeof(can_ctrlmode)) {
            can_ctrlmode mode;
            std::memcpy(&mode, p, sizeof mode);
            link.listenOnly = (mode.flags & CAN_CTRLMODE_LISTENONLY) != 0;
        }
    });
}

}  // namespace

SocketCanLink SocketCanLink::query(const std::string& interface) {
    SocketCanLink link;
    const unsigned index = ::if_nametoindex(interface.c_str());
    if (index == 0) return link;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return link;
    timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    struct {
        nlmsghdr header;
        ifinfomsg info;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = 1;
    request.info.ifi_family = AF_UNSPEC;
    request.info.ifi_index = static_cast<int>(index);
    std::vector<std::uint8_t> reply(16384);
    ssize_t got = -1;
    if (::send(fd, &request, sizeof request, 0) == static_cast<ssize_t>(sizeof request)) {
        got = ::recv(fd, reply.data(), reply.size(), 0);
    }
    ::close(fd);
    if (got < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(ifinfomsg)))) return link;
    nlmsghdr header;
    std::memcpy(&header, reply.data(), sizeof header);
    if (header.nlmsg_type != RTM_NEWLINK || header.nlmsg_len > static_cast<std::size_t>(got) ||
        header.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) {
        return link;
    }
    ifinfomsg info;
    std::memcpy(&info, reply.data() + NLMSG_LENGTH(0), sizeof info);
    link.exists = true;
    link.up = (info.ifi_flags & IFF_UP) != 0;
    const std::size_t offset = NLMSG_LENGTH(sizeof(ifinfomsg));
    eachAttribute(reply.data() + offset, header.nlmsg_len - offset,
                  [&](unsigned type, const std::uint8_t* p, std::size_t n) {
                      if (type != IFLA_LINKINFO) return;
                      std::string kind;
                      const std::uint8_t* data = nullptr;
                      std::size_t dataSize = 0;
                      eachAttribute(p, n, [&](unsigned t, const std::uint8_t* q, std::size_t m) {
                          if (t == IFLA_INFO_KIND) {
                              kind.assign(reinterpret_cast<const char*>(q),
                                          strnlen(reinterpret_cast<const char*>(q), m));
                          } else if (t == IFLA_INFO_DATA) {
                              data = q;
                              dataSize = m;
                          }
                      });
                      // Only a CAN controller's data carries bit timing; vcan has none.
                      if (kind == "can" && data != nullptr) readCanData(data, dataSize, link);
                  });
    return link;
}
