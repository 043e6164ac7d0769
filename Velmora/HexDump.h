#pragma once
// Datagram dumps for the log: rows of 16 bytes, each "%08x  %@  %@" of the offset,
// the bytes in hexadecimal padded to 47 characters, and the printable characters.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

std::string hexByte(std::uint8_t byte);
std::string printableCharacter(std::uint8_t byte);
// The line of one row of 1 to 16 bytes.
std::string hexDump(std::size_t offset, std::span<const std::uint8_t> bytes);
void hexDumpLines(std::span<const std::uint8_t> datagram, std::size_t rowLength,
                  const std::function<void(const std::string&)>& sink);
// A newline, then each row's line followed by a newline.
std::string datagramDump(std::span<const std::uint8_t> datagram);
