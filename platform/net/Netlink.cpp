#include "net/Netlink.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>

namespace net::netlink {
namespace {

// The descriptor of a bound rtnetlink socket.
Result<int> openSocket(unsigned groups = 0, bool nonBlocking = false) {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), NETLINK_ROUTE);
    if (fd < 0) return Error::system(errno);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const Error error = Error::system(errno);
        ::close(fd);
        return error;
    }
    return fd;
}

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { ::close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Sends one request and hands every answer message to `onMessage` until the
    // dump ends (or the single answer of a non-dump request arrives).
    Result<> transact(nlmsghdr& request, const std::function<void(const nlmsghdr&)>& onMessage) {
        request.nlmsg_seq = ++sequence_;
        if (::send(fd_, &request, request.nlmsg_len, 0) < 0) return Error::system(errno);
        const bool dump = request.nlmsg_flags & NLM_F_DUMP;
        alignas(nlmsghdr) char buffer[32768];
        for (;;) {
            ssize_t length = ::recv(fd_, buffer, sizeof buffer, 0);
            if (length < 0) {
                if (errno == EINTR) continue;
                return Error::system(errno);
            }
            auto remaining = static_cast<unsigned>(length);
            for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(message, remaining);
                 message = NLMSG_NEXT(message, remaining)) {
                if (message->nlmsg_seq != sequence_) continue;
                if (message->nlmsg_type == NLMSG_DONE) return {};
                if (message->nlmsg_type == NLMSG_ERROR) {
                    auto* error = static_cast<nlmsgerr*>(NLMSG_DATA(message));
                    if (error->error == 0) return {};
                    return Error::system(-error->error);
                }
                onMessage(*message);
                if (!dump) return {};
            }
        }
    }

private:
    const int fd_;
    std::uint32_t sequence_ = 0;
};

template <typename Payload>
struct Request {
    nlmsghdr header;
    Payload payload;
    alignas(NLMSG_ALIGNTO) char attributes[64];
};

Route readRoute(const nlmsghdr& message) {
    auto* body = static_cast<const rtmsg*>(NLMSG_DATA(&message));
    Route route;
    route.family = body->rtm_family;
    route.type = body->rtm_type;
    unsigned length = RTM_PAYLOAD(&message);
    for (auto* attribute = RTM_RTA(body); RTA_OK(attribute, length);
         attribute = RTA_NEXT(attribute, length)) {
        switch (attribute->rta_type) {
        case RTA_OIF: std::memcpy(&route.outputInterface, RTA_DATA(attribute), sizeof(int)); break;
        case RTA_GATEWAY:
        case RTA_VIA: route.hasGateway = true; break;
        case RTA_PRIORITY: std::memcpy(&route.priority, RTA_DATA(attribute), 4); break;
        case RTA_MULTIPATH: route.hasGateway = true; break;
        default: break;
        }
    }
    return route;
}

}  // namespace

Result<std::vector<Link>> links() {
    auto fd = openSocket();
    if (!fd) return fd.error();
    Socket socket(*fd);
    Request<ifinfomsg> request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.payload.ifi_family = AF_UNSPEC;
    std::vector<Link> result;
    auto asked = socket.transact(request.header, [&](const nlmsghdr& message) {
        if (message.nlmsg_type != RTM_NEWLINK) return;
        auto* body = static_cast<const ifinfomsg*>(NLMSG_DATA(&message));
        Link link{body->ifi_index, {}, body->ifi_flags};
        unsigned length = IFLA_PAYLOAD(&message);
        for (auto* attribute = IFLA_RTA(body); RTA_OK(attribute, length);
             attribute = RTA_NEXT(attribute, length)) {
            if (attribute->rta_type == IFLA_IFNAME)
                link.name = static_cast<const char*>(RTA_DATA(attribute));
        }
        result.push_back(std::move(link));
    });
    if (!asked) return asked.error();
    return result;
}

