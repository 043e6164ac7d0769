#include "log/FailuresCounted.h"
#include "log/Log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

using oslog::format;

TEST(LogFormat, PrivacyMarkersDecideWhatIsShown) {
    EXPECT_EQ(format("DNS Request [%{public}d bytes] : %{public}s", {42, "example.com."}),
              "DNS Request [42 bytes] : example.com.");
    EXPECT_EQ(format("Error loading preferences: %s", {"secret"}),
              "Error loading preferences: <private>");
    EXPECT_EQ(format("%{private}d and %d", {7, 8}), "<private> and 8");
    EXPECT_EQ(format("%{public}@ is an object", {std::string("value")}), "value is an object");
}

TEST(LogFormat, WidthsLengthsAndOddInput) {
    EXPECT_EQ(format("%08x|%02x|%-6s|", {0x1a0u, 5, "ab"}), "000001a0|05|<private>|");
    EXPECT_EQ(format("%{public}-6s|%ld|%zu|100%%", {"ab", -3L, size_t{9}}), "ab    |-3|9|100%");
    EXPECT_EQ(format("missing %{public}s and %d", {"one"}), "missing one and ");
    EXPECT_EQ(format("trailing %", {}), "trailing %");
    const std::string longText(500, 'x');
    EXPECT_EQ(format("%{public}s!", {longText}), longText + "!");
}

TEST(LogSink, LevelFilterDropsDebugByDefaultAndKeepsItWhenEnabled) {
    oslog::MemorySink sink;
    oslog::Logger logger("com.example.test", "unit");
    ASSERT_EQ(oslog::minimumLevel(), oslog::Level::info);
    logger.debug("hidden %{public}d", 1);
    logger.info("shown %{public}d", 2);
    logger.error("failed: %{public}s", "boom");
    oslog::setMinimumLevel(oslog::Level::debug);
    logger.debug("now visible");
    oslog::setMinimumLevel(oslog::Level::info);

    auto records = sink.records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].message, "shown 2");
    EXPECT_EQ(records[0].subsystem, "com.example.test");
    EXPECT_EQ(records[0].category, "unit");
    EXPECT_EQ(records[1].level, oslog::Level::error);
    EXPECT_EQ(records[2].message, "now visible");
    EXPECT_FALSE(sink.contains("hidden"));
}

namespace {

using Collapser = oslog::RepeatCollapser;

oslog::Record record(const std::string& category, const std::string& message, oslog::Level level = oslog::Level::info) {
    return {level, "com.example.test", category, message};
}

// What the collapser writes for a record at `ms` milliseconds, as "category: message" lines.
std::vector<std::string> feed(Collapser& collapser, int ms, const oslog::Record& in) {
    std::vector<std::string> lines;
    for (const auto& out : collapser.pass(in, Collapser::Clock::time_point(std::chrono::milliseconds(ms))))
        lines.push_back(out.category + ": " + out.message);
    return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(LogRepeats, IdenticalRecordsWithinASecondAreCountedThenSummarised) {
    Collapser collapser;
    EXPECT_EQ(feed(collapser, 0, record("dnsflow", "TCP DNS not implemented yet")),
              Lines{"dnsflow: TCP DNS not implemented yet"});
    for (int ms = 1; ms < 1000; ++ms) EXPECT_TRUE(feed(collapser, ms, record("dnsflow", "TCP DNS not implemented yet")).empty());
    // Another category neither breaks the run nor is held back by it.
    EXPECT_EQ(feed(collapser, 500, record("ext", "Starting proxy")), Lines{"ext: Starting proxy"});
    // After the second the run shows again, its count first.
    EXPECT_EQ(feed(collapser, 1000, record("dnsflow", "TCP DNS not implemented yet")),
              (Lines{"dnsflow: last message repeated 999 times", "dnsflow: TCP DNS not implemented yet"}));
    EXPECT_TRUE(feed(collapser, 1001, record("dnsflow", "TCP DNS not implemented yet")).empty());
    // A different message, or the same one at another level, ends the run at once.
    EXPECT_EQ(feed(collapser, 1002, record("dnsflow", "TCP DNS not implemented yet", oslog::Level::error)),
              (Lines{"dnsflow: last message repeated 1 time", "dnsflow: TCP DNS not implemented yet"}));
    EXPECT_EQ(feed(collapser, 1003, record("dnsflow", "other")), Lines{"dnsflow: other"});
}

TEST(LogRepeats, PendingCountsAreWrittenOnceTheirSecondIsOverOrOnFlush) {
    Collapser collapser;
    feed(collapser, 0, record("dnsflow", "declined"));
    feed(collapser, 10, record("dnsflow", "declined"));
    feed(collapser, 20, record("probe", "probe"));
    feed(collapser, 30, record("probe", "probe"));
    // The dnsflow run's second is over, the probe run's not yet.
    EXPECT_EQ(feed(collapser, 1005, record("ext", "Waking proxy")),
              (Lines{"dnsflow: last message repeated 1 time", "ext: Waking proxy"}));
    auto rest = collapser.flush();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0], record("probe", "last message repeated 1 time"));
    EXPECT_TRUE(collapser.flush().empty());
}

