// Reachability and the device address against the kernel's own tables, each test in
// a network namespace of its own (the test runs itself again under `unshare -rn`).

#include "InterfaceAddress.h"
#include "Reachability.h"

#include "dispatch/Dispatch.h"
#include "MonitoringTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <vector>

using namespace std::chrono_literals;
namespace flag = net::reachability;

using netns::addLink;
using netns::sh;

TEST(ReachabilityNetlink, DefaultRouteDecidesReachability) {
    RUN_IN_OWN_NETNS();
    auto watch = Reachability::make();
    EXPECT_EQ(watch->connection(), Reachability::Connection::unavailable);

    addLink("eth0", "10.1.0.2/24");
    sh("ip route add default via 10.1.0.1 dev eth0");
    auto fresh = Reachability::make();
    EXPECT_EQ(fresh->connection(), Reachability::Connection::wifi);
    ASSERT_TRUE(fresh->flags());
    EXPECT_EQ(*fresh->flags(), flag::reachable);

    // A route without a gateway is direct; a modem link is wide-area.
    sockaddr_in any{};
    any.sin_family = AF_INET;
    auto target = net::makeReachabilityWithAddress(reinterpret_cast<const sockaddr&>(any));
    addLink("wwan0", "10.2.0.2/24");
    sh("ip route replace default dev wwan0");
    auto read = (*target)->getFlags();
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, flag::reachable | flag::isDirect | flag::isWWAN);

    // A link that is not running does not count (its carrier goes a moment later).
    sh("ip link set wwan0p down");
    EXPECT_TRUE(dispatch::runMainUntil(
        [&] {
            read = (*target)->getFlags();
            return read && *read == 0;
        },
        2s));
}

TEST(ReachabilityNetlink, AddressTargets) {
    RUN_IN_OWN_NETNS();
    addLink("eth0", "10.1.0.2/24");
    auto at = [](const char* text) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, text, &address.sin_addr);
        auto flags = (*net::makeReachabilityWithAddress(reinterpret_cast<const sockaddr&>(address)))->getFlags();
        EXPECT_TRUE(flags);
        return flags ? *flags : 0;
    };
    EXPECT_EQ(at("10.1.0.2"), flag::reachable | flag::isLocalAddress | flag::isDirect);
    EXPECT_EQ(at("10.1.0.9"), flag::reachable | flag::isDirect);
    EXPECT_EQ(at("192.0.2.1"), 0u);
    EXPECT_EQ(Reachability::makeWithHostname("localhost")->connection(), Reachability::Connection::wifi);
}

TEST(ReachabilityNetlink, RouteChangesReachTheWatch) {
    RUN_IN_OWN_NETNS();
    addLink("eth0", "10.1.0.2/24");
    auto watch = Reachability::make(&dispatch::DispatchQueue::main());
    std::vector<std::string> events;  // touched on the main queue only
    watch->setWhenReachable([&](Reachability& w) { events.push_back(w.description()); });
    watch->setWhenUnreachable([&](Reachability&) { events.push_back("unreachable"); });
    watch->startNotifier();
    auto seen = [&](std::size_t n) { return dispatch::runMainUntil([&] { return events.size() >= n; }, 5s); };
    ASSERT_TRUE(seen(1));

    sh("ip route add default via 10.1.0.1 dev eth0");
    ASSERT_TRUE(seen(2));
    sh("ip route del default");
    ASSERT_TRUE(seen(3));
    EXPECT_EQ(events, (std::vector<std::string>{"unreachable", "-R -------", "unreachable"}));
}

// rtnetlink sockets of this namespace that listen to change events.
int routeEventSubscriptions() {
    std::ifstream table("/proc/self/net/netlink");
    std::string header, socket, family, port, groups, rest;
    std::getline(table, header);
    int count = 0;
    while (table >> socket >> family >> port >> groups && std::getline(table, rest))
        count += family == "0" && groups != "00000000";
    return count;
}

TEST(ReachabilityNetlink, OneSubscriptionToChangesForTheWholeProcess) {
    RUN_IN_OWN_NETNS();
    auto first = Reachability::make(&dispatch::DispatchQueue::main());
    auto second = Reachability::make(&dispatch::DispatchQueue::main());
    first->startNotifier();
    second->startNotifier();
    localInterfaceAddress();
    EXPECT_EQ(routeEventSubscriptions(), 1);
}

TEST(InterfaceAddress, DefaultRouteInterfaceAndItsLastAddress) {
    RUN_IN_OWN_NETNS();
    // Each change reaches the cache a moment after it is made.
    auto becomes = [](const std::string& expected) {
        return dispatch::runMainUntil([&] { return localInterfaceAddress() == expected; }, 2s);
    };
    sh("sysctl -qw net.ipv6.conf.default.disable_ipv6=1");
    EXPECT_EQ(localInterfaceAddress(), "");
    addLink("eth0", "10.1.0.2/24");
    addLink("eth1", "10.3.0.2/24");
    sh("ip route add default via 10.1.0.1 dev eth0");
    EXPECT_TRUE(becomes("10.1.0.2"));
    sh("ip route replace default via 10.3.0.1 dev eth1");
    EXPECT_TRUE(becomes("10.3.0.2"));
    sh("ip addr add 10.3.0.3/24 dev eth1");
    EXPECT_TRUE(becomes("10.3.0.3"));
    // IPv6 addresses follow the IPv4 ones in the list, so one wins when present.
    sh("sysctl -qw net.ipv6.conf.eth1.disable_ipv6=0 && ip -6 addr flush dev eth1 && "
       "ip addr add fd00::2/64 dev eth1 nodad");
    EXPECT_TRUE(becomes("fd00::2"));
    sh("ip -6 addr flush dev eth1");
    EXPECT_TRUE(becomes("10.3.0.3"));
}

TEST(InterfaceAddress, AReachabilityEventNeverFindsTheAddressFromBeforeItsChange) {
    RUN_IN_OWN_NETNS();
    sh("sysctl -qw net.ipv6.conf.default.disable_ipv6=1");
    addLink("eth0", "10.1.0.2/24");
    EXPECT_EQ(localInterfaceAddress(), "");  // no default route yet, and now cached
    // Callbacks on the watch's own queue, with the main queue never running: the
    // address they ask for must not wait for anyone else to notice the change.
    auto watch = Reachability::make();
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> seen;
    watch->setWhenReachable([&](Reachability&) {
        const auto address = localInterfaceAddress();
        std::lock_guard lock(mutex);
        seen.push_back(address);
        changed.notify_all();
    });
    watch->startNotifier();
    sh("ip route add default via 10.1.0.1 dev eth0");
    {
        std::unique_lock lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, 5s, [&] { return !seen.empty(); }));
        EXPECT_EQ(seen, std::vector<std::string>{"10.1.0.2"});
    }
    // The watch's queue finishes its work before the watch goes, as the main queue,
    // which would otherwise end that queue, never runs here.
    watch->stopNotifier();
    std::promise<void> idle;
    watch->serialQueue().async([&idle] { idle.set_value(); });
    idle.get_future().wait();
}
