#include "log/Log.h"

#include <gtest/gtest.h>

#include <string>

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
