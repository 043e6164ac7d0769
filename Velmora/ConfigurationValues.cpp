#include "Velmora/ConfigurationValues.h"

#include <arpa/inet.h>
#include <idn2.h>

#include <algorithm>
#include <charconv>
#include <memory>

namespace {

bool isLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool isControlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Labels joined by dots, each one to 63 characters of which `allowed` says, neither
// first nor last a hyphen; at most 253 characters in all.
template <typename Allowed>
bool isDottedName(std::string_view text, Allowed allowed) {
    if (text.empty() || text.size() > 253) return false;
    for (std::size_t start = 0;;) {
        const auto dot = text.find('.', start);
        const auto label = text.substr(start, dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
            !std::all_of(label.begin(), label.end(), allowed))
            return false;
        if (dot == std::string_view::npos) return true;
        start = dot + 1;
    }
}

// Internal hosts are often named with underscores; the certificate check decides.
bool isServerNameCharacter(char c) { return isLetterOrDigit(c) || c == '-' || c == '_'; }

std::optional<unsigned> portNumber(std::string_view text) {
    unsigned value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return std::nullopt;
    return value;
}

// Sets `problem`, when asked for, to why a value is refused; the one way the
// functions here refuse.
std::nullopt_t refuse(std::string* problem, std::string reason) {
    if (problem) *problem = std::move(reason);
    return std::nullopt;
}

// A server address taken apart: its host as the road writes it, and what follows
// the host's ":", when there is one.
struct HostAndPort {
    std::string host;
    std::optional<std::string_view> port;
};

// [IPv6 address], then ":port" or nothing.
std::optional<HostAndPort> bracketedAddress(std::string_view given, std::string* problem) {
    const auto close = given.find(']');
    if (close == std::string_view::npos) return refuse(problem, "its IPv6 address has no closing bracket");
    const std::string address(given.substr(1, close - 1));
    in6_addr parsed{};
    if (::inet_pton(AF_INET6, address.c_str(), &parsed) != 1)
        return refuse(problem, "it holds no IPv6 address in brackets");
    const auto rest = given.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':'))
        return refuse(problem, "only \":\" and a port may follow its IPv6 address");
    HostAndPort result{"[" + address + "]", std::nullopt};
    if (!rest.empty()) result.port = rest.substr(1);
    return result;
}

// A name in Unicode in its ASCII form; one in ASCII as it is.
std::optional<std::string> asciiName(std::string_view name, std::string* problem) {
    std::string host(name);
    if (isAscii(host)) return host;
    char* ascii = nullptr;
    const int result = ::idn2_to_ascii_8z(host.c_str(), &ascii, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
    const std::unique_ptr<char, decltype(&idn2_free)> owner(ascii, &idn2_free);
    if (result != IDN2_OK)
        return refuse(problem, std::string("its name has no ASCII form: ") + ::idn2_strerror(result));
    return std::string(ascii);
}

// A host name, then ":port" or nothing.
std::optional<HostAndPort> namedAddress(std::string_view given, std::string* problem) {
    HostAndPort result;
    auto name = given;
    if (const auto colon = given.find(':'); colon != std::string_view::npos) {
        name = given.substr(0, colon);
        result.port = given.substr(colon + 1);
    }
    // A final dot, as in an absolute name, is no part of the TLS server name.
    if (name.ends_with('.')) name.remove_suffix(1);
    auto host = asciiName(name, problem);
    if (!host) return std::nullopt;
    if (!isDottedName(*host, isServerNameCharacter))
        return refuse(problem, "it is not host labels joined by dots (letters, digits, hyphens and underscores)");
    result.host = std::move(*host);
    return result;
}

}  // namespace

std::optional<std::string> headerValueProblem(std::string_view value) {
    if (std::any_of(value.begin(), value.end(), isControlCharacter)) return "it holds a control character";
    return std::nullopt;
}

std::optional<std::string> serverAddressForRoad(std::string_view given, std::string* problem) {
    if (auto control = headerValueProblem(given)) return refuse(problem, *control);
    const auto address = given.starts_with('[') ? bracketedAddress(given, problem) : namedAddress(given, problem);
    if (!address) return std::nullopt;
    if (!address->port) return address->host;
    const auto number = portNumber(*address->port);
    if (!number) return refuse(problem, "its port is not a number from 1 to 65535");
    return address->host + ":" + std::to_string(*number);
}

bool isHostName(std::string_view text) {
    return isDottedName(text, [](char c) { return isLetterOrDigit(c) || c == '-'; });
}

std::string urlPathSegment(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    if (text == ".") return "%2E";
    if (text == "..") return "%2E%2E";
    // What RFC 3986 lets a path segment hold as written: unreserved characters,
    // sub-delimiters, ":" and "@".
    auto keptAsWritten = [](char c) {
        return isLetterOrDigit(c) || std::string_view("-._~!$&'()*+,;=:@").find(c) != std::string_view::npos;
    };
    std::string segment;
    for (char c : text) {
        if (keptAsWritten(c)) {
            segment += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            segment += {'%', digits[byte >> 4], digits[byte & 15]};
        }
    }
    return segment;
}
