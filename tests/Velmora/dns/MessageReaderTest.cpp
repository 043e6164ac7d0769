// Reading: decoded fields, the failure raised for each malformed layout, hostile pointers.
#include "Velmora/dns/MessageReader.hpp"
#include "WireHelpers.hpp"

#include <string>

namespace velmora::dns::test {
namespace {

// One answer owned by the root name, class IN, TTL 0, with `rest` = RDATA length and RDATA.
Bytes answer(std::string_view type, std::string_view rest) { return hex("00") + hex(type) + hex("00 01 00 00 00 00") + hex(rest); }

Bytes label(std::size_t length, char fill = 'a')
{
    Bytes out(length + 1, static_cast<std::uint8_t>(fill));
    out[0] = static_cast<std::uint8_t>(length);
    return out;
}

const Bytes questionAbc = hex("03 61 62 63 00 00 01 00 01"); // at offset 12

TEST(Reader, IgnoresReservedFlagsAndTrailingBytes)
{
    const auto reserved = deserializeMessage(header(0, 0, 0, 0, 0x0070) + Bytes(100, 0xFF));
    EXPECT_EQ(describe(reserved), describe(deserializeMessage(header(0))));
}

TEST(Reader, ReadsNamesWithAndWithoutPointers)
{
    // A second question "xy" + pointer to the first; its type and class are read after the pointer.
    const auto m = deserializeMessage(header(2) + questionAbc + hex("02 78 79 C0 0C 00 1C 80 01"));
    EXPECT_EQ(m.questions.at(1).name, "xy.abc.");
    EXPECT_TRUE(m.questions[1].type == RecordType::host6 && m.questions[1].unique && m.questions[1].internetClass == 1);

    // A label holding a dot stays one piece when read directly; behind a pointer the name is re-split.
    const auto dotted = deserializeMessage(header(2) + hex("01 2E 01 61 00 00 01 00 01 C0 0C 00 01 00 01"));
    EXPECT_EQ(dotted.questions[0].name, "..a.");
    EXPECT_EQ(dotted.questions[1].name, "a.");

    // Lengths 0x40 to 0xBF are labels; case and UTF-8 text are kept.
    const auto wide = deserializeMessage(header(1) + label(0x7F) + hex("00 00 01 00 01"));
    EXPECT_EQ(wide.questions[0].name, std::string(0x7F, 'a') + ".");
    std::size_t position = 0;
    EXPECT_EQ(deserializeName(hex("05 C3 A9 41 62 63 00"), position), "\xC3\xA9" "Abc.");
    EXPECT_EQ(position, 7u);
}

TEST(Reader, ReadsRecordKinds)
{
    const auto m = deserializeMessage(header(0, 5) + answer("00 01", "00 04 C0 00 02 01") +
                                      answer("00 0F", "00 04 00 0A C0 0C") + answer("00 63", "00 00") +
                                      answer("00 10", "00 0A 03 61 3D 31 01 62 03 61 3D 32") +
                                      answer("00 10", "00 09 05 78 3D 79 3D 7A 02 3D 76"));
    ASSERT_EQ(m.answers.size(), 5u);
    EXPECT_EQ(presentation(std::get<HostRecord>(m.answers[0]).ip), "192.0.2.1");
    // Types without a kind of their own keep their data raw, pointers included.
    EXPECT_EQ(std::get<Record>(m.answers[1]).type, RecordType::mailExchange);
    EXPECT_EQ(std::get<Record>(m.answers[1]).data, hex("00 0A C0 0C"));
    EXPECT_TRUE(std::get<Record>(m.answers[2]).data.empty());

    const auto& txt = std::get<TextRecord>(m.answers[3]);
    EXPECT_EQ(txt.attributes, (std::map<std::string, std::string>{{"a", "2"}}));
    EXPECT_EQ(txt.values, std::vector<std::string>{"b"});
    EXPECT_EQ(std::get<TextRecord>(m.answers[4]).attributes,
              (std::map<std::string, std::string>{{"x", "y=z"}, {"", "v"}}));
}

// A zero-length TXT string ends the strings, but the next record still starts where the length says.
TEST(Reader, EmptyTextStringSkipsToTheRecordEnd)
{
    const auto m = deserializeMessage(header(0, 2) + answer("00 10", "00 05 00 03 6B 3D 76") +
                                      answer("00 0C", "00 05 03 61 62 63 00"));
    ASSERT_EQ(m.answers.size(), 2u);
    EXPECT_TRUE(std::get<TextRecord>(m.answers[0]).attributes.empty());
    EXPECT_EQ(std::get<PointerRecord>(m.answers[1]).destination, "abc.");
}

TEST(Reader, ReportsTheFailureOfEachMalformedLayout)
{
    struct Case {
        const char* what;
        Bytes wire;
        DecodeError::Reason reason;
    };
    const Case cases[] = {
        {"empty", {}, DecodeError::invalidMessageSize},
        {"short header", Bytes(11, 0), DecodeError::invalidMessageSize},
        {"question without type", header(1) + hex("03 61 62 63 00"), DecodeError::invalidIntegerSize},
        {"name without its zero", header(1) + hex("03 61 62 63"), DecodeError::invalidLabelOffset},
        {"label past the end", header(1) + hex("05 61 62"), DecodeError::invalidLabelSize},
        {"half a pointer", header(1) + hex("C0"), DecodeError::invalidIntegerSize},
        {"pointer to itself", header(1) + hex("C0 0C 00 01 00 01"), DecodeError::invalidLabelOffset},
        {"pointer into its own name", header(1) + hex("01 61 C0 0E 00 01 00 01"), DecodeError::invalidLabelOffset},
        {"pointer past the data", header(1) + hex("FF FF 00 01 00 01"), DecodeError::invalidLabelOffset},
        {"forward pointer", header(2) + hex("C0 12 00 01 00 01 01 61 00 00 01 00 01"),
         DecodeError::invalidLabelOffset},
        {"byte FF in a label", header(1) + hex("02 61 FF 00 00 01 00 01"), DecodeError::unicodeDecodingError},
        {"overlong UTF-8", header(1) + hex("02 C0 80 00 00 01 00 01"), DecodeError::unicodeDecodingError},
        {"A of 5 bytes", header(0, 1) + answer("00 01", "00 05 01 02 03 04 05"), DecodeError::invalidIPAddress},
        {"A cut short", header(0, 1) + answer("00 01", "00 04 01 02 03"), DecodeError::invalidDataSize},
        {"AAAA of 4 bytes", header(0, 1) + answer("00 1C", "00 04 01 02 03 04"), DecodeError::invalidIPAddress},
        {"record length cut", header(0, 1) + answer("00 05", "00"), DecodeError::invalidIntegerSize},
        {"SRV shorter than its length", header(0, 1) + answer("00 21", "00 08 00 01 00 02 00 03 00 00"),
         DecodeError::invalidDataSize},
        {"SRV longer than its length", header(0, 1) + answer("00 21", "00 06 00 01 00 02 00 03 00"),
         DecodeError::invalidDataSize},
        {"SOA longer than its length", header(0, 1) + answer("00 06", "00 15") + Bytes(22, 0),
         DecodeError::invalidDataSize},
        {"CNAME outside its length", header(0, 1) + answer("00 05", "00 00 03 61 62 63 00"),
         DecodeError::invalidDataSize},
        {"PTR shorter than its length", header(0, 1) + answer("00 0C", "00 03 00 00 00"), DecodeError::invalidDataSize},
        {"TXT string past its length", header(0, 1) + answer("00 10", "00 02 05 61 62 63 64 65"),
         DecodeError::invalidDataSize},
        {"TXT not UTF-8", header(0, 1) + answer("00 10", "00 02 01 FE"), DecodeError::unicodeDecodingError},
        {"count beyond the entries", header(1, 1) + questionAbc, DecodeError::invalidLabelOffset},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeFailure(c.wire), c.reason) << c.what;
}

TEST(Reader, BoundsNamesTo255Octets)
{
    // 4 labels of 60: 245 octets. A 9-byte label in front makes 255, a 10-byte one 256.
    Bytes long245 = label(60) + label(60) + label(60) + label(60) + hex("00");
    const Bytes first = header(2) + long245 + hex("00 01 00 01");
    const auto fits = deserializeMessage(first + label(9, 'b') + hex("C0 0C 00 01 00 01"));
    EXPECT_EQ(fits.questions[1].name.size(), 9u + 1 + 4 * 61);
    EXPECT_EQ(decodeFailure(first + label(10, 'b') + hex("C0 0C 00 01 00 01")), DecodeError::invalidLabelSize);
    // Labels of up to 191 bytes are allowed one at a time, but two never make a name.
    EXPECT_EQ(decodeFailure(header(1) + label(0xBF) + label(0xBF) + hex("00 00 01 00 01")),
              DecodeError::invalidLabelSize);
}

// A chain of `links` pointers, each to the one before, ending at the question's name "a".
Bytes pointerChain(std::size_t links)
{
    Bytes chain;
    for (std::size_t k = 0; k < links; ++k) {
        const std::size_t target = k == 0 ? 12 : 30 + 2 * (k - 1);
        chain.push_back(static_cast<std::uint8_t>(0xC0 | target >> 8));
        chain.push_back(static_cast<std::uint8_t>(target));
    }
    const std::size_t length = chain.size();
    const std::size_t last = 30 + 2 * (links - 1);
    // The chain sits in the data of a type-99 record; a second record is owned by its last link.
    return header(1, 2) + hex("01 61 00 00 01 00 01") + hex("00 00 63 00 01 00 00 00 00") +
           Bytes{static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)} + chain +
           Bytes{static_cast<std::uint8_t>(0xC0 | last >> 8), static_cast<std::uint8_t>(last)} +
           hex("00 63 00 01 00 00 00 00 00 00");
}

TEST(Reader, BoundsPointerChains)
{
    EXPECT_EQ(name(deserializeMessage(pointerChain(100)).answers[1]), "a.");
    EXPECT_EQ(decodeFailure(pointerChain(200)), DecodeError::invalidLabelOffset);
    EXPECT_EQ(decodeFailure(pointerChain(8000)), DecodeError::invalidLabelOffset);
}

} // namespace
} // namespace velmora::dns::test
