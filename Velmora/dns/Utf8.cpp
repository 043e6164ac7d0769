#include "Velmora/dns/Utf8.hpp"

#include <cstddef>
#include <cstdint>

namespace velmora::dns {

bool isValidUtf8(std::string_view text) noexcept
{
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t lead = s[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        std::uint8_t low = 0x80, high = 0xBF; // allowed range of the first continuation byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;  // overlong
            if (lead == 0xED) high = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;  // overlong
            if (lead == 0xF4) high = 0x8F; // past U+10FFFF
        } else {
            return false;
        }
        if (size - i < length) return false;
        if (s[i + 1] < low || s[i + 1] > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

} // namespace velmora::dns
