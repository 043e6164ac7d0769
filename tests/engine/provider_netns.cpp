// Provider behaviour from configuration intake to the answers written back. Runs in
// a network namespace of its own: the passthrough road opens real sockets.

#include "EngineTestSupport.h"

#include "foundation/ProcessInfo.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

std::shared_ptr<FakeUDPFlow> udpFlow(const std::string& name, std::optional<ne::EndpointList> endpoints =
                                                                  ne::EndpointList{ne::HostEndpoint::make("127.0.0.1", "5353")}) {
    return std::make_shared<FakeUDPFlow>(std::vector<ne::Datagram>{makeQuery(name)}, std::move(endpoints));
}

bool waitForAnswers(const std::vector<std::shared_ptr<FakeUDPFlow>>& flows, std::size_t each = 1) {
    return dispatch::runMainUntil(
        [&] {
            for (const auto& flow : flows)
                if (flow->written().size() < each) return false;
            return true;
        },
        5s);
}

using ProviderIntake = ProviderTest;
using ProviderAdmission = ProviderTest;
using ProviderRoad = ProviderTest;
using ProviderVerdict = ProviderTest;

}  // namespace

TEST_F(ProviderIntake, StartWritesTheStoreAndReadsItBack) {
    provider_->defaults().set("region", "old-region");
    auto configuration = fullConfiguration();
    configuration["userName"] = "";
    configuration.erase("region");
    configuration["bypassDomains"] = "a.com, b.com,";
    EXPECT_FALSE(start(configuration));

    auto& store = provider_->defaults();
    EXPECT_EQ(store.string("userName"), "user@ios");
    EXPECT_EQ(provider_->userName(), "user@ios");
    EXPECT_FALSE(store.object("region"));
    EXPECT_FALSE(provider_->region());
    EXPECT_EQ(store.string("deviceName"), "Brimvale");
    EXPECT_EQ(provider_->serverAddress(), "dns.brimvale.example");
    EXPECT_EQ(provider_->macAddress(), "aa:bb:cc:dd:ee:ff");
    EXPECT_EQ(provider_->deviceId(), "dev-1");
    EXPECT_EQ(provider_->bypassDomainsArray(), (std::vector<std::string>{"a.com", " b.com", ""}));
    EXPECT_EQ(provider_->cookie(), "");
    EXPECT_TRUE(log_.contains("Parsed bypass domains: [\"a.com\", \" b.com\", \"\"]"));
    EXPECT_EQ(provider_->requestHeaders(1).at("X-Brimvale-ApiRegion"), "");
}

TEST_F(ProviderIntake, SecondStartResetsTheCookieAndKeepsAStaleBypassListInert) {
    auto configuration = fullConfiguration();
    configuration["bypassDomains"] = "example.com";
    start(configuration);
    provider_->setCookie("c1");
    configuration["bypassDomains"] = "";
    start(configuration);
    EXPECT_EQ(provider_->cookie(), "");
    EXPECT_TRUE(log_.contains("No bypass domains in config"));
    EXPECT_EQ(provider_->bypassDomainsArray(), std::vector<std::string>{"example.com"});
    EXPECT_FALSE(provider_->matchesBypassDomain(makeQuery("example.com")));
}

TEST_F(ProviderIntake, StartWithoutOptionsFailsAndKeepsTheConfiguration) {
    start(fullConfiguration());
    provider_->setCookie("kept");
    auto error = start(std::nullopt);
    ASSERT_TRUE(error);
    EXPECT_TRUE(log_.contains("Issues unwrapping proxy configuration options"));
    EXPECT_EQ(provider_->serverAddress(), "dns.brimvale.example");
    EXPECT_EQ(provider_->cookie(), "kept");
}

TEST_F(ProviderIntake, StopSleepAndWakeOnlyLog) {
    start(fullConfiguration());
    provider_->setFiltering(true);
    provider_->setCookie("c");
    int stops = 0, sleeps = 0;
    provider_->stopProxy(ne::ProviderStopReason::userInitiated, [&] { ++stops; });
    provider_->sleep([&] { ++sleeps; });
    provider_->wake();
    ASSERT_TRUE(dispatch::runMainUntil([&] { return log_.contains("Waking proxy"); }, 2s));
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(sleeps, 1);
    EXPECT_TRUE(log_.contains("Stopping proxy"));
    EXPECT_TRUE(log_.contains("Sleeping proxy"));
    EXPECT_TRUE(provider_->filtering());
    EXPECT_EQ(provider_->cookie(), "c");
    EXPECT_EQ(provider_->serverAddress(), "dns.brimvale.example");
}

