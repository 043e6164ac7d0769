#include "ConnectionReport.h"

#include <gtest/gtest.h>

#include <map>

using json = nlohmann::ordered_json;

namespace {

ExchangeOutcome answered(std::map<std::string, std::string> headers, std::optional<std::int64_t> body,
                         std::int64_t request) {
    ExchangeOutcome outcome;
    outcome.header = [headers = std::move(headers)](std::string_view name) -> std::optional<std::string> {
        auto found = headers.find(std::string(name));
        if (found == headers.end()) return std::nullopt;
        return found->second;
    };
    outcome.bodyBytes = body;
    outcome.requestBytes = request;
    return outcome;
}

}  // namespace

TEST(ConnectionReportJson, FreshReportHoldsOnlyItsDefaults) {
    const auto before = ConnectionReport::nowSeconds();
    json encoded = ConnectionReport();
    std::vector<std::string> keys;
    for (const auto& item : encoded.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"agent", "hw", "extensionConnection", "reportingType", "packets",
                                              "port", "time", "protocol", "final_connection_object"}));
    EXPECT_EQ(encoded["agent"], "ios-dns");
    EXPECT_EQ(encoded["hw"], "ff:ff:ff:ff:ff:ff");
    EXPECT_EQ(encoded["protocol"], 6);
    EXPECT_EQ(encoded["packets"], 2);
    EXPECT_EQ(encoded["port"], 53);
    EXPECT_GE(encoded["time"].get<std::int64_t>(), before);
    EXPECT_EQ(json(ConnectionReports()).dump(), "{}");
}

TEST(ConnectionReportJson, RoundTripKeepsEveryMemberAndIgnoresStrangers) {
    auto report = makeConnectionReport(
        "1.0 (7)", "pupil", "aa:bb", "10.0.0.2",
        answered({{"x-verdict-categoryid", "12"}, {"x-verdict-denied", "true"}, {"x-verdict-noise", "false"},
                  {"x-verdict-destinationhost", "ads.example"}, {"bv-tx-id", "tx1"}},
                 48, 33));
    json encoded = ConnectionReports{std::vector<ConnectionReport>{report}};
    encoded["items"][0]["stranger"] = 1;
    auto decoded = encoded.get<ConnectionReports>();
    ASSERT_TRUE(decoded.items);
    ASSERT_EQ(decoded.items->size(), 1u);
    EXPECT_EQ(json(decoded.items->front()), json(report));
    EXPECT_EQ(json(report).dump().find("\"prot\""), std::string::npos);
}

TEST(ConnectionReportJson, BatchIsEncodedReportByReportAsTheWholeDocument) {
    std::vector<ConnectionReport> reports = {
        makeConnectionReport("1.0 (7)", "pupil \"é\"", std::nullopt, "", answered({{"x-verdict-tagid", "t\n1"}}, 48, 33)),
        ConnectionReport(),
    };
    reports[1].download.reset();
    EXPECT_EQ(encodeConnectionReports(reports), json(ConnectionReports{reports}).dump());
    EXPECT_EQ(encodeConnectionReports({}), json(ConnectionReports{std::vector<ConnectionReport>{}}).dump());
    // Text that is not UTF-8 cannot be encoded: the batch fails as a whole.
    reports[1].user = std::string("\xff");
    EXPECT_THROW(encodeConnectionReports(reports), nlohmann::json::exception);
}

TEST(ConnectionReportBuild, VerdictHeadersFillTheReport) {
    auto report = makeConnectionReport(
        "2.1 (9)", "pupil", "aa:bb:cc:dd:ee:ff", "10.0.0.2",
        answered({{"x-verdict-categoryid", "12"},
                  {"x-verdict-subcategoryid", "34"},
                  {"x-verdict-tagid", "t"},
                  {"x-verdict-denied", "TRUE"},
                  {"x-verdict-noise", "true"},
                  {"x-verdict-denialid", "rule-7"},
                  {"x-verdict-destinationip", "0.0.0.0"},
                  {"x-verdict-destinationhost", "blocked.example"},
                  {"bv-tx-id", "tx-1"}},
                 60, 33));
    EXPECT_EQ(report.agent, "ios-dns v2.1 (9)");
    EXPECT_EQ(report.user, "pupil");
    EXPECT_EQ(report.hw, "aa:bb:cc:dd:ee:ff");
    EXPECT_EQ(report.categoryId, "12");
    EXPECT_EQ(report.subCategoryId, "34");
    EXPECT_EQ(report.tag, "t");
    EXPECT_EQ(report.app_filtering_denied, false);  // only "true" exactly counts
    EXPECT_EQ(report.noise, true);
    EXPECT_EQ(report.verdict_application_rule, "rule-7");
    EXPECT_EQ(report.destIp, "0.0.0.0");
    EXPECT_EQ(report.httpHost, "blocked.example");
    EXPECT_EQ(report.id, "tx-1");
    EXPECT_EQ(report.upload, 33);
    EXPECT_EQ(report.download, 60);
    EXPECT_EQ(report.sourceIp, "10.0.0.2");
}

TEST(ConnectionReportBuild, FailedExchangeWithoutIdentity) {
    ExchangeOutcome failed;
    failed.requestBytes = 29;
    json encoded = makeConnectionReport("1.0", std::nullopt, std::nullopt, "", failed);
    for (const char* absent : {"user", "hw", "download", "app_filtering_denied", "categoryId"})
        EXPECT_FALSE(encoded.contains(absent)) << absent;
    EXPECT_EQ(encoded["upload"], 29);
    EXPECT_EQ(encoded["sourceIp"], "");
}
