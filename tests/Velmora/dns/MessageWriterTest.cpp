// Writer to reader and back, over generated messages, and the writer's limits.
#include "Velmora/dns/MessageWriter.hpp"
#include "WireHelpers.hpp"

#include <algorithm>
#include <random>

namespace velmora::dns::test {
namespace {

// Random messages over a growing pool of names, so that later names compress against earlier ones.
class MessageGenerator {
public:
    explicit MessageGenerator(unsigned seed) : random_(seed) {}

    Message message()
    {
        Message m{word(), number(0, 1) ? MessageType::response : MessageType::query, std::uint8_t(number(0, 15)),
                  bit(), bit(), bit(), bit(), std::uint8_t(number(0, 15)), {}, {}, {}, {}};
        // The unique bit of a question is not written, so generated questions never set it.
        for (int i = number(0, 3); i > 0; --i) m.questions.push_back({name(), word(), false, klass()});
        for (auto* section : {&m.answers, &m.authorities, &m.additional}) {
            for (int i = number(0, 5); i > 0; --i) section->push_back(record());
        }
        return m;
    }

private:
    ResourceRecord record()
    {
        static constexpr std::uint16_t rawTypes[] = {2, 15, 41, 99, 255, 65535}; // no record kind of their own
        const auto n = name();
        const bool u = bit();
        const auto c = klass();
        const auto t = std::uint32_t(random_());
        switch (number(0, 7)) {
        case 0: return Record{n, rawTypes[number(0, 5)], c, u, t, bytes(number(0, 40))};
        case 1: return HostRecord{n, u, c, t, IPv4(std::uint32_t(random_()))};
        case 2: return HostRecord{n, u, c, t, *IPv6::fromNetworkBytes(bytes(16))};
        case 3: return ServiceRecord{n, u, c, t, word(), word(), word(), name()};
        case 4: {
            TextRecord r{n, u, c, t, {}, {}};
            for (int i = number(0, 4); i > 0; --i) r.attributes[text(number(0, 10), false)] = text(number(0, 30), true);
            return r;
        }
        case 5: return PointerRecord{n, u, c, t, name()};
        case 6: return AliasRecord{n, u, c, t, name()};
        default: return StartOfAuthorityRecord{n, u, c, t, name(), name(), t, std::int32_t(t), -1, 0, 0xFFFFFFFF};
        }
    }

    // The root, a name from the pool, or a new label in front of a pool name or of nothing.
    std::string name()
    {
        const int choice = number(0, 9);
        if (choice == 0) return ".";
        if (choice < 5 && !pool_.empty()) return pool_[std::size_t(number(0, int(pool_.size()) - 1))];
        const std::string parent = choice > 7 || pool_.empty() ? "" : pool_[std::size_t(number(0, int(pool_.size()) - 1))];
        std::string fresh = text(number(1, 12), false) + "." + (parent == "." || parent.size() > 200 ? "" : parent);
        pool_.push_back(fresh);
        return fresh;
    }

    int number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool bit() { return number(0, 1); }
    std::uint16_t word() { return std::uint16_t(number(0, 0xFFFF)); }
    std::uint16_t klass() { return std::uint16_t(number(0, 0x7FFF)); }
    Bytes bytes(int count)
    {
        Bytes out(static_cast<std::size_t>(count));
        std::generate(out.begin(), out.end(), [this] { return std::uint8_t(random_()); });
        return out;
    }
    // Letters of both cases, digits, "-", "_", multi-byte UTF-8, and "=" only where allowed.
    std::string text(int count, bool allowEquals)
    {
        static const std::string_view pieces[] = {"a", "Z", "7", "-", "_", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "="};
        std::string out;
        for (int i = 0; i < count; ++i) out += pieces[number(0, allowEquals ? 8 : 7)];
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
    const auto withAnswer = [](ResourceRecord record) {
        Message m;
        m.answers = {std::move(record)};
        return m;
    };
    const auto withLabel = [&](std::size_t n) { return withAnswer(Record{std::string(n, 'a'), 99, 1, false, 0, {}}); };
    EXPECT_EQ(withLabel(100).serialize()[12], 0x64);
    EXPECT_EQ(name(deserializeMessage(withLabel(0xBF).serialize()).answers[0]).size(), 0xC0u);
    EXPECT_THROW(withLabel(0xC0).serialize(), EncodeError); // its length byte would read as a pointer

    Message codes;
    codes.operationCode = codes.returnCode = 15;
    EXPECT_EQ(codes.serialize()[2], 0x78);
    codes.operationCode = 16;
    EXPECT_THROW(codes.serialize(), EncodeError);
    codes.operationCode = 0;
    codes.returnCode = 200;
    EXPECT_THROW(codes.serialize(), EncodeError);

    EXPECT_NO_THROW(withAnswer(TextRecord{".", false, 1, 0, {{"k", std::string(253, 'v')}}, {}}).serialize());
    EXPECT_THROW(withAnswer(TextRecord{".", false, 1, 0, {{"k", std::string(254, 'v')}}, {}}).serialize(), EncodeError);
    const auto big = withAnswer(Record{".", 99, 1, false, 0, Bytes(0xFFFF, 0)});
    EXPECT_NO_THROW(big.serialize());
    EXPECT_THROW(big.serializeTCP(), EncodeError);
    EXPECT_THROW(withAnswer(Record{".", 99, 1, false, 0, Bytes(0x10000, 0)}).serialize(), EncodeError);
}

} // namespace
} // namespace velmora::dns::test
