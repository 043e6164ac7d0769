// Writer to reader and back, over generated messages, and the writer's limits.
#include "Velmora/dns/MessageWriter.hpp"
#include "WireHelpers.hpp"

#include <random>

namespace velmora::dns::test {
namespace {

// Random messages over a small pool of names, so that later names compress against earlier ones.
class MessageGenerator {
public:
    explicit MessageGenerator(unsigned seed) : random_(seed) {}

    Message message()
    {
        Message m;
        m.id = static_cast<std::uint16_t>(number(0, 0xFFFF));
        m.type = number(0, 1) ? MessageType::response : MessageType::query;
        m.operationCode = static_cast<std::uint8_t>(number(0, 15));
        m.authoritativeAnswer = number(0, 1);
        m.truncation = number(0, 1);
        m.recursionDesired = number(0, 1);
        m.recursionAvailable = number(0, 1);
        m.returnCode = static_cast<std::uint8_t>(number(0, 15));
        // The unique bit of a question is not written, so generated questions never set it.
        for (int i = number(0, 3); i > 0; --i) m.questions.push_back({name(), type(), false, klass()});
        for (auto* section : {&m.answers, &m.authorities, &m.additional}) {
            for (int i = number(0, 5); i > 0; --i) section->push_back(record());
        }
        return m;
    }

    ResourceRecord record()
    {
        const auto n = name();
        const bool u = number(0, 1);
        const auto c = klass();
        const auto t = static_cast<std::uint32_t>(random_());
        switch (number(0, 7)) {
        case 0: return Record{n, rawType(), c, u, t, bytes(number(0, 40))};
        case 1: return HostRecord{n, u, c, t, IPv4(static_cast<std::uint32_t>(random_()))};
        case 2: return HostRecord{n, u, c, t, *IPv6::fromNetworkBytes(bytes(16))};
        case 3: return ServiceRecord{n, u, c, t, word(), word(), word(), name()};
        case 4: {
            TextRecord r{n, u, c, t, {}, {}};
            for (int i = number(0, 4); i > 0; --i) r.attributes[text(number(0, 10), false)] = text(number(0, 30), true);
            return r;
        }
        case 5: return PointerRecord{n, u, c, t, name()};
        case 6: return AliasRecord{n, u, c, t, name()};
        default:
            return StartOfAuthorityRecord{n, u, c, t, name(), name(), static_cast<std::uint32_t>(random_()),
                                          static_cast<std::int32_t>(random_()), -1, 0, 0xFFFFFFFF};
        }
    }

    // A name from the pool, a new name under a pool name, or the root.
    std::string name()
    {
        const int choice = number(0, 9);
        if (choice == 0) return ".";
        if (choice < 5 && !pool_.empty()) return pool_[static_cast<std::size_t>(number(0, int(pool_.size()) - 1))];
        std::string parent = pool_.empty() || choice > 7 ? "" : pool_[static_cast<std::size_t>(number(0, int(pool_.size()) - 1))];
        std::string fresh = text(number(1, 12), false) + "." + (parent == "." ? "" : parent);
        if (fresh.size() > 200) fresh = text(number(1, 12), false) + ".";
        pool_.push_back(fresh);
        return fresh;
    }

private:
    int number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    std::uint16_t word() { return static_cast<std::uint16_t>(number(0, 0xFFFF)); }
    std::uint16_t klass() { return static_cast<std::uint16_t>(number(0, 0x7FFF)); }
    std::uint16_t type() { return word(); }
    // Types without a record kind of their own.
    std::uint16_t rawType()
    {
        static constexpr std::uint16_t types[] = {2, 15, 41, 99, 255, 65535};
        return types[number(0, 5)];
    }
    Bytes bytes(int count)
    {
        Bytes out(static_cast<std::size_t>(count));
        for (auto& b : out) b = static_cast<std::uint8_t>(random_());
        return out;
    }
    // Letters of both cases, digits, "-", multi-byte UTF-8, and "=" only where allowed.
    std::string text(int count, bool allowEquals)
    {
        static const std::string_view pieces[] = {"a", "Z", "7", "-", "_", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "="};
        std::string out;
        for (int i = 0; i < count; ++i) out += pieces[static_cast<std::size_t>(number(0, allowEquals ? 8 : 7))];
        return out;
    }

    std::mt19937 random_;
    std::vector<std::string> pool_;
};

TEST(RoundTrip, GeneratedMessagesReadBackUnchanged)
{
    MessageGenerator generator(20261209);
    for (int i = 0; i < 400; ++i) {
        const Message original = generator.message();
        const Bytes wire = original.serialize();
        const Message read = deserializeMessage(wire);
        ASSERT_EQ(describe(read), describe(original)) << "message " << i;
        ASSERT_EQ(read.serialize(), wire) << "message " << i;
        ASSERT_EQ(describe(Message::deserializeTCP(original.serializeTCP())), describe(original));
    }
}

// Names first written beyond the reach of a 14-bit pointer are written in full again.
TEST(RoundTrip, NamesBeyondPointerReachAreWrittenInFull)
{
    Message m;
    for (int i = 0; i < 1200; ++i) {
        m.answers.push_back(HostRecord{"host" + std::to_string(i) + ".example.", false, 1, 60, IPv4(1)});
    }
    for (int i = 1199; i >= 0; i -= 7) m.answers.push_back(PointerRecord{"p.", false, 1, 60, name(m.answers[std::size_t(i)])});
    const Bytes wire = m.serialize();
    ASSERT_GT(wire.size(), 0x4000u);
    const Message read = deserializeMessage(wire);
    EXPECT_EQ(describe(read), describe(m));
}

TEST(Writer, RefusesValuesTheFormatCannotHold)
{
    const auto withName = [](std::string name) {
        Message m;
        m.questions = {{std::move(name), 1, false, 1}};
        return m;
    };
    EXPECT_EQ(withName(std::string(100, 'a')).serialize()[12], 0x64);
    EXPECT_EQ(deserializeMessage(withName(std::string(0xBF, 'a')).serialize()).questions[0].name.size(), 0xC0u);
    EXPECT_THROW(withName(std::string(0xC0, 'a')).serialize(), EncodeError); // would read as a pointer

    Message codes;
    codes.operationCode = 15;
    codes.returnCode = 15;
    EXPECT_EQ(codes.serialize()[2], 0x78);
    codes.operationCode = 16;
    EXPECT_THROW(codes.serialize(), EncodeError);
    codes.operationCode = 0;
    codes.returnCode = 200;
    EXPECT_THROW(codes.serialize(), EncodeError);

    Message txt;
    txt.answers = {TextRecord{".", false, 1, 0, {{"k", std::string(253, 'v')}}, {}}};
    EXPECT_NO_THROW(txt.serialize());
    std::get<TextRecord>(txt.answers[0]).attributes["k"] += "v";
    EXPECT_THROW(txt.serialize(), EncodeError);

    Message big;
    big.answers = {Record{".", 99, 1, false, 0, Bytes(0xFFFF, 0)}};
    EXPECT_NO_THROW(big.serialize());
    EXPECT_THROW(big.serializeTCP(), EncodeError);
    std::get<Record>(big.answers[0]).data.push_back(0);
    EXPECT_THROW(big.serialize(), EncodeError);

    Message many;
    many.questions.resize(0x10000);
    EXPECT_THROW(many.serialize(), EncodeError);
}

} // namespace
} // namespace velmora::dns::test
