#include "Velmora/ConfigurationValues.h"

#include "Velmora/shared/SharedIdentifiers.h"

#include <algorithm>

namespace {

bool isLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool isControlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

// Host labels joined by dots (a final dot allowed), or an IPv6 address in brackets,
// then optionally ":" and a port.
bool isHostAndPort(std::string_view text) {
    std::string_view host = text;
    std::string_view port;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close == 1) return false;
        host = text.substr(1, close - 1);
        if (host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) return false;
        port = text.substr(close + 1);
    } else {
        if (const auto colon = text.find(':'); colon != std::string_view::npos) {
            host = text.substr(0, colon);
            port = text.substr(colon);
        }
        if (host.ends_with('.')) host.remove_suffix(1);
        for (std::size_t start = 0;;) {
            const auto dot = host.find('.', start);
            if (!isHostLabel(host.substr(start, dot - start))) return false;
            if (dot == std::string_view::npos) break;
            start = dot + 1;
        }
    }
    if (port.empty()) return true;
    port.remove_prefix(1);
    return !port.empty() && port.size() <= 5 &&
           std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool isHostLabel(std::string_view text) {
    return !text.empty() && text.size() <= 63 && text.front() != '-' && text.back() != '-' &&
           std::all_of(text.begin(), text.end(), [](char c) { return isLetterOrDigit(c) || c == '-'; });
}

std::string urlPathSegment(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string segment;
    for (char c : text) {
        if (isLetterOrDigit(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            segment += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            segment += {'%', digits[byte >> 4], digits[byte & 15]};
        }
    }
    return segment;
}

std::optional<std::string> configurationValueProblem(std::string_view key, std::string_view value) {
    if (std::any_of(value.begin(), value.end(), isControlCharacter)) return "it holds a control character";
    if (key == shared::key::region && !isHostLabel(value))
        return "it is not a host label (letters, digits and hyphens)";
    if (key == shared::key::serverAddress && !isHostAndPort(value))
        return "it is not a host name or address with an optional port";
    if (key == shared::key::deviceId && (value.empty() || value == "." || value == ".."))
        return "it cannot be a URL path segment";
    return std::nullopt;
}
