#include "Velmora/ConfigurationValues.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::string road(const std::string& given) {
    std::string problem;
    auto host = serverAddressForRoad(given, &problem);
    return host ? *host : "refused: " + problem;
}

}  // namespace

TEST(ConfigurationValues, ServerAddressIsTakenAsTheRoadCanUseItOrRefusedWithItsReason) {
    const std::string notLabels =
        "refused: it is not host labels joined by dots (letters, digits, hyphens and underscores)";
    const std::string badPort = "refused: its port is not a number from 1 to 65535";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"dns.brimvale.example", "dns.brimvale.example"},
        {"dns.brimvale.example.", "dns.brimvale.example"},
        {"dns.brimvale.example.:8443", "dns.brimvale.example:8443"},
        {"doh_1.brimvale.example", "doh_1.brimvale.example"},
        {"127.0.0.1:08443", "127.0.0.1:8443"},
        {"[::1]", "[::1]"},
        {"[fd00::2]:65535", "[fd00::2]:65535"},
        {"B\xc3\xbc" "cher.brimvale.example", "xn--bcher-kva.brimvale.example"},
        {"", notLabels},
        {"dns..example", notLabels},
        {"dns.example..", notLabels},
        {"evil.test/x?", notLabels},
        {"user@dns.example", notLabels},
        {"-dns.example", notLabels},
        {std::string(64, 'a') + ".example", notLabels},
        {"dns.example:", badPort},
        {"dns.example:0", badPort},
        {"dns.example:65536", badPort},
        {"dns.example:99999", badPort},
        {"dns.example:+443", badPort},
        {"::1", notLabels},
        {"[::1]x8443", "refused: only \":\" and a port may follow its IPv6 address"},
        {"[::1]:0", badPort},
        {"[::1", "refused: its IPv6 address has no closing bracket"},
        {"[]", "refused: it holds no IPv6 address in brackets"},
        {"[dns.example]", "refused: it holds no IPv6 address in brackets"},
        {"dns.example\r\nHost: evil", "refused: it holds a control character"},
    };
    for (const auto& [given, expected] : cases) EXPECT_EQ(road(given), expected) << given;
    // A name in Unicode that has no ASCII form is refused with libidn2's reason.
    EXPECT_TRUE(road("\xff.example").starts_with("refused: its name has no ASCII form: ")) << road("\xff.example");
    EXPECT_TRUE(road("a\xe2\x80\x8d" "b.example").starts_with("refused: its name has no ASCII form: "));
}

TEST(ConfigurationValues, RegionNamesTheReportHostOnlyAsHostLabelsJoinedByDots) {
    using Texts = std::vector<std::string>;
    for (const auto& region : Texts{"syd-1", "au.syd-1", "A1", std::string(63, 'a')})
        EXPECT_TRUE(isHostName(region)) << region;
    for (const auto& region :
         Texts{"", "evil.test/", "-eu", "eu-", "e_u", "eu.", ".eu", "eu..x", "a:1", std::string(64, 'a'),
          std::string(254, 'a')})
        EXPECT_FALSE(isHostName(region)) << region;
}

TEST(ConfigurationValues, DeviceIdIsOnePathSegmentWithRfc3986PathCharactersAsWritten) {
    EXPECT_EQ(urlPathSegment("john@school.edu"), "john@school.edu");
    EXPECT_EQ(urlPathSegment("a+b=c;d,e!$&'*:~_-"), "a+b=c;d,e!$&'*:~_-");
    EXPECT_EQ(urlPathSegment("iPad (Room 12)"), "iPad%20(Room%2012)");
    EXPECT_EQ(urlPathSegment("../../../../etc/passwd"), "..%2F..%2F..%2F..%2Fetc%2Fpasswd");
    EXPECT_EQ(urlPathSegment("a\\b?c#d%e\"<>[]^`{|}"), "a%5Cb%3Fc%23d%25e%22%3C%3E%5B%5D%5E%60%7B%7C%7D");
    EXPECT_EQ(urlPathSegment("\xc3\xa9\x7f"), "%C3%A9%7F");
    EXPECT_EQ(urlPathSegment("."), "%2E");
    EXPECT_EQ(urlPathSegment(".."), "%2E%2E");
    EXPECT_EQ(urlPathSegment("..."), "...");
}

TEST(ConfigurationValues, OnlyControlCharactersKeepAValueOutOfTheHeaders) {
    EXPECT_EQ(headerValueProblem("a.com\tb.com"), "it holds a control character");
    EXPECT_EQ(headerValueProblem("x\x7f"), "it holds a control character");
    EXPECT_FALSE(headerValueProblem(""));
    EXPECT_FALSE(headerValueProblem("Zo\xc3\xab O'Brien, class 3 \\n"));
}
