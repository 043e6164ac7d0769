#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velmora::dns {

using Bytes = std::vector<std::uint8_t>;

// An IPv4 address, held in network byte order.
class IPv4 {
public:
    explicit IPv4(in_addr address) : address_(address) {}
    // From a host-order integer: its most significant byte is the first octet.
    explicit IPv4(std::uint32_t hostOrder);

    // No value unless the text is a dotted IPv4 address (inet_pton rules).
    static std::optional<IPv4> fromText(std::string_view text);
    // No value unless exactly 4 bytes are given.
    static std::optional<IPv4> fromNetworkBytes(std::span<const std::uint8_t> bytes);

    in_addr address() const { return address_; }
    std::string presentation() const;
    Bytes bytes() const;
    std::string debugDescription() const { return presentation(); }

    friend bool operator==(const IPv4& a, const IPv4& b) { return a.address_.s_addr == b.address_.s_addr; }

private:
    in_addr address_;
};

// An IPv6 address, held in network byte order.
class IPv6 {
public:
    explicit IPv6(in6_addr address) : address_(address) {}

    // No value unless the text is an IPv6 address (inet_pton rules).
    static std::optional<IPv6> fromText(std::string_view text);
    // No value unless exactly 16 bytes are given.
    static std::optional<IPv6> fromNetworkBytes(std::span<const std::uint8_t> bytes);

    in6_addr address() const { return address_; }
    std::string presentation() const;
    Bytes bytes() const;
    std::string debugDescription() const { return presentation(); }

    // Compared through the text form, so every spelling of one address is one value.
    friend bool operator==(const IPv6& a, const IPv6& b) { return a.presentation() == b.presentation(); }

private:
    in6_addr address_;
};

// The address of a host record: one of the two kinds, never equal across kinds.
using IP = std::variant<IPv4, IPv6>;

std::string presentation(const IP& ip);
Bytes bytes(const IP& ip);

} // namespace velmora::dns

template <>
struct std::hash<velmora::dns::IPv4> {
    std::size_t operator()(const velmora::dns::IPv4& ip) const noexcept
    {
        return std::hash<std::uint32_t>{}(ip.address().s_addr);
    }
};

template <>
struct std::hash<velmora::dns::IPv6> {
    std::size_t operator()(const velmora::dns::IPv6& ip) const { return std::hash<std::string>{}(ip.presentation()); }
};
