#pragma once
// Small rtnetlink reader: links, default routes, the route to one address, and a
// socket that wakes on link, address and route changes.

#include "net/Result.h"

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace net::netlink {

struct Link {
    int index = 0;
    std::string name;
    unsigned flags = 0;  // IFF_* bits
};

struct Route {
    int family = 0;
    int outputInterface = 0;  // 0 when the route names none
    bool hasGateway = false;
    std::uint32_t priority = 0;
    std::uint8_t type = 0;  // RTN_* kind
};

// Every link of the namespace; fails when the kernel could not be asked.
Result<std::vector<Link>> links();
// Default routes (prefix length 0) of the main table, IPv4 and IPv6.
Result<std::vector<Route>> defaultRoutes();
// The route the kernel picks for one address (RTM_GETROUTE); a route of type
// RTN_UNREACHABLE when there is none.
Result<Route> routeTo(const sockaddr& address);

// The descriptor of a non-blocking socket subscribed to link, address and route events.
Result<int> openEventSocket();
// Reads every pending event; true when at least one arrived (or some were lost).
bool drainEvents(int fd);

// The best default route whose interface is up and running, with that interface.
struct DefaultPath {
    Route route;
    Link link;
};
std::optional<DefaultPath> usableDefaultPath(const std::vector<Link>& links,
                                             const std::vector<Route>& routes);

// Links that reach the network over a mobile modem.
bool isWirelessWideArea(const std::string& interfaceName);

}  // namespace net::netlink
