// The safe-network probe and the network events, against a probe server in a
// network namespace of the test's own.

#include "Velmora/DNSProxyProvider.h"
#include "Velmora/Reachability.h"

#include "dispatch/Dispatch.h"
#include "http/Session.h"
#include "log/Log.h"
#include "MonitoringTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

using namespace std::chrono_literals;
using netns::sh;

namespace {

class ProbeTest : public testing::Test {
protected:
    void SetUp() override {
        if (!netns::inside()) return;
        dir_ = std::filesystem::temp_directory_path() / ("probe-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        setenv("BRIMVALE_STATE_DIR", dir_.c_str(), 1);
        http::setResolveOverrides({"probe.brimvale.example:80:127.0.0.1"});
        oslog::setMinimumLevel(oslog::Level::debug);
    }
    void TearDown() override {
        if (serverPid_ > 0) sh("kill " + std::to_string(serverPid_));
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    void setStatus(const std::string& status) { std::ofstream(dir_ / "status") << status; }

    void startServer() {
        serverPid_ = netns::startServer("probe_server.py",
                                        "--status-file " + (dir_ / "status").string() + " --log " +
                                            (dir_ / "requests").string(),
                                        80, dir_ / "pid");
    }

    std::size_t count(const std::string& text) const {
        std::size_t n = 0;
        for (const auto& record : sink_.records()) n += record.message.find(text) != std::string::npos;
        return n;
    }
    bool waitFor(const std::function<bool()>& done) { return dispatch::runMainUntil(done, 5s); }

    std::filesystem::path dir_;
    int serverPid_ = 0;
    oslog::MemorySink sink_;
};

}  // namespace

TEST_F(ProbeTest, NoAnswerMeansFilteringAndRetriesUntilTheProbeHostAnswers) {
    RUN_IN_OWN_NETNS();
    auto provider = DNSProxyProvider::make();
    // Nothing listens yet: every probe fails and is followed by another.
    ASSERT_TRUE(waitFor([&] { return count("Probe sent but no network, retrying in 500 ms") >= 3; }));
    EXPECT_TRUE(provider->filtering());
    EXPECT_EQ(count("Scheduled safe network probe fired"), 1u);

    setStatus("200");
    startServer();
    ASSERT_TRUE(waitFor([&] { return count("Probe returned: 200, safe network") >= 1; }));
    EXPECT_FALSE(provider->filtering());
}

TEST_F(ProbeTest, StatusDecidesTheVerdict) {
    RUN_IN_OWN_NETNS();
    auto provider = std::make_shared<DNSProxyProvider>();
    setStatus("200");
    startServer();
    struct Case {
        std::string status;
        bool filtering;
        std::string message;
    };
    const Case cases[] = {
        {"500", true, "Probe returned: 500, unsafe network"},
        {"404", false, "Probe returned: 404 - not a safe network here"},
        {"204", true, "Probe returned: 204, unsafe network"},
        {"200", false, "Probe returned: 200, safe network"},
        {"302", true, "Probe returned: 302, unsafe network"},
    };
    for (const auto& c : cases) {
        setStatus(c.status);
        provider->sendSafeNetworkProbe();
        EXPECT_TRUE(waitFor([&] { return count(c.message) == 1; })) << c.status;
        EXPECT_EQ(provider->filtering(), c.filtering) << c.status;
    }
    std::ifstream requests(dir_ / "requests");
    std::string line;
    std::getline(requests, line);
    EXPECT_EQ(line, "GET / 500 close");  // no path, and the connection is not kept
}

TEST_F(ProbeTest, NetworkEventsProbeAgain) {
    RUN_IN_OWN_NETNS();
    setStatus("500");
    startServer();
    auto provider = DNSProxyProvider::make();
    ASSERT_TRUE(waitFor([&] { return count("Network event, Not reachable!") == 1 && provider->filtering(); }));
    provider->setDnsConnections({nullptr});

    // A way out over an ordinary link: the passthrough resolvers go, a probe follows.
    setStatus("404");
    netns::addLink("eth0", "10.1.0.2/24");
    sh("ip route add default via 10.1.0.1 dev eth0");
    ASSERT_TRUE(waitFor([&] { return count("Network event, firing probe now") == 1 && !provider->filtering(); }));
    EXPECT_EQ(count("Network event, Reachable via WiFi"), 1u);
    EXPECT_TRUE(provider->dnsConnections().empty());

    // Losing the way out only logs: filtering stays as the last probe left it.
    sh("ip route del default");
    ASSERT_TRUE(waitFor([&] { return count("Network event, Not reachable!") == 2; }));
    EXPECT_FALSE(provider->filtering());

    // A modem link probes again without touching the resolvers.
    provider->setDnsConnections({nullptr});
    setStatus("500");
    netns::addLink("wwan0", "10.2.0.2/24");
    sh("ip route add default dev wwan0");
    ASSERT_TRUE(waitFor([&] { return count("Network event, firing probe now") == 2 && provider->filtering(); }));
    EXPECT_EQ(count("Network event, Reachable via Cellular"), 1u);
    EXPECT_EQ(provider->dnsConnections().size(), 1u);
}