TEST_F(ProviderAdmission, ResolverDiscoveryFlowsAreDeclinedFromVersion14_2) {
    auto discovery = std::make_shared<FakeUDPFlow>(std::vector<ne::Datagram>{}, ne::EndpointList{},
                                                   "com.apple.mDNSResponder", "_dns.resolver.arpa.");
    EXPECT_FALSE(offer(discovery));
    EXPECT_EQ(discovery->opens, 0);
    EXPECT_TRUE(log_.contains("New flow requires termination, originating process: com.apple.mDNSResponder, "
                              "remoteHost: _dns.resolver.arpa."));

    auto otherHost = std::make_shared<FakeUDPFlow>(std::vector<ne::Datagram>{}, ne::EndpointList{},
                                                   "com.apple.mDNSResponder", "_DNS.resolver.arpa.");
    EXPECT_TRUE(offer(otherHost));
    EXPECT_EQ(otherHost->opens, 1);

    foundation::setOperatingSystemVersion({14, 1, 0});
    EXPECT_TRUE(offer(discovery));
    foundation::setOperatingSystemVersion({17, 0, 0});
}

TEST_F(ProviderAdmission, TcpIsDeclinedAndUdpTakenBeforeItOpens) {
    auto tcp = std::make_shared<FakeTCPFlow>();
    EXPECT_FALSE(offer(tcp));
    EXPECT_EQ(tcp->opens, 0);
    EXPECT_TRUE(log_.contains("TCP DNS not implemented yet"));

    auto failing = udpFlow("example.com");
    failing->openError = ne::FlowError{1, "open refused"};
    EXPECT_TRUE(offer(failing));
    EXPECT_EQ(failing->reads, 0);
    EXPECT_TRUE(log_.contains("Error opening flow: fake UDP flow, error: open refused"));

    auto unreadable = udpFlow("example.com");
    unreadable->readError = ne::FlowError{2, "read failed"};
    EXPECT_TRUE(offer(unreadable));
    EXPECT_TRUE(log_.contains("Error reading from flow: read failed"));
}

TEST_F(ProviderRoad, PassthroughWritesEveryAnswerAndOnlyTheFirstDatagramIsAsked) {
    LoopbackDnsServer server(2);
    ASSERT_TRUE(server.bound());
    auto flow = std::make_shared<FakeUDPFlow>(std::vector<ne::Datagram>{makeQuery("one.test", 1), makeQuery("two.test", 2)},
                                              ne::EndpointList{ne::HostEndpoint::make("127.0.0.1", "5353")});
    ASSERT_TRUE(offer(flow));
    ASSERT_TRUE(waitForAnswers({flow}, 2));
    ASSERT_EQ(server.queries().size(), 1u);
    EXPECT_EQ(server.queries()[0], makeQuery("one.test", 1));
    EXPECT_EQ(flow->written(), (std::vector<ne::Datagram>{LoopbackDnsServer::answerTo(makeQuery("one.test", 1), 0),
                                                          LoopbackDnsServer::answerTo(makeQuery("one.test", 1), 1)}));
    EXPECT_TRUE(log_.contains("Using system-assigned DNS setting: 127.0.0.1"));
    EXPECT_EQ(provider_->dnsConnections().size(), 1u);
}

TEST_F(ProviderRoad, QueriesWithoutAHostEndpointGoToTheFallbackServer) {
    auto flow = udpFlow("example.com", ne::EndpointList{});
    offer(flow);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return log_.contains("using fallback server for now: 1.0.0.1"); }, 2s));

    LoopbackDnsServer server;
    provider_->setSystemDNSFallbackServer("127.0.0.1");
    auto noEndpoints = udpFlow("example.com", std::nullopt);
    offer(noEndpoints);
    EXPECT_TRUE(waitForAnswers({noEndpoints}));
}

