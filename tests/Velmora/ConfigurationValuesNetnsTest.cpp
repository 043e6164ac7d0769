// Each configuration value as a deployment gives it, from the start to its places:
// the settings store, its request header, the HTTPS road and the report address
// (uploaded to a statistics collector on loopback).

#include "EngineTestSupport.h"
#include "MonitoringTestSupport.h"

#include "http/Session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

using namespace enginetest;

namespace {

const std::map<std::string, std::string> seedDefaults{
    {"deviceName", "Brimvale"}, {"serverAddress", "dns.brimvale.example"}, {"macAddress", "ff:ff:ff:ff:ff:ff"},
    {"deviceId", "bv.usa"},     {"userName", "ios"},                       {"region", "syd-1"},
    {"bypassDomains", ""}};

const std::map<std::string, std::string> headerOfKey{{"macAddress", "X-Brimvale-ClientID"},
                                                     {"deviceId", "X-Brimvale-ApplianceID"},
                                                     {"userName", "X-Brimvale-Username"},
                                                     {"region", "X-Brimvale-ApiRegion"}};

// One value given for one key, the others being the seed defaults; "-" where the key
// has no header.
struct Row {
    std::string key, value;
    std::string stored, header, road, upload;
};

const std::string seedRoad = "https://dns.brimvale.example/dns-query";
const std::string seedUpload = "https://stats.syd-1.brimvale.example/bv.usa/-/extension";
const std::string waits = "waits";
const std::string passthrough = "passthrough";

const std::vector<Row> rows{
    // The seed defaults.
    {"deviceName", "Brimvale", "Brimvale", "-", seedRoad, seedUpload},
    {"serverAddress", "dns.brimvale.example", "dns.brimvale.example", "-", seedRoad, seedUpload},
    {"macAddress", "ff:ff:ff:ff:ff:ff", "ff:ff:ff:ff:ff:ff", "ff:ff:ff:ff:ff:ff", seedRoad, seedUpload},
    {"deviceId", "bv.usa", "bv.usa", "bv.usa", seedRoad, seedUpload},
    {"userName", "ios", "ios", "ios", seedRoad, seedUpload},
    {"region", "syd-1", "syd-1", "syd-1", seedRoad, seedUpload},
    {"bypassDomains", "", "", "-", seedRoad, seedUpload},
    // Server addresses: the road takes them as TLS and the URL need them, or refuses them.
    {"serverAddress", "doh.brimvale.example.", "doh.brimvale.example.", "-", "https://doh.brimvale.example/dns-query",
     seedUpload},
    {"serverAddress", "doh_1.brimvale.example", "doh_1.brimvale.example", "-",
     "https://doh_1.brimvale.example/dns-query", seedUpload},
    {"serverAddress", "[::1]:8443", "[::1]:8443", "-", "https://[::1]:8443/dns-query", seedUpload},
    {"serverAddress", "b\xc3\xbc" "cher.brimvale.example", "b\xc3\xbc" "cher.brimvale.example", "-",
     "https://xn--bcher-kva.brimvale.example/dns-query", seedUpload},
    {"serverAddress", "[::1]x8443", "[::1]x8443", "-", passthrough, seedUpload},
    {"serverAddress", "doh.brimvale.example:99999", "doh.brimvale.example:99999", "-", passthrough, seedUpload},
    {"serverAddress", "doh.brimvale.example:0", "doh.brimvale.example:0", "-", passthrough, seedUpload},
    // Regions: the header takes any without a control character, the report host only host labels.
    {"region", "", "", "", seedRoad, waits},
    {"region", "au.syd-1", "au.syd-1", "au.syd-1", seedRoad,
     "https://stats.au.syd-1.brimvale.example/bv.usa/-/extension"},
    {"region", "evil.test/", "evil.test/", "evil.test/", seedRoad, waits},
    {"region", "syd-1\r\nX-Injected: 1", "syd-1\r\nX-Injected: 1", "", seedRoad, waits},
    // Device identifiers: one path segment, RFC 3986 path characters as written.
    {"deviceId", "", "", "", seedRoad, waits},
    {"deviceId", "john@school.edu", "john@school.edu", "john@school.edu", seedRoad,
     "https://stats.syd-1.brimvale.example/john@school.edu/-/extension"},
    {"deviceId", "a+b=c", "a+b=c", "a+b=c", seedRoad, "https://stats.syd-1.brimvale.example/a+b=c/-/extension"},
    {"deviceId", "iPad (Room 12)", "iPad (Room 12)", "iPad (Room 12)", seedRoad,
     "https://stats.syd-1.brimvale.example/iPad%20(Room%2012)/-/extension"},
    {"deviceId", "..", "..", "..", seedRoad, "https://stats.syd-1.brimvale.example/%2E%2E/-/extension"},
    {"deviceId", "../../etc/passwd", "../../etc/passwd", "../../etc/passwd", seedRoad,
     "https://stats.syd-1.brimvale.example/..%2F..%2Fetc%2Fpasswd/-/extension"},
    {"deviceId", "dev\n1", "dev\n1", "", passthrough, waits},
    // User names: the empty one is stored and sent as "user@ios".
    {"userName", "", "user@ios", "user@ios", seedRoad, seedUpload},
};

class ConfigurationValuesTable : public ProviderTest {
protected:
    void TearDown() override {
        if (collectorPid_ > 0) netns::sh("kill " + std::to_string(collectorPid_) + " 2>/dev/null || true");
        ProviderTest::TearDown();
    }

