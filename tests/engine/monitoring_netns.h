#pragma once
// Tests that change links and routes or open sockets run in a network namespace of
// their own. The test runner provides one; a test started some other way runs
// itself again under `unshare -rn` and passes when that run passes.

#include "net/Netlink.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace netns {

// A fresh namespace holds the loopback link and nothing else.
inline bool inside() {
    auto links = net::netlink::links();
    return links && links->size() == 1 && links->front().name == "lo";
}

inline bool rerunCurrentTest() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return false;
    const std::string command = std::string("timeout 60 unshare -rn '") + self +
                                "' --gtest_filter=" + info->test_suite_name() + "." + info->name() +
                                (std::getenv("BRIMVALE_TEST_VERBOSE") ? "" : " > /dev/null");
    return std::system(command.c_str()) == 0;
}

inline void sh(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A link pair with an address on `name`; `name` is up and running once its peer is up.
inline void addLink(const std::string& name, const std::string& address) {
    sh("ip link add " + name + " type veth peer name " + name + "p");
    sh("ip link set " + name + " up && ip link set " + name + "p up");
    sh("ip addr add " + address + " dev " + name);
}

// The test servers that live beside the integration tests.
inline std::filesystem::path serverScript(const std::string& name) {
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "integration" / "servers" / name;
}

}  // namespace netns

#define RUN_IN_OWN_NETNS()                              \
    if (!netns::inside()) {                             \
        EXPECT_TRUE(netns::rerunCurrentTest());         \
        return;                                         \
    }                                                   \
    netns::sh("ip link set lo up")