TEST_F(ProviderRoad, FilteringAndBypassChooseTheRoad) {
    LoopbackDnsServer server;
    auto configuration = fullConfiguration();
    configuration["bypassDomains"] = "example.com,";
    start(configuration);

    // Filtering off: everything passes through without a bypass test.
    offer(udpFlow("example.com"));
    offer(udpFlow("other.test"));
    ASSERT_TRUE(dispatch::runMainUntil([&] { return server.queries().size() == 2; }, 3s));
    EXPECT_FALSE(log_.contains("Matched bypass domain"));

    provider_->setFiltering(true);
    offer(udpFlow("example.com"));
    ASSERT_TRUE(dispatch::runMainUntil([&] { return server.queries().size() == 3; }, 3s));
    EXPECT_TRUE(log_.contains("Matched bypass domain: example.com, will use system DNS settings"));

    const std::vector<ne::Datagram> forwarded = {makeQuery("sub.example.com"), makeQuery("Example.com"),
                                                 ne::Datagram{1, 2, 3, 4, 5}};
    for (const auto& query : forwarded)
        offer(std::make_shared<FakeUDPFlow>(std::vector<ne::Datagram>{query}, ne::EndpointList{}));
    ASSERT_TRUE(dispatch::runMainUntil([&] { return provider_->forwarded.size() == 3; }, 3s));
    EXPECT_EQ(provider_->forwarded, forwarded);

    // The empty entry left by the trailing comma matches the root name only.
    offer(udpFlow(""));
    EXPECT_TRUE(dispatch::runMainUntil([&] { return server.queries().size() == 4; }, 3s));
    EXPECT_EQ(provider_->forwarded.size(), 3u);
}

TEST_F(ProviderRoad, IncompleteConfigurationPassesThroughWhileFiltering) {
    LoopbackDnsServer server;
    provider_->setFiltering(true);
    auto flow = udpFlow("example.com");
    offer(flow);
    ASSERT_TRUE(waitForAnswers({flow}));
    EXPECT_TRUE(provider_->forwarded.empty());
    EXPECT_TRUE(log_.contains("Configuration incomplete for filtering"));
}

TEST_F(ProviderRoad, ResolverSetEmptiesAtItsLimitWithoutLosingAnswers) {
    LoopbackDnsServer server(1, 5ms);
    std::vector<std::shared_ptr<FakeUDPFlow>> flows;
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 102; ++i) {
        flows.push_back(udpFlow("q" + std::to_string(i) + ".test"));
        offer(flows.back());
        // Each query reaches the main queue before the next one is offered.
        dispatch::runMainUntil([&] { return log_.records().size() > 0 && server.queries().size() > static_cast<std::size_t>(i); }, 2s);
        sizes.push_back(provider_->dnsConnections().size());
    }
    EXPECT_EQ(sizes[99], 100u);
    EXPECT_EQ(sizes[100], 0u);
    EXPECT_EQ(sizes[101], 1u);
    EXPECT_TRUE(log_.contains("System DNS cache maxed out. Clearing now"));
    EXPECT_TRUE(waitForAnswers(flows));
}

TEST_F(ProviderRoad, ResolverLeftWithoutAnAnswerIsReleasedAfterItsWait) {
    // No server: the query goes unanswered.
    auto flow = udpFlow("silent.test");
    offer(flow);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return provider_->dnsConnections().size() == 1; }, 2s));
    std::weak_ptr<SystemResolver> resolver = *provider_->dnsConnections().begin();
    EXPECT_TRUE(resolver.lock()->awaitingFirstAnswer());
    provider_->clearSystemDNSCache();
    EXPECT_FALSE(resolver.expired());
    EXPECT_TRUE(dispatch::runMainUntil([&] { return resolver.expired(); }, 4s));
}

TEST_F(ProviderRoad, WifiClearRenewsBothSessionsInOrder) {
    auto dnsSession = provider_->alamofireManager();
    auto probeSession = provider_->alamofireProbeManager();
    LoopbackDnsServer server;
    offer(udpFlow("example.com"));
    ASSERT_TRUE(dispatch::runMainUntil([&] { return provider_->dnsConnections().size() == 1; }, 2s));
    provider_->clearSystemDNSCache();
    EXPECT_TRUE(provider_->dnsConnections().empty());
    dispatch::drainMain();
    EXPECT_NE(provider_->alamofireManager(), dnsSession);
    EXPECT_NE(provider_->alamofireProbeManager(), probeSession);
    auto records = log_.records();
    auto position = [&](const std::string& text) {
        for (std::size_t i = 0; i < records.size(); ++i)
            if (records[i].message == text) return static_cast<long>(i);
        return -1L;
    };
    const long dns = position("Gracefully ending current URLSession for DNS tasks and respawning..");
    const long probe = position("Gracefully ending current URLSession for probe tasks and respawning..");
    EXPECT_GE(dns, 0);
    EXPECT_GT(probe, dns);
}

