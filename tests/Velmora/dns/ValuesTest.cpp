// Address values, record equality and hashing, and the text forms.
#include "Velmora/dns/Message.hpp"
#include "WireHelpers.hpp"

namespace velmora::dns::test {
namespace {

TEST(Address, ConvertsBetweenTextIntegersAndBytes)
{
    EXPECT_EQ(IPv4::fromText("10.0.0.1")->bytes(), hex("0A 00 00 01"));
    EXPECT_EQ(IPv4(0x7F000001).presentation(), "127.0.0.1");
    EXPECT_EQ(IPv4(0x7F000001).bytes(), hex("7F 00 00 01"));
    EXPECT_EQ(IPv4::fromNetworkBytes(hex("C0 A8 01 02"))->presentation(), "192.168.1.2");

    for (const char* text : {"1.2.3", "1.2.3.256", "", "::1"}) EXPECT_FALSE(IPv4::fromText(text)) << text;
    EXPECT_FALSE(IPv4::fromText(std::string_view("1.2.3.4\0", 8)));
    EXPECT_FALSE(IPv6::fromText("1.2.3.4"));
    for (std::size_t size : {0, 3, 5}) EXPECT_FALSE(IPv4::fromNetworkBytes(Bytes(size, 1)));
    for (std::size_t size : {4, 15, 17}) EXPECT_FALSE(IPv6::fromNetworkBytes(Bytes(size, 1)));
}

TEST(Address, SpellingsOfOneIPv6AddressAreOneValue)
{
    const auto shortForm = *IPv6::fromText("::1");
    const auto longForm = *IPv6::fromText("0:0:0:0:0:0:0:1");
    EXPECT_EQ(shortForm, longForm);
    EXPECT_EQ(std::hash<IPv6>{}(shortForm), std::hash<IPv6>{}(longForm));
    EXPECT_EQ(longForm.bytes(), Bytes(15, 0) + hex("01"));
    EXPECT_NE(IP(IPv4(1)), IP(*IPv6::fromText("::1")));
}

TEST(RecordEquality, ComparesOnlyTheNamedFields)
{
    const HostRecord a{"a.", false, 1, 60, IPv4(1)};
    const HostRecord differentData{"a.", true, 3, 99, IPv4(2)};
    EXPECT_EQ(a, differentData);
    EXPECT_EQ(std::hash<HostRecord>{}(a), std::hash<HostRecord>{}(differentData));
    EXPECT_NE(a, (HostRecord{"a.", false, 1, 60, *IPv6::fromText("::1")})); // other address kind
    EXPECT_NE(a, (HostRecord{"a", false, 1, 60, IPv4(1)}));                 // no dot folding
    EXPECT_NE(a, (HostRecord{"A.", false, 1, 60, IPv4(1)}));                // no case folding

    EXPECT_EQ((ServiceRecord{"s.", false, 1, 1, 1, 1, 1, "x."}), (ServiceRecord{"s.", true, 2, 2, 2, 2, 2, "y."}));

    const PointerRecord p{"p.", false, 1, 1, "d."};
    const PointerRecord otherName{"q.", false, 1, 1, "d."};
    EXPECT_NE(p, otherName);
    EXPECT_EQ(std::hash<PointerRecord>{}(p), std::hash<PointerRecord>{}(otherName));
    EXPECT_NE(p, (PointerRecord{"p.", false, 1, 1, "e."}));
}

TEST(Text, MessageDescription)
{
    Message m;
    EXPECT_EQ(m.debugDescription(), "DNS Request(id: 0, authoritativeAnswer: false, truncation: false, "
                                    "recursionDesired: false, recursionAvailable: false, questions: [], answers: [], "
                                    "authorities: [], additional: [])");
    m.operationCode = 20; // kept unchanged, never shown
    m.returnCode = 3;
    m.type = MessageType::response;
    EXPECT_TRUE(m.debugDescription().starts_with(
        "DNS Response(id: 0, returnCode: 3, authoritativeAnswer: false, truncation: false"));
}

} // namespace
} // namespace velmora::dns::test
