// Reachability and the device address against the kernel's own tables, each test in
// a network namespace of its own (the test runs itself again under `unshare -rn`).

#include "InterfaceAddress.h"
#include "Reachability.h"

#include "dispatch/Dispatch.h"
#include "MonitoringTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <vector>
#include <string>

using namespace std::chrono_literals;
namespace flag = net::reachability;

using netns::addLink;
using netns::sh;

TEST(ReachabilityNetlink, DefaultRouteDecidesReachability) {
    RUN_IN_OWN_NETNS();
    net::ReachabilityFlags flags = 0;
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
    ASSERT_TRUE(target->getFlags(flags));
    EXPECT_EQ(flags, flag::reachable | flag::isDirect | flag::isWWAN);

    // A link that is not running does not count (its carrier goes a moment later).
    sh("ip link set wwan0p down");
    EXPECT_TRUE(dispatch::runMainUntil([&] { return target->getFlags(flags) && flags == 0; }, 2s));
}

TEST(ReachabilityNetlink, AddressTargets) {
    RUN_IN_OWN_NETNS();
    addLink("eth0", "10.1.0.2/24");
    auto at = [](const char* text) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, text, &address.sin_addr);
        net::ReachabilityFlags flags = 0;
        EXPECT_TRUE(net::makeReachabilityWithAddress(reinterpret_cast<const sockaddr&>(address))->getFlags(flags));
        return flags;
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

TEST(InterfaceAddress, DefaultRouteInterfaceAndItsLastAddress) {
    RUN_IN_OWN_NETNS();
    // The main queue notices each change; the answer is cached in between.
    auto address = [] {
        dispatch::drainMain();
        return localInterfaceAddress();
    };
    sh("sysctl -qw net.ipv6.conf.default.disable_ipv6=1");
    EXPECT_EQ(address(), "");
    addLink("eth0", "10.1.0.2/24");
    addLink("eth1", "10.3.0.2/24");
    sh("ip route add default via 10.1.0.1 dev eth0");
    EXPECT_EQ(address(), "10.1.0.2");
    sh("ip route replace default via 10.3.0.1 dev eth1");
    EXPECT_EQ(address(), "10.3.0.2");
    sh("ip addr add 10.3.0.3/24 dev eth1");
    EXPECT_EQ(address(), "10.3.0.3");
    // IPv6 addresses follow the IPv4 ones in the list, so one wins when present.
    sh("sysctl -qw net.ipv6.conf.eth1.disable_ipv6=0 && ip -6 addr flush dev eth1 && "
       "ip addr add fd00::2/64 dev eth1 nodad");
    EXPECT_EQ(address(), "fd00::2");
    // Questions do not read the interfaces: until the main queue notices a change,
    // the answer stays what it was.
    sh("ip -6 addr flush dev eth1");
    EXPECT_EQ(localInterfaceAddress(), "fd00::2");
    EXPECT_EQ(address(), "10.3.0.3");
}