    void startCollector() {
        const auto d = state_.string();
        netns::sh("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=stats -addext "
                  "subjectAltName=DNS:stats.syd-1.brimvale.example,DNS:stats.au.syd-1.brimvale.example -keyout " +
                  d + "/key.pem -out " + d + "/cert.pem 2>/dev/null");
        collectorPid_ = netns::startServer(
            "collector.py", "--cert " + d + "/cert.pem --key " + d + "/key.pem --out " + d + "/received", 443,
            state_ / "collector.pid");
        http::setResolveOverrides(
            {"stats.syd-1.brimvale.example:443:127.0.0.1", "stats.au.syd-1.brimvale.example:443:127.0.0.1"});
        http::setCertificateAuthorityBundle(d + "/cert.pem");
    }

    // Where one queued report went: the address it was posted to, or "waits".
    std::string uploadAddress() {
        log_.clear();
        provider_->setConnections(std::vector<ConnectionReport>(1));
        provider_->setLastReportSent(0);
        provider_->reportIfDue();
        if (log_.contains("Reporting postponed")) return waits;
        const std::string success = "Reported successfully: [Request]: POST ";
        if (!dispatch::runMainUntil([&] { return log_.contains(success) || log_.contains("Reporting failed"); }, 10s))
            return "no answer";
        for (const auto& record : log_.records()) {
            if (!record.message.starts_with(success)) continue;
            const auto url = record.message.substr(success.size());
            return url.substr(0, url.find('\n'));
        }
        return "failed";
    }

    std::string header(const std::string& key) const {
        auto name = headerOfKey.find(key);
        if (name == headerOfKey.end()) return "-";
        const std::string* value = provider_->requestHeaders(1).find(name->second);
        return value ? *value : "(absent)";
    }

    std::string road() const {
        return provider_->hasForwardingConfiguration() ? "https://" + *provider_->serverAddress() + "/dns-query"
                                                       : passthrough;
    }

    int collectorPid_ = 0;
};

}  // namespace

TEST_F(ConfigurationValuesTable, EachValueIsStoredAsGivenAndUsedWhereItCanBe) {
    RUN_IN_OWN_NETNS();
    startCollector();
    for (const Row& row : rows) {
        auto configuration = seedDefaults;
        configuration[row.key] = row.value;
        ASSERT_FALSE(start(configuration));
        const std::string label = row.key + " \"" + row.value + "\"";
        EXPECT_EQ(provider_->defaults().string(row.key).value_or("(absent)"), row.stored) << label;
        EXPECT_EQ(header(row.key), row.header) << label;
        EXPECT_EQ(road(), row.road) << label;
        EXPECT_EQ(uploadAddress(), row.upload) << label;
        // No refusal takes another key's value out of the store.
        for (const auto& [key, value] : seedDefaults) {
            if (key == row.key) continue;
            EXPECT_EQ(provider_->defaults().string(key), value) << label << ": " << key;
        }
    }
    // What the collector received: the device identifier as one segment, never a dot segment.
    std::ifstream received(state_ / "received");
    int uploads = 0;
    for (std::string line; std::getline(received, line); ++uploads) {
        const std::string path = nlohmann::json::parse(line)["path"];
        EXPECT_TRUE(path.ends_with("/-/extension")) << path;
        const std::string device = path.substr(1, path.size() - std::string("/-/extension").size() - 1);
        EXPECT_EQ(device.find('/'), std::string::npos) << path;
        EXPECT_NE(device, "..");
    }
    EXPECT_EQ(uploads, std::count_if(rows.begin(), rows.end(), [](const Row& row) { return row.upload != waits; }));
}
