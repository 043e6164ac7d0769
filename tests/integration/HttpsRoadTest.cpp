// The HTTPS road against a real DNS-over-HTTPS server (dnsdist, started by
// https_road_test.sh in this network namespace): the filtering service checks the
// identifying headers and the cookie, and answers what the provider writes back.

#include "../Velmora/EngineTestSupport.h"

#include "Velmora/dns/MessageReader.hpp"
#include "http/Session.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

struct Answer {
    int rcode = -1;
    std::string address;  // of the last address record
};

Answer read(const ne::Datagram& datagram) {
    Answer answer;
    try {
        auto message = velmora::dns::deserializeMessage(datagram);
        answer.rcode = message.returnCode;
        for (const auto& record : message.answers)
            if (const auto* host = std::get_if<velmora::dns::HostRecord>(&record)) answer.address = velmora::dns::presentation(host->ip);
    } catch (const velmora::dns::DecodeError&) {
    }
    return answer;
}

class HttpsRoad : public ProviderTest {
protected:
    void SetUp() override {
        const char* ca = std::getenv("IT_CA_BUNDLE");
        if (!ca) GTEST_SKIP() << "run through https_road_test.sh";
        http::setCertificateAuthorityBundle(ca);
        http::setResolveOverrides({"dns.brimvale.example:443:127.0.0.3"});
        ProviderTest::SetUp();
        provider_->recordForwarding = false;
    }

    Answer ask(const std::string& name) {
        auto flow = std::make_shared<FakeUDPFlow>(std::vector<ne::Datagram>{makeQuery(name)},
                                                  ne::EndpointList{ne::HostEndpoint::make("127.0.0.2", "53")});
        EXPECT_TRUE(provider_->handleNewFlow(flow));
        if (!dispatch::runMainUntil([&] { return !flow->written().empty(); }, 5s)) return {};
        return read(flow->written().front());
    }
};

constexpr int kNoError = 0;
constexpr int kRefused = 5;

}  // namespace

TEST_F(HttpsRoad, FilteringServiceAnswersAndTheCookieIsFollowed) {
    auto configuration = fullConfiguration();
    configuration["bypassDomains"] = "bypass.example.test";
    start(configuration);
    provider_->setFiltering(true);

    // The service answers this name itself, so the answer shows the road taken.
    Answer filtered = ask("filtered.example.test");
    EXPECT_EQ(filtered.rcode, kNoError);
    EXPECT_EQ(filtered.address, "192.0.2.99");
    EXPECT_EQ(provider_->cookie(), "c1");
    EXPECT_TRUE(log_.contains("Cookie changed!"));

    // Refused by the service unless the request carries the cookie it handed out.
    Answer second = ask("second.example.test");
    EXPECT_EQ(second.rcode, kNoError);
    EXPECT_EQ(second.address, "192.0.2.40");
    EXPECT_TRUE(log_.contains("Cookie unchanged"));

    // Refused by the service: only the passthrough road answers it.
    Answer bypass = ask("bypass.example.test");
    EXPECT_EQ(bypass.rcode, kNoError);
    EXPECT_EQ(bypass.address, "192.0.2.20");
    EXPECT_EQ(provider_->reports.size(), 2u);
}

TEST_F(HttpsRoad, ServiceRefusesAnUnknownUser) {
    auto configuration = fullConfiguration();
    configuration["userName"] = "mallory";
    start(configuration);
    provider_->setFiltering(true);
    EXPECT_EQ(ask("www.example.test").rcode, kRefused);
}

