// The cookie against a filtering service that offers HTTP/1.1 only: a value it could
// not send back as it came is refused, and later queries carry the one before.

#include "EngineTestSupport.h"

#include "../platform/http/HttpTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace enginetest;

namespace {

const std::string http1Server =
    (std::filesystem::path(__FILE__).parent_path() / "../integration/servers/http1_server.py").string();

using HttpsCookie = ProviderTest;

}  // namespace

TEST_F(HttpsCookie, CookieWithAControlCharacterIsRefusedAndTheOneBeforeGoesOn) {
    TlsServer server("dns.brimvale.example", 443,
                     "/usr/bin/python3 " + http1Server + " --port 443 --cert cert.pem --key key.pem --log log "
                     "--cookie c1 --cookie 'ck\\x01\\x7f\\rXy'");
    ASSERT_TRUE(server.started());
    provider_->recordForwarding = false;
    start(fullConfiguration());
    provider_->setFiltering(true);

    auto failures = [&] {
        const auto records = log_.records();
        return std::count_if(records.begin(), records.end(), [](const oslog::Record& record) {
            return record.message.starts_with("Failed when getting verdict response");
        });
    };
    // Whether the query was answered; it ends either way.
    auto ask = [&](const std::string& name) {
        auto flow = std::make_shared<FakeUDPFlow>(std::vector<ne::Datagram>{makeQuery(name)});
        const auto failed = failures();
        provider_->handleNewFlow(flow);
        EXPECT_TRUE(dispatch::runMainUntil([&] { return !flow->written().empty() || failures() > failed; }, 5s));
        return !flow->written().empty();
    };
    EXPECT_TRUE(ask("first.example.test"));
    EXPECT_EQ(provider_->cookie(), "c1");
    EXPECT_FALSE(ask("second.example.test"));
    EXPECT_EQ(provider_->cookie(), "c1");
    EXPECT_TRUE(ask("third.example.test"));

    std::ifstream log(server.path("log"));
    std::vector<std::string> requests;
    for (std::string line; std::getline(log, line);)
        if (line.starts_with("request ")) requests.push_back(line);
    EXPECT_EQ(requests, (std::vector<std::string>{"request /dns-query ", "request /dns-query c1",
                                                   "request /dns-query c1"}));
}