TEST_F(ProviderVerdict, SuccessWritesTheBodyUnchangedAndEveryExchangeIsReported) {
    auto flow = udpFlow("example.com");
    http::HTTPURLResponse ok{200, "https://dns.brimvale.example/dns-query", {{"content-type", "application/dns-message"}}};
    const http::Bytes body = {0xde, 0xad, 0x00, 0xbe, 0xef};
    provider_->handleVerdictResponse(http::DataResponse{"", ok, body, {}}, flow, ne::EndpointList{}, ne::Datagram(33));
    EXPECT_EQ(flow->written(), std::vector<ne::Datagram>{body});

    http::HTTPURLResponse notFound{404, "", {}};
    provider_->handleVerdictResponse(
        http::DataResponse{"", notFound, http::Bytes{1}, http::Error{http::Error::Code::unacceptableStatusCode, "bad status", {}}},
        flow, ne::EndpointList{}, ne::Datagram(12));
    provider_->handleVerdictResponse(
        http::DataResponse{"", std::nullopt, std::nullopt, http::Error{http::Error::Code::timedOut, "The request timed out.", {}}},
        flow, ne::EndpointList{}, ne::Datagram(12));
    EXPECT_EQ(flow->written().size(), 1u);
    EXPECT_TRUE(log_.contains("Failed when getting verdict response: (404), error: bad status"));
    EXPECT_TRUE(log_.contains("Failed when getting verdict response: (418), error: The request timed out."));
    ASSERT_EQ(provider_->reports.size(), 3u);
    EXPECT_EQ(provider_->reports[0].second, 33);
}

TEST_F(ProviderVerdict, CookieFollowsTheServiceAfterAStart) {
    auto flow = udpFlow("example.com");
    auto respond = [&](std::vector<std::pair<std::string, std::string>> headers) {
        http::HTTPURLResponse response{200, "", std::move(headers)};
        provider_->handleVerdictResponse(http::DataResponse{"", response, http::Bytes{1}, {}}, flow, ne::EndpointList{},
                                         ne::Datagram(12));
    };
    // Before any start the cookie is absent and stays so.
    respond({{"X-Brimvale-Cookie", "early"}});
    EXPECT_FALSE(provider_->cookie());
    EXPECT_FALSE(log_.contains("Cookie changed!"));

    start(fullConfiguration());
    log_.clear();
    respond({{"content-type", "application/dns-message"}});
    EXPECT_TRUE(log_.records().empty() || !log_.contains("cookie"));
    EXPECT_FALSE(log_.contains("Current cookie"));

    respond({{"x-brimvale-cookie", "c1"}});
    EXPECT_EQ(provider_->cookie(), "c1");
    EXPECT_TRUE(log_.contains("Cookie changed!"));
    EXPECT_TRUE(log_.contains("Resetting now from: 'Optional(\"\")' to 'c1'"));
    EXPECT_TRUE(log_.contains("New cookie     : c1"));
    EXPECT_EQ(provider_->requestHeaders(12).at("X-Brimvale-Cookie"), "c1");

    respond({{"X-Brimvale-Cookie", "c1"}});
    EXPECT_TRUE(log_.contains("Cookie unchanged"));

    // Older systems look the header up by its exact name only.
    foundation::setOperatingSystemVersion({12, 4, 0});
    respond({{"x-brimvale-cookie", "c2"}});
    EXPECT_EQ(provider_->cookie(), "c1");
    respond({{"X-Brimvale-Cookie", "c3"}});
    EXPECT_EQ(provider_->cookie(), "c3");
    foundation::setOperatingSystemVersion({17, 0, 0});
}

TEST_F(ProviderVerdict, RequestCarriesTheEightHeaders) {
    start(fullConfiguration());
    auto headers = provider_->requestHeaders(33);
    EXPECT_EQ(headers, (http::HTTPHeaders{{"Accept", "application/dns-udpwireformat"},
                                          {"Content-type", "application/dns-udpwireformat"},
                                          {"Content-length", "33"},
                                          {"X-Brimvale-Cookie", ""},
                                          {"X-Brimvale-ClientID", "aa:bb:cc:dd:ee:ff"},
                                          {"X-Brimvale-ApplianceID", "dev-1"},
                                          {"X-Brimvale-Username", "alice"},
                                          {"X-Brimvale-ApiRegion", "syd-1"}}));
}
