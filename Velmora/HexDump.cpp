#include "Velmora/HexDump.h"

#include <cctype>
#include <cstdio>

std::string hexByte(std::uint8_t byte) {
    static const char digits[] = "0123456789abcdef";
    return {digits[byte >> 4], digits[byte & 15]};
}

std::string printableCharacter(std::uint8_t byte) {
    if (!std::isprint(byte)) return ".";
    if (byte < 0x80) return std::string(1, static_cast<char>(byte));
    // A code point above 127 that the locale calls printable, as UTF-8.
    return {static_cast<char>(0xc0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3f))};
}

std::string hexDump(std::size_t offset, std::span<const std::uint8_t> bytes) {
    std::string hex;
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) hex += ' ';
        hex += hexByte(bytes[i]);
        text += printableCharacter(bytes[i]);
    }
    if (hex.size() < 47) hex.append(47 - hex.size(), ' ');
    char offsetText[24];
    std::snprintf(offsetText, sizeof offsetText, "%08zx", offset);
    return std::string(offsetText) + "  " + hex + "  " + text;
}

void hexDumpLines(std::span<const std::uint8_t> datagram, std::size_t rowLength,
                  const std::function<void(const std::string&)>& sink) {
    if (rowLength == 0) return;
    for (std::size_t offset = 0; offset < datagram.size(); offset += rowLength)
        sink(hexDump(offset, datagram.subspan(offset, std::min(rowLength, datagram.size() - offset))));
}

std::string datagramDump(std::span<const std::uint8_t> datagram) {
    std::string dump = "\n";
    hexDumpLines(datagram, 16, [&](const std::string& line) { dump += line + "\n"; });
    return dump;
}
