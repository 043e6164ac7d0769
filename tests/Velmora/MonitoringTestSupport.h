#pragma once
// Tests that change links and routes or open sockets run in a network namespace of
// their own. The test runner provides one; a test started some other way runs
// itself again under `unshare -rn` and passes when that run passes.

#include "net/Netlink.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// A link pair with an address on `name`, up and running.
inline void addLink(const std::string& name, const std::string& address) {
    sh("ip link add " + name + " type veth peer name " + name + "p");
    sh("ip link set " + name + " up && ip link set " + name + "p up");
    sh("ip addr add " + address + " dev " + name);
    // The carrier comes up a moment later.
    sh("for i in $(seq 100); do ip link show " + name + " | grep -q 'state UP' && exit 0; sleep 0.02; done; exit 1");
}

// Starts one of the test servers that live beside the integration tests, with its
// arguments, and waits until it accepts connections on 127.0.0.1:`port`; its pid.
inline int startServer(const std::string& script, const std::string& arguments, int port,
                       const std::filesystem::path& pidFile) {
    const auto path = std::filesystem::path(__FILE__).parent_path().parent_path() / "integration" / "servers" / script;
    const std::string wait = "python3 -c 'import socket; socket.create_connection((\"127.0.0.1\", " +
                             std::to_string(port) + "))' 2>/dev/null";
    sh("python3 " + path.string() + " " + arguments + " & echo $! > " + pidFile.string() +
       "; for i in $(seq 50); do " + wait + " && exit 0; sleep 0.1; done; exit 1");
    int pid = 0;
    std::ifstream(pidFile) >> pid;
    return pid;
}

}  // namespace netns

#define RUN_IN_OWN_NETNS()                              \
    if (!netns::inside()) {                             \
        EXPECT_TRUE(netns::rerunCurrentTest());         \
        return;                                         \
    }                                                   \
    netns::sh("ip link set lo up")
