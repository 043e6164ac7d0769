#include "InterfaceAddress.h"

#include "net/Netlink.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cstdio>
#include <mutex>
#include <optional>

namespace {

socklen_t addressLength(const sockaddr& address) {
    return address.sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
}

std::string readInterfaceAddress() {
    auto links = net::netlink::links();
    auto routes = net::netlink::defaultRoutes();
    if (!links || !routes) return "";
    auto path = net::netlink::usableDefaultPath(*links, *routes);
    if (!path) return "";
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return "";
    std::string address = interfaceAddressIn(list, path->link.name);
    ::freeifaddrs(list);
    return address;
}

class AddressCache {
public:
    AddressCache() : events_(net::netlink::openEventSocket()) {}

    std::string address() {
        std::lock_guard lock(mutex_);
        // Without an event socket every question reads the interfaces again.
        if (events_ < 0) return readInterfaceAddress();
        // Events are drained before reading, so one that races the read is seen
        // by the next question.
        if (net::netlink::drainEvents(events_) || !cached_) cached_ = readInterfaceAddress();
        return *cached_;
    }

private:
    std::mutex mutex_;
    int events_;
    std::optional<std::string> cached_;
};

}  // namespace

std::string interfaceAddressIn(const ifaddrs* list, const std::string& interfaceName) {
    std::string result;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        // Entries without an address have no family to go by.
        if (!entry->ifa_addr) continue;
        const int family = entry->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) continue;
        if (!entry->ifa_name) break;
        if (interfaceName != entry->ifa_name) continue;
        char host[NI_MAXHOST] = {};
        if (::getnameinfo(entry->ifa_addr, addressLength(*entry->ifa_addr), host, sizeof host, nullptr, 0,
                          NI_NUMERICHOST) != 0) {
            host[0] = '\0';
        }
        result = host;
        std::printf("%s\n", host);
    }
    return result;
}

std::string localInterfaceAddress() {
    static AddressCache cache;
    return cache.address();
}
