#include "Velmora/HexDump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}
}  // namespace

TEST(HexDump, ShortRowIsPaddedToTheHexColumnWidth) {
    const auto abc = bytes({'a', 'b', 'c'});
    const std::string line = "00000000  61 62 63" + std::string(39, ' ') + "  abc";
    EXPECT_EQ(hexDump(0, abc), line);
    EXPECT_EQ(datagramDump(abc), "\n" + line + "\n");
    EXPECT_EQ(datagramDump({}), "\n");
}

TEST(HexDump, FullRowsAndTheRemainderRow) {
    std::vector<std::uint8_t> data(17);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>('A' + i);
    std::vector<std::string> lines;
    hexDumpLines(data, 16, [&](const std::string& line) { lines.push_back(line); });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 75u);
    EXPECT_EQ(lines[0], "00000000  41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50  ABCDEFGHIJKLMNOP");
    EXPECT_EQ(lines[1], "00000010  51" + std::string(45, ' ') + "  Q");

    std::vector<std::uint8_t> big(0x120, 0);
    std::string dump = datagramDump(big);
    EXPECT_NE(dump.find("\n00000110  "), std::string::npos);
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 19);
}

TEST(HexDump, OnlyPrintableAsciiShowsAsItself) {
    EXPECT_EQ(hexDump(0, bytes({0, 10, 13, 127, 128, 200, 255, 32, '~'})).substr(59), "....... ~");
    EXPECT_EQ(hexByte(0xab), "ab");
    EXPECT_EQ(hexByte(0x05), "05");
}
