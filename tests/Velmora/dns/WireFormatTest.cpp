// Known byte layouts, read and written both ways.
#include "Velmora/dns/MessageWriter.hpp"
#include "WireHelpers.hpp"

namespace velmora::dns::test {
namespace {

struct WireCase {
    const char* what;
    Message message;
    Bytes wire;
};

Message response(std::vector<ResourceRecord> answers)
{
    Message m;
    m.type = MessageType::response;
    m.authoritativeAnswer = true;
    m.answers = std::move(answers);
    return m;
}

std::vector<WireCase> wireCases()
{
    const Question abc{"ab.c.", RecordType::host, false, RecordClass::internet};
    const auto ip6 = *IPv6::fromText("2001:db8::1");
    std::vector<WireCase> cases;

    cases.push_back({"all-zero query", Message{}, Bytes(12, 0)});

    Message query;
    query.id = 0x1234;
    query.recursionDesired = true;
    query.questions = {abc};
    cases.push_back({"query with one question", query,
                     hex("12 34 01 00 00 01 00 00 00 00 00 00 02 61 62 01 63 00 00 01 00 01")});

    Message answered = query;
    answered.type = MessageType::response;
    answered.recursionAvailable = true;
    answered.answers = {HostRecord{"ab.c.", false, 1, 3600, *IPv4::fromText("10.0.0.1")}};
    cases.push_back({"answer owner compressed to the question", answered,
                     hex("12 34 81 80 00 01 00 01 00 00 00 00 02 61 62 01 63 00 00 01 00 01"
                         "C0 0C 00 01 00 01 00 00 0E 10 00 04 0A 00 00 01")});

    Message withRoots;
    withRoots.id = 7;
    withRoots.questions = {abc};
    withRoots.additional = {Record{".", 41, 4096, false, 0, {}}, Record{".", 99, 1, true, 60, {1, 2}}};
    cases.push_back({"second root name is a pointer; unique class bit", withRoots,
                     hex("00 07 00 00 00 01 00 00 00 00 00 02 02 61 62 01 63 00 00 01 00 01"
                         "00 00 29 10 00 00 00 00 00 00 00"
                         "C0 16 00 63 80 01 00 00 00 3C 00 02 01 02")});

    cases.push_back({"TXT attribute with an empty value", response({TextRecord{"x.", false, 1, 60, {{"k", ""}}, {}}}),
                     hex("00 00 84 00 00 00 00 01 00 00 00 00 01 78 00 00 10 00 01 00 00 00 3C 00 03 02 6B 3D")});

    cases.push_back({"SOA with negative refresh",
                     response({StartOfAuthorityRecord{"x.", false, 1, 60, "ns.x.", "x.", 1, -1, 10, 100,
                                                      4294967295u}}),
                     hex("00 00 84 00 00 00 00 01 00 00 00 00 01 78 00 00 06 00 01 00 00 00 3C 00 1C"
                         "02 6E 73 01 78 00 C0 0C 00 00 00 01 FF FF FF FF 00 00 00 0A 00 00 00 64 FF FF FF FF")});

    cases.push_back({"AAAA", response({HostRecord{"x.", false, 1, 60, ip6}}),
                     hex("00 00 84 00 00 00 00 01 00 00 00 00 01 78 00 00 1C 00 01 00 00 00 3C 00 10"
                         "20 01 0D B8 00 00 00 00 00 00 00 00 00 00 00 01")});

    cases.push_back({"SRV with compressed server", response({ServiceRecord{"x.", false, 1, 60, 1, 2, 443, "x."}}),
                     hex("00 00 84 00 00 00 00 01 00 00 00 00 01 78 00 00 21 00 01 00 00 00 3C 00 08"
                         "00 01 00 02 01 BB C0 0C")});

    cases.push_back({"CNAME then PTR sharing names",
                     response({AliasRecord{"x.", false, 1, 60, "y.x."}, PointerRecord{"y.x.", false, 1, 60, "x."}}),
                     hex("00 00 84 00 00 00 00 02 00 00 00 00 01 78 00 00 05 00 01 00 00 00 3C 00 05"
                         "01 79 01 78 00 C0 19 00 0C 00 01 00 00 00 3C 00 02 C0 0C")});
    return cases;
}

TEST(WireFormat, KnownLayoutsAreWrittenAndReadBack)
{
    for (const auto& c : wireCases()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.message.serialize(), c.wire);
        EXPECT_EQ(describe(deserializeMessage(c.wire)), describe(c.message));
        EXPECT_EQ(describe(Message::deserializeTCP(c.message.serializeTCP())), describe(c.message));
    }
}

// With every record consuming exactly its length, no shortened message is complete.
TEST(WireFormat, EveryPrefixFailsCleanly)
{
    for (const auto& c : wireCases()) {
        for (std::size_t length = 0; length < c.wire.size(); ++length) {
            const Bytes prefix(c.wire.begin(), c.wire.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_THROW(deserializeMessage(prefix), DecodeError) << c.what << ", " << length << " bytes";
        }
    }
}

TEST(WireFormat, TcpFormFramesOneMessage)
{
    EXPECT_EQ(Message{}.serializeTCP(), hex("00 0C") + Bytes(12, 0));
    const Bytes framed = hex("00 0C") + header(0, 0, 0, 0, 0x8180);
    EXPECT_EQ(describe(Message::deserializeTCP(framed + Bytes(5, 0xEE))), describe(Message::deserializeTCP(framed)));
    for (const Bytes& bad : {Bytes{}, hex("00"), hex("00 0C") + Bytes(11, 0)}) {
        EXPECT_THROW(Message::deserializeTCP(bad), DecodeError);
    }
}

TEST(WireFormat, WriterCompressesByExactText)
{
    Message m;
    m.questions = {{"ab.c.", 1, true, 1}};
    m.answers = {HostRecord{"ab.c", false, 1, 0, IPv4(0x0A000001)}};
    const Bytes wire = m.serialize();
    // The question's unique flag is not written; the unterminated owner name only shares the suffix "c".
    EXPECT_EQ(Bytes(wire.begin() + 12, wire.begin() + 29),
              hex("02 61 62 01 63 00 00 01 00 01 02 61 62 C0 0F 00 01"));

    Message dotted, undotted;
    dotted.questions = {{"ab.c.", 1, false, 1}};
    undotted.questions = {{"ab.c", 1, false, 1}};
    EXPECT_EQ(undotted.serialize(), dotted.serialize());
}

} // namespace
} // namespace velmora::dns::test
