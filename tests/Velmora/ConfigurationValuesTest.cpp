#include "Velmora/ConfigurationValues.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ConfigurationValues, WhatEachValueMayHold) {
    using Texts = std::vector<std::string>;
    for (const auto& region : Texts{"syd-1", "eu", "A1", std::string(63, 'a')})
        EXPECT_FALSE(configurationValueProblem("region", region)) << region;
    for (const auto& region : Texts{"evil.test/", "", "-eu", "eu-", "e_u", "eu.x", std::string(64, 'a')})
        EXPECT_TRUE(configurationValueProblem("region", region)) << region;

    for (const char* server :
         {"dns.brimvale.example", "dns.brimvale.example.", "127.0.0.1:8443", "[::1]:443", "[fd00::2]"})
        EXPECT_FALSE(configurationValueProblem("serverAddress", server)) << server;
    for (const char* server : {"", "evil.test/x?", "user@dns.example", "dns..example", "::1", "dns.example:",
                               "dns.example:123456", "[::1]x", "[]"})
        EXPECT_TRUE(configurationValueProblem("serverAddress", server)) << server;

    EXPECT_FALSE(configurationValueProblem("deviceId", "../../../../etc/passwd"));
    for (const char* device : {"", ".", ".."}) EXPECT_TRUE(configurationValueProblem("deviceId", device)) << device;
    EXPECT_EQ(urlPathSegment("../../../../etc/passwd"), "..%2F..%2F..%2F..%2Fetc%2Fpasswd");
    EXPECT_EQ(urlPathSegment("bv.usa_1~-"), "bv.usa_1~-");
    EXPECT_EQ(urlPathSegment("a b?#%\xc3\xa9"), "a%20b%3F%23%25%C3%A9");

    // Control characters go nowhere; anything else is the service's business.
    EXPECT_EQ(configurationValueProblem("bypassDomains", "a.com\tb.com"), "it holds a control character");
    EXPECT_FALSE(configurationValueProblem("userName", "Zo\xc3\xab O'Brien, class 3"));
}
