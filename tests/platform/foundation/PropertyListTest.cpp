// Property lists that could exhaust the readers: too deep, too large, looping.

#include "foundation/PropertyList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace foundation;

namespace {

std::string nestedXml(std::size_t arrays) {
    std::string text = "<?xml version=\"1.0\"?><!-- <array> --><plist version=\"1.0\">";
    for (std::size_t i = 0; i < arrays; ++i) text += "<array><true/>";
    for (std::size_t i = 0; i < arrays; ++i) text += "</array>";
    return text + "</plist>";
}

// A binary property list of the given objects (object 0 on top), whose references
// are four bytes wide.
std::string binaryPlist(const std::vector<std::string>& objects) {
    auto bigEndian = [](std::uint64_t value, int size) {
        std::string bytes;
        for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) bytes += static_cast<char>(value >> shift);
        return bytes;
    };
    std::string data = "bplist00";
    std::string table;
    for (const auto& object : objects) {
        table += bigEndian(data.size(), 4);
        data += object;
    }
    const std::uint64_t tableOffset = data.size();
    data += table;
    data += std::string(6, '\0') + '\x04' + '\x04';
    return data + bigEndian(objects.size(), 8) + bigEndian(0, 8) + bigEndian(tableOffset, 8);
}

// Bytes of a literal, embedded zeros included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// Arrays nested `depth` deep: each holds the next, the last is empty.
std::string nestedBinary(std::uint32_t depth) {
    std::vector<std::string> objects;
    for (std::uint32_t i = 1; i < depth; ++i)
        objects.push_back(std::string("\xA1") + char(i >> 24) + char(i >> 16) + char(i >> 8) + char(i));
    objects.push_back("\xA0");
    return binaryPlist(objects);
}

std::size_t arrayDepth(const Value& value) {
    std::size_t depth = 0;
    for (const Value* at = &value; at && at->array(); at = at->array()->empty() ? nullptr : &at->array()->back())
        ++depth;
    return depth;
}

class PropertyListFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brimvale-plist-XXXXXX";
        folder_ = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

}  // namespace

