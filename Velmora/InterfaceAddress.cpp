#include "InterfaceAddress.h"

#include "net/Netlink.h"
#include "net/NetworkReachability.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cstdint>
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
    // Read again when the process's count of network changes has moved. The count is
    // taken before the reading, so a change during it is seen by the next question;
    // and it grows before the reachability watch tells of a change, so the address
    // asked for after such an event is never the one from before it.
    struct Cache {
        std::mutex mutex;
        std::optional<std::uint64_t> readAt;
        std::string address;
    };
    static Cache& cache = *new Cache;  // never destroyed, as the change count's thread
    const auto changes = net::networkChangeCount();
    if (!changes) return readInterfaceAddress();
    std::lock_guard lock(cache.mutex);
    if (cache.readAt != changes) {
        cache.address = readInterfaceAddress();
        cache.readAt = changes;
    }
    return cache.address;
}
