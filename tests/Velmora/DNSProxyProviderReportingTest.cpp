// Recording connection reports from HTTPS exchanges, and the upload decision.

#include "Velmora/DNSProxyProvider.h"

#include "http/Session.h"
#include "log/Log.h"

#include <gtest/gtest.h>



namespace {

class ReportCycleTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("report-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        setenv("BRIMVALE_STATE_DIR", dir_.c_str(), 1);
        oslog::setMinimumLevel(oslog::Level::debug);
        provider_ = std::make_shared<DNSProxyProvider>();
        provider_->setUserName("pupil");
        provider_->setMacAddress("aa:bb:cc:dd:ee:ff");
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
    }

    void queueReports(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) provider_->recordConnectionReport(http::DataResponse{}, 30);
    }

    std::filesystem::path dir_;
    std::shared_ptr<DNSProxyProvider> provider_;
    oslog::MemorySink sink_;
};

}  // namespace

TEST_F(ReportCycleTest, DecisionThresholds) {
    using Reports = std::optional<std::vector<ConnectionReport>>;
    struct Case {
        Reports reports;
        std::int64_t elapsed;
        bool send;
        const char* message;
    };
    const Case cases[] = {
        {std::vector<ConnectionReport>(99), 299, false,
         "Neither time interval nor maximum connections reached, not reporting yet"},
        {std::vector<ConnectionReport>(1), 300, true, "Reporting time interval reached, reporting now"},
        {std::vector<ConnectionReport>(150), 400, true, "Reporting time interval reached, reporting now"},
        {std::vector<ConnectionReport>(100), 10, true, "Reporting connection limit reached, reporting now"},
        {std::vector<ConnectionReport>(), 100000, false, "Reporting collection is empty, not reporting"},
        {std::nullopt, 100000, false, "Reporting collection not initialised, not reporting!"},
    };
    for (const auto& c : cases) {
        sink_.clear();
        EXPECT_EQ(DNSProxyProvider::shouldSendReports(c.reports, c.elapsed), c.send) << c.message;
        EXPECT_TRUE(sink_.contains(c.message)) << c.message;
        EXPECT_TRUE(sink_.contains("Time since last report: " + std::to_string(c.elapsed) + " seconds"));
    }
}

TEST_F(ReportCycleTest, EveryExchangeLeavesOneReport) {
    http::HTTPURLResponse answer;
    answer.headerFields = {{"x-verdict-categoryid", "7"}, {"X-Verdict-Noise", "true"}};
    provider_->recordConnectionReport(http::DataResponse{"u", answer, http::Bytes(45), std::nullopt}, 33);
    provider_->recordConnectionReport(http::DataResponse{"u", std::nullopt, std::nullopt, http::Error{}}, 29);
    EXPECT_TRUE(sink_.contains("Connection reports, current size: Optional(0)"));
    EXPECT_TRUE(sink_.contains("Connection reports, current size: Optional(1)"));

    const auto& reports = *provider_->connections();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].categoryId, "7");
    EXPECT_FALSE(reports[0].noise);  // header names are matched as written
    EXPECT_EQ(reports[1].upload, 29);

    provider_->setConnections(std::nullopt);
    provider_->recordConnectionReport(http::DataResponse{}, 1);
    EXPECT_FALSE(provider_->connections());
}

TEST_F(ReportCycleTest, DueUploadWithoutRegionOrDeviceKeepsTheQueue) {
    queueReports(3);
    provider_->setLastReportSent(ConnectionReport::nowSeconds() - 301);
    const auto sent = provider_->lastReportSent();
    provider_->setDeviceId("device-1");
    provider_->reportIfDue();
    EXPECT_EQ(provider_->connections()->size(), 3u);
    EXPECT_EQ(provider_->lastReportSent(), sent);
    EXPECT_TRUE(sink_.contains("Reporting postponed, region or device identifier not configured"));

    // An empty queue leaves the time of the last upload alone.
    provider_->setRegion("eu");
    provider_->setDeviceId(std::nullopt);
    provider_->setConnections(std::vector<ConnectionReport>{});
    provider_->reportIfDue();
    EXPECT_EQ(provider_->lastReportSent(), sent);
}