TEST_F(HttpsRoad, ConcurrentQueriesShareOneConnection) {
    start(fullConfiguration());
    provider_->setFiltering(true);
    std::vector<std::shared_ptr<FakeUDPFlow>> flows;
    // More queries in flight than a DoH server lets one connection carry at once.
    for (int i = 0; i < 150; ++i) {
        flows.push_back(std::make_shared<FakeUDPFlow>(std::vector<ne::Datagram>{makeQuery("www.example.test", static_cast<std::uint16_t>(i))}));
        provider_->handleNewFlow(flows.back());
    }
    ASSERT_TRUE(dispatch::runMainUntil([&] {
        for (const auto& flow : flows)
            if (flow->written().empty()) return false;
        return true;
    }, 10s));
    for (const auto& flow : flows) EXPECT_EQ(read(flow->written().front()).address, "192.0.2.10");
    EXPECT_EQ(provider_->alamofireManager()->connectionsOpened(), 1u);
}

TEST_F(HttpsRoad, BurstOfLargeAnswersIsReadWhole) {
    // More answer bytes waiting at once than one read takes, and than one turn of the
    // queue reads: every answer must come, none may wait for its time-out.
    start(fullConfiguration());
    provider_->setFiltering(true);
    // At the shipped level: a debug log dumps every answer, which takes a slow machine
    // longer than the answers' time-out.
    oslog::setMinimumLevel(oslog::Level::info);
    // The connection is set up first, so that the burst's time-outs are the answers' own.
    auto first = std::make_shared<FakeUDPFlow>(std::vector<ne::Datagram>{makeQuery("big.example.test")});
    provider_->handleNewFlow(first);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return !first->written().empty(); }, 5s));
    std::vector<std::shared_ptr<FakeUDPFlow>> flows;
    for (int i = 0; i < 300; ++i) {
        flows.push_back(std::make_shared<FakeUDPFlow>(
            std::vector<ne::Datagram>{makeQuery("big.example.test", static_cast<std::uint16_t>(i))}));
        provider_->handleNewFlow(flows.back());
    }
    auto answered = [&] {
        std::size_t count = 0;
        for (const auto& flow : flows) count += !flow->written().empty();
        return count;
    };
    ASSERT_TRUE(dispatch::runMainUntil([&] { return answered() > 0; }, 5s));
    // The queue is busy elsewhere while the rest of the answers pile up in the socket.
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return answered() == flows.size(); }, 5s)) << answered();
    for (const auto& flow : flows) EXPECT_GT(flow->written().front().size(), 3800u);
    EXPECT_FALSE(log_.contains("Failed when getting verdict response"));
}

TEST_F(HttpsRoad, RespawnLetsRunningExchangesFinishAndSendsNewOnesOnANewConnection) {
    start(fullConfiguration());
    provider_->setFiltering(true);
    std::vector<std::shared_ptr<FakeUDPFlow>> before, after;
    auto offer = [&](std::vector<std::shared_ptr<FakeUDPFlow>>& flows, int count) {
        for (int i = 0; i < count; ++i) {
            flows.push_back(std::make_shared<FakeUDPFlow>(
                std::vector<ne::Datagram>{makeQuery("www.example.test", static_cast<std::uint16_t>(i))}));
            provider_->handleNewFlow(flows.back());
        }
    };
    auto answered = [](const std::vector<std::shared_ptr<FakeUDPFlow>>& flows) {
        for (const auto& flow : flows)
            if (flow->written().empty()) return false;
        return true;
    };
    offer(before, 50);
    // Let the queries reach the session, then replace it while they run.
    ASSERT_TRUE(dispatch::runMainUntil([&] { return provider_->alamofireManager()->connectionsOpened() == 1; }, 5s));
    auto old = provider_->alamofireManager();
    provider_->clearSystemDNSCache();
    ASSERT_TRUE(dispatch::runMainUntil([&] { return provider_->alamofireManager() != old; }, 5s));
    offer(after, 50);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return answered(before) && answered(after); }, 10s));
    EXPECT_EQ(old->connectionsOpened(), 1u);
    EXPECT_EQ(provider_->alamofireManager()->connectionsOpened(), 1u);
    EXPECT_FALSE(log_.contains("Failed when getting verdict response"));
}