TEST(PropertyListLimits, NestingBeyondTheLimitIsRefusedInBothForms) {
    static_assert(maxPropertyListDepth == 512);
    std::string error;
    // The plist element counts as a level of the XML form.
    auto deepest = parsePropertyList(nestedXml(511), &error);
    ASSERT_TRUE(deepest) << error;
    EXPECT_EQ(arrayDepth(*deepest), 511u);
    EXPECT_FALSE(parsePropertyList(nestedXml(512), &error));
    EXPECT_EQ(error, "nested deeper than 512 levels");
    // Deep enough to overflow any stack if followed.
    error.clear();
    EXPECT_FALSE(parsePropertyList(nestedXml(200'000), &error));
    EXPECT_EQ(error, "nested deeper than 512 levels");

    deepest = parsePropertyList(nestedBinary(512), &error);
    ASSERT_TRUE(deepest) << error;
    EXPECT_EQ(arrayDepth(*deepest), 512u);
    for (std::uint32_t depth : {513u, 50'000u}) {
        error.clear();
        EXPECT_FALSE(parsePropertyList(nestedBinary(depth), &error));
        EXPECT_EQ(error, "nested deeper than 512 levels") << depth;
    }
    // A chain of 511 arrays, held by the top array at once and again one level lower:
    // 513 levels, though the chain is walked only the first time.
    auto reference = [](std::uint32_t object) { return std::string{char(0), char(0), char(object >> 8), char(object)}; };
    std::vector<std::string> objects{"\xA2" + reference(1) + reference(512)};
    for (std::uint32_t i = 1; i < 511; ++i) objects.push_back("\xA1" + reference(i + 1));
    objects.push_back("\xA0");
    objects.push_back("\xA1" + reference(1));
    error.clear();
    EXPECT_FALSE(parsePropertyList(binaryPlist(objects), &error));
    EXPECT_EQ(error, "nested deeper than 512 levels");
}

// Elements are counted as libplist would build them: in a binary list, an object that
// several refer to once for each reference.
TEST(PropertyListLimits, ElementsBeyondTheLimitAreRefusedInBothForms) {
    static_assert(maxPropertyListElements == 100'000);
    auto trues = [](std::size_t count) {
        std::string text = "<plist><array>";
        for (std::size_t i = 0; i < count; ++i) text += "<true/>";
        return text + "</array></plist>";
    };
    std::string error;
    auto largest = parsePropertyList(trues(99'998), &error);
    ASSERT_TRUE(largest) << error;
    EXPECT_EQ(largest->array()->size(), 99'998u);
    EXPECT_FALSE(parsePropertyList(trues(99'999), &error));
    EXPECT_EQ(error, "more than 100000 elements");

    // Arrays that hold the next one twice: 2^(levels + 1) - 1 elements in a few bytes.
    auto doubling = [](std::uint32_t levels) {
        std::vector<std::string> objects;
        for (std::uint32_t i = 1; i <= levels; ++i) {
            const std::string next{char(i >> 24), char(i >> 16), char(i >> 8), char(i)};
            objects.push_back("\xA2" + next + next);
        }
        objects.push_back("\xA0");
        return binaryPlist(objects);
    };
    auto within = parsePropertyList(doubling(15), &error);
    ASSERT_TRUE(within) << error;
    EXPECT_EQ(arrayDepth(*within), 16u);
    error.clear();
    EXPECT_FALSE(parsePropertyList(doubling(20), &error));
    EXPECT_EQ(error, "more than 100000 elements");
}

TEST(PropertyListLimits, BinaryTablesAreFollowedSafely) {
    std::string error;
    // A dictionary whose two values share one array: walked once, read twice.
    auto shared = parsePropertyList(
        binaryPlist({bytes("\xD2\0\0\0\x01\0\0\0\x02\0\0\0\x03\0\0\0\x03"), "\x51" "a", "\x51" "b",
                     bytes("\xA1\0\0\0\x04"), "\x09"}),
        &error);
    ASSERT_TRUE(shared) << error;
    EXPECT_EQ(describe(*shared), "{a = (1); b = (1); }");

    // A text holding a zero byte, on which libplist's own accessor aborts.
    auto zero = parsePropertyList(binaryPlist({bytes("\x63\0a\0\0\0b")}), &error);
    ASSERT_TRUE(zero) << error;
    EXPECT_EQ(*zero, Value(std::string("a\0b", 3)));

    // An array holding itself, and a reference past the last object.
    for (const auto& bad : {binaryPlist({bytes("\xA1\0\0\0\0")}), binaryPlist({bytes("\xA1\0\0\0\x07")})}) {
        error.clear();
        EXPECT_FALSE(parsePropertyList(bad, &error));
        EXPECT_EQ(error, "not a property list");
    }
    EXPECT_FALSE(parsePropertyList("bplist00", &error));
}

TEST(PropertyListDescription, EachKindIsWrittenAsTheSystemWritesIt) {
    const Value value = Dictionary{
        {"plain_name.v2/x", Array{Value(true), Value(false), Value(std::int64_t{-7}), Value(1.5)}},
        {"two words", Value(std::string("say \"hi\" \\ ok"))},
        {"", Value(Data{0x00, 0x1f, 0xab, 0xff, 0x10})},
    };
    EXPECT_EQ(describe(value),
              "{\"\" = <001fabff 10>; plain_name.v2/x = (1, 0, -7, 1.5); \"two words\" = \"say \\\"hi\\\" \\\\ ok\"; }");
}

TEST_F(PropertyListFiles, ReadErrorsNameTheFileAndTellMissingFromUnreadableFromMalformed) {
    ReadError error;
    EXPECT_FALSE(readPropertyList(folder_ / "absent.plist", &error));
    EXPECT_EQ(error.kind, ReadError::Kind::missing);

    fs::create_directory(folder_ / "folder.plist");
    EXPECT_FALSE(readPropertyList(folder_ / "folder.plist", &error));
    EXPECT_EQ(error.kind, ReadError::Kind::unreadable);
    EXPECT_EQ(error.message, (folder_ / "folder.plist").string() + ": Is a directory");

    std::ofstream(folder_ / "deep.plist") << nestedXml(100'000);
    EXPECT_FALSE(readPropertyList(folder_ / "deep.plist", &error));
    EXPECT_EQ(error.kind, ReadError::Kind::malformed);
    EXPECT_EQ(error.message, (folder_ / "deep.plist").string() + ": nested deeper than 512 levels");

    // Refused by its size alone: the sparse file is never read.
    const fs::path huge = folder_ / "huge.plist";
    std::ofstream(huge) << nestedXml(1);
    fs::resize_file(huge, maxPropertyListBytes + 1);
    EXPECT_FALSE(readPropertyList(huge, &error));
    EXPECT_EQ(error.kind, ReadError::Kind::malformed);
    EXPECT_EQ(error.message, huge.string() + ": larger than 8 MiB");

    // What is no regular file is refused unread: a FIFO would block the reader, a
    // device would never end.
    const fs::path fifo = folder_ / "fifo.plist";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& special : {fifo, fs::path("/dev/zero")}) {
        EXPECT_FALSE(readPropertyList(special, &error));
        EXPECT_EQ(error.kind, ReadError::Kind::unreadable);
        EXPECT_EQ(error.message, special.string() + ": not a regular file");
    }

    std::ofstream(folder_ / "text.plist") << "plain words";
    EXPECT_FALSE(readPropertyList(folder_ / "text.plist", &error));
    EXPECT_EQ(error.message, (folder_ / "text.plist").string() + ": not a property list");
}
