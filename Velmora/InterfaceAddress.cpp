#include "InterfaceAddress.h"

#include "dispatch/Dispatch.h"
#include "net/Netlink.h"

#include <asio/posix/stream_descriptor.hpp>

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

// The address, read once and again after each link, address or route change: the
// change events are read on the main queue's loop as they come, so a question costs
// no system call.
class AddressCache {
public:
    AddressCache() : events_(dispatch::DispatchQueue::main().context()) {
        const int fd = net::netlink::openEventSocket();
        if (fd >= 0) {
            events_.assign(fd);
            watch();
        }
    }

    std::string address() {
        std::lock_guard lock(mutex_);
        // Without an event socket every question reads the interfaces again.
        if (!events_.is_open()) return readInterfaceAddress();
        if (!cached_) cached_ = readInterfaceAddress();
        return *cached_;
    }

private:
    void watch() {
        events_.async_wait(asio::posix::stream_descriptor::wait_read, [this](const std::error_code& error) {
            if (error) return;
            // Cleared before the events are read, so a change that races the next
            // reading of the address is seen by the question after it.
            {
                std::lock_guard lock(mutex_);
                cached_.reset();
            }
            net::netlink::drainEvents(events_.native_handle());
            watch();
        });
    }

    std::mutex mutex_;
    asio::posix::stream_descriptor events_;
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
    // Never destroyed: its watch belongs to the main queue's loop.
    static AddressCache* cache = new AddressCache;
    return cache->address();
}
