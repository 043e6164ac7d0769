// The report upload against a statistics collector on loopback.

#include "Velmora/DNSProxyProvider.h"
#include "EngineTestSupport.h"

#include "dispatch/Dispatch.h"
#include "http/Session.h"
#include "log/Log.h"
#include "MonitoringTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

using namespace std::chrono_literals;
using json = nlohmann::json;

namespace {

class ReportUploadTest : public testing::Test {
protected:
    void SetUp() override {
        if (!netns::inside()) return;
        dir_ = std::filesystem::temp_directory_path() / ("report-upload-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        setenv("BRIMVALE_STATE_DIR", dir_.c_str(), 1);
        oslog::setMinimumLevel(oslog::Level::debug);
        provider_ = std::make_shared<DNSProxyProvider>();
        provider_->setUserName("pupil");
    }
    void TearDown() override {
        if (collectorPid_ > 0) netns::sh("kill " + std::to_string(collectorPid_) + " 2>/dev/null || true");
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    void queueReports(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) provider_->recordConnectionReport(http::DataResponse{}, 30);
    }

    void startCollector(int status) {
        const auto d = dir_.string();
        netns::sh("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=stats -addext "
                  "subjectAltName=DNS:stats.eu.brimvale.example -keyout " + d + "/key.pem -out " + d +
                  "/cert.pem 2>/dev/null");
        collectorPid_ = netns::startServer("collector.py",
                                           "--cert " + d + "/cert.pem --key " + d + "/key.pem --out " + d +
                                               "/received --status " + std::to_string(status),
                                           443, dir_ / "pid");
        http::setResolveOverrides({"stats.eu.brimvale.example:443:127.0.0.1"});
        http::setCertificateAuthorityBundle(d + "/cert.pem");
    }

    std::filesystem::path dir_;
    std::shared_ptr<DNSProxyProvider> provider_;
    oslog::MemorySink sink_;
    int collectorPid_ = 0;
};

}  // namespace

TEST_F(ReportUploadTest, UploadSendsTheQueueOnceWhateverTheAnswer) {
    RUN_IN_OWN_NETNS();
    startCollector(500);
    provider_->setRegion("eu");
    provider_->setDeviceId("device-1");
    queueReports(100);
    provider_->reportIfDue();
    // The queue empties at the attempt; reports arriving meanwhile wait for the next.
    EXPECT_TRUE(provider_->connections()->empty());
    EXPECT_GE(provider_->lastReportSent(), ConnectionReport::nowSeconds() - 1);
    queueReports(1);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return sink_.contains("Reported successfully"); }, 10s));

    std::ifstream received(dir_ / "received");
    std::string line;
    ASSERT_TRUE(std::getline(received, line));
    auto upload = json::parse(line);
    EXPECT_EQ(upload["path"], "/device-1/-/extension");
    EXPECT_EQ(upload["body"]["items"].size(), 100u);
    EXPECT_EQ(provider_->connections()->size(), 1u);

    // A collector that is gone: the failure is logged with 418 and the batch is dropped.
    netns::sh("kill " + std::to_string(collectorPid_));
    collectorPid_ = 0;
    provider_->setLastReportSent(0);
    provider_->reportIfDue();
    EXPECT_TRUE(provider_->connections()->empty());
    ASSERT_TRUE(dispatch::runMainUntil([&] { return sink_.contains("Reporting failed: (418), error: ("); }, 10s));

    // The thread that encoded the batches ends with the provider.
    const auto threads = enginetest::threadCount();
    provider_.reset();
    EXPECT_EQ(enginetest::threadCount(), threads - 1);
}

TEST_F(ReportUploadTest, RegionAndDeviceFromTheConfigurationStayInTheirPlacesOfTheAddress) {
    RUN_IN_OWN_NETNS();
    startCollector(200);
    auto start = [&](const std::string& region) {
        foundation::Dictionary vendorData{{"serverAddress", "dns.brimvale.example"},
                                          {"macAddress", "aa:bb:cc:dd:ee:ff"},
                                          {"userName", "pupil"},
                                          {"deviceId", "../../../../etc/passwd"},
                                          {"region", region}};
        bool started = false;
        provider_->startProxy(foundation::Dictionary{{"VendorData", vendorData}},
                              [&](std::optional<ne::ProviderError>) { started = true; });
        ASSERT_TRUE(dispatch::runMainUntil([&] { return started; }, 5s));
    };
    // A region that is not a host label is refused: the reports wait for a usable one.
    start("evil.test/");
    queueReports(100);
    provider_->reportIfDue();
    EXPECT_TRUE(sink_.contains("Reporting postponed"));
    EXPECT_EQ(provider_->connections()->size(), 100u);

    // The device identifier is one path segment, however it is written.
    start("eu");
    provider_->reportIfDue();
    ASSERT_TRUE(dispatch::runMainUntil([&] { return sink_.contains("Reported successfully"); }, 10s));
    std::ifstream received(dir_ / "received");
    std::string line;
    ASSERT_TRUE(std::getline(received, line));
    EXPECT_EQ(json::parse(line)["path"], "/..%2F..%2F..%2F..%2Fetc%2Fpasswd/-/extension");
    EXPECT_FALSE(std::getline(received, line));
}

TEST_F(ReportUploadTest, ReportsAtAHighRateKeepTheNewestWithinTheCapAndUploadAsOneDocument) {
    RUN_IN_OWN_NETNS();
    startCollector(200);
    provider_->setRegion("eu");
    provider_->setDeviceId("device-1");
    constexpr int recorded = 25000;
    for (int i = 0; i < recorded; ++i) provider_->recordConnectionReport(http::DataResponse{}, i);
    const auto held = provider_->connections()->size();
    EXPECT_LE(held, DNSProxyProvider::reportCap);
    const auto dropped = std::to_string(recorded - held);
    ASSERT_TRUE(dispatch::runMainUntil(
        [&] { return sink_.contains("Dropped the oldest " + dropped + " connection reports: 10000 held already"); }, 5s));

    provider_->reportIfDue();
    ASSERT_TRUE(dispatch::runMainUntil([&] { return sink_.contains("Reported successfully"); }, 10s));
    std::ifstream received(dir_ / "received");
    std::string line;
    ASSERT_TRUE(std::getline(received, line));
    auto items = json::parse(line)["body"]["items"];
    ASSERT_EQ(items.size(), held);
    EXPECT_EQ(items.front()["upload"], recorded - static_cast<int>(held));
    EXPECT_EQ(items.back()["upload"], recorded - 1);
    EXPECT_EQ(items.back()["user"], "pupil");
    EXPECT_EQ(items.back()["protocol"], 6);
}