Result<std::vector<Route>> defaultRoutes() {
    auto fd = openSocket();
    if (!fd) return fd.error();
    Socket socket(*fd);
    std::vector<Route> result;
    for (int family : {AF_INET, AF_INET6}) {
        Request<rtmsg> request{};
        request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
        request.header.nlmsg_type = RTM_GETROUTE;
        request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        request.payload.rtm_family = static_cast<unsigned char>(family);
        auto asked = socket.transact(request.header, [&](const nlmsghdr& message) {
            if (message.nlmsg_type != RTM_NEWROUTE) return;
            auto* body = static_cast<const rtmsg*>(NLMSG_DATA(&message));
            if (body->rtm_dst_len != 0 || body->rtm_table != RT_TABLE_MAIN) return;
            result.push_back(readRoute(message));
        });
        if (!asked) return asked.error();
    }
    return result;
}

Result<Route> routeTo(const sockaddr& address) {
    auto fd = openSocket();
    if (!fd) return fd.error();
    Socket socket(*fd);
    Request<rtmsg> request{};
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    auto* attribute = reinterpret_cast<rtattr*>(request.attributes);
    attribute->rta_type = RTA_DST;
    if (address.sa_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        attribute->rta_len = RTA_LENGTH(sizeof in.sin_addr);
        std::memcpy(RTA_DATA(attribute), &in.sin_addr, sizeof in.sin_addr);
        request.payload.rtm_dst_len = 32;
    } else if (address.sa_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        attribute->rta_len = RTA_LENGTH(sizeof in6.sin6_addr);
        std::memcpy(RTA_DATA(attribute), &in6.sin6_addr, sizeof in6.sin6_addr);
        request.payload.rtm_dst_len = 128;
    } else {
        return Error::system(EAFNOSUPPORT);
    }
    request.payload.rtm_family = static_cast<unsigned char>(address.sa_family);
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg)) + RTA_ALIGN(attribute->rta_len);
    std::optional<Route> route;
    auto asked = socket.transact(request.header, [&](const nlmsghdr& message) {
        if (message.nlmsg_type == RTM_NEWROUTE) route = readRoute(message);
    });
    if (!asked) {
        // No route at all is an answer, not a failure of the question.
        const int code = asked.error().code;
        if (code == ENETUNREACH || code == EHOSTUNREACH || code == EACCES) {
            Route none;
            none.family = address.sa_family;
            none.type = RTN_UNREACHABLE;
            return none;
        }
        return asked.error();
    }
    // An answer that names no route fails without saying why.
    if (!route) return Error::system(EIO);
    return *route;
}

Result<int> openEventSocket() {
    return openSocket(RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE,
                      true);
}

bool drainEvents(int fd) {
    bool any = false;
    char buffer[8192];
    for (;;) {
        ssize_t length = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (length > 0) {
            any = true;
        } else if (length < 0 && errno == EINTR) {
            continue;
        } else {
            // ENOBUFS: the kernel dropped events; the state must be read again anyway.
            if (length < 0 && errno == ENOBUFS) any = true;
            return any;
        }
    }
}

std::optional<DefaultPath> usableDefaultPath(const std::vector<Link>& links,
                                             const std::vector<Route>& routes) {
    std::optional<DefaultPath> best;
    for (const auto& route : routes) {
        if (route.type != RTN_UNICAST || route.outputInterface == 0) continue;
        for (const auto& link : links) {
            if (link.index != route.outputInterface) continue;
            if ((link.flags & (IFF_UP | IFF_RUNNING)) != (IFF_UP | IFF_RUNNING)) break;
            // IPv4 routes come first, so an IPv6 route wins only with a lower metric.
            if (!best || route.priority < best->route.priority) best = DefaultPath{route, link};
            break;
        }
    }
    return best;
}

bool isWirelessWideArea(const std::string& name) {
    for (const char* prefix : {"wwan", "ppp", "rmnet"}) {
        if (name.rfind(prefix, 0) == 0) return true;
    }
    std::ifstream uevent("/sys/class/net/" + name + "/uevent");
    std::string line;
    while (std::getline(uevent, line)) {
        if (line == "DEVTYPE=wwan") return true;
    }
    return false;
}

}  // namespace net::netlink
