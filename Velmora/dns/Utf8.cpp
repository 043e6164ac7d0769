#include "Velmora/dns/Utf8.hpp"

#include <cstddef>
#include <cstdint>

namespace velmora::dns {

namespace {

// What a lead byte of two or more bytes asks of its sequence: its length (0 for a byte
// that leads none) and the range of the first continuation byte.
struct Sequence {
    std::size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;
};

Sequence sequenceOf(std::uint8_t lead) noexcept
{
    if (lead >= 0xC2 && lead <= 0xDF) return {2};
    if (lead == 0xE0) return {3, 0xA0};        // overlong
    if (lead == 0xED) return {3, 0x80, 0x9F};  // surrogates
    if (lead >= 0xE1 && lead <= 0xEF) return {3};
    if (lead == 0xF0) return {4, 0x90};        // overlong
    if (lead == 0xF4) return {4, 0x80, 0x8F};  // past U+10FFFF
    if (lead >= 0xF1 && lead <= 0xF3) return {4};
    return {};
}

} // namespace

bool isValidUtf8(std::string_view text) noexcept
{
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        const Sequence sequence = sequenceOf(s[i]);
        if (sequence.length == 0 || size - i < sequence.length) return false;
        if (s[i + 1] < sequence.low || s[i + 1] > sequence.high) return false;
        for (std::size_t k = 2; k < sequence.length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
        }
        i += sequence.length;
    }
    return true;
}

} // namespace velmora::dns