namespace {

// The failures the records of `category` count: a line with a count counts that many,
// a line without one a single failure.
std::uint64_t failuresCounted(const oslog::MemorySink& sink, const std::string& category) {
    std::uint64_t total = 0;
    for (const auto& record : sink.records())
        if (record.category == category) total += ::failuresCounted(record.message);
    return total;
}

// Polls until `category` counts `expected` failures, for at most `bound`.
bool waitForCount(const oslog::MemorySink& sink, const std::string& category, std::uint64_t expected,
                  std::chrono::milliseconds bound = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (failuresCounted(sink, category) != expected) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

TEST(LogFailures, ABurstsCountIsWrittenAfterItEndsWithNoLaterFailure) {
    oslog::MemorySink sink;
    oslog::FailureLog failures(oslog::Logger("com.example.test", "burst"));
    for (int i = 0; i < 1000; ++i) failures.add("Datagram " + std::to_string(i) + " dropped");
    // The first at once, then the count of the rest, with no later failure to carry it.
    ASSERT_TRUE(waitForCount(sink, "burst", 1000)) << failuresCounted(sink, "burst");
    const auto records = sink.records();
    EXPECT_LE(records.size(), 3u);
    EXPECT_EQ(records.front().message, "Datagram 0 dropped");
    // Under the latest reason it counts; a loaded machine may have split the burst.
    EXPECT_TRUE(records.back().message.starts_with("Datagram 999 dropped")) << records.back().message;
    for (const auto& record : records) EXPECT_EQ(record.level, oslog::Level::error);
    // The next burst, a single failure, is written too.
    failures.add("Datagram 1000 dropped");
    EXPECT_TRUE(waitForCount(sink, "burst", 1001));
    EXPECT_EQ(sink.records().back().message, "Datagram 1000 dropped");
}

TEST(LogFailures, ACountPendingIsWrittenByFlushAndWhenItsLogIsDestroyed) {
    oslog::MemorySink sink;
    {
        oslog::FailureLog failures(oslog::Logger("com.example.test", "destroyed"));
        for (int i = 0; i < 3; ++i) failures.add("refused " + std::to_string(i));
    }
    EXPECT_EQ(failuresCounted(sink, "destroyed"), 3u);
    EXPECT_TRUE(sink.records().back().message.starts_with("refused 2")) << sink.records().back().message;

    oslog::FailureLog failures(oslog::Logger("com.example.test", "flushed"));
    for (int i = 0; i < 3; ++i) failures.add("refused " + std::to_string(i));
    oslog::flush();
    EXPECT_EQ(failuresCounted(sink, "flushed"), 3u);
    EXPECT_TRUE(sink.records().back().message.starts_with("refused 2")) << sink.records().back().message;
}

TEST(LogOutput, ControlCharactersOfAMessageAreWrittenEscaped) {
    if (std::filesystem::exists("/run/systemd/journal/socket")) GTEST_SKIP() << "records go to journald here";
    oslog::MemorySink sink;
    oslog::Logger logger("com.example.test", "unit");
    using namespace std::string_literals;
    const std::string value =
        "alice\r\n2030-01-01 00:00:00.000 [1] <Info> [com.example.test:unit] forged\0tail\x1b[2J\t\x7f"s;
    testing::internal::CaptureStderr();
    logger.info("user %{public}s", value);
    const std::string out = testing::internal::GetCapturedStderr();
    // One line, the whole value in it, nothing cut off at the NUL.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_TRUE(out.ends_with(" [com.example.test:unit] user alice\\r\\n2030-01-01 00:00:00.000 [1] <Info> "
                              "[com.example.test:unit] forged\\x00tail\\x1b[2J\\t\\x7f\n"))
        << out;
    // Sinks see the message as it was made.
    ASSERT_EQ(sink.records().size(), 1u);
    EXPECT_EQ(sink.records()[0].message, "user " + value);

    // A backslash is escaped too: a value that holds "\n" as text prints apart from a line feed.
    testing::internal::CaptureStderr();
    logger.info("%{public}s|%{public}s|%{public}s", "a\nb", "a\\nb", "C:\\x41\\\\");
    const std::string backslashes = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(backslashes.ends_with(" [com.example.test:unit] a\\nb|a\\\\nb|C:\\\\x41\\\\\\\\\n")) << backslashes;
}
