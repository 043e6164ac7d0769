#include "Velmora/dns/IP.hpp"

#include <arpa/inet.h>

#include <cstring>

namespace velmora::dns {

namespace {

// inet_pton needs a terminated string; a text with an embedded zero is no address.
template <class Address>
std::optional<Address> parse(int family, std::string_view text)
{
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    const std::string terminated(text);
    decltype(std::declval<Address>().address()) address{};
    if (inet_pton(family, terminated.c_str(), &address) != 1) return std::nullopt;
    return Address(address);
}

template <std::size_t BufferSize, class Raw>
std::string format(int family, const Raw& address, const char* failure)
{
    char buffer[BufferSize] = {};
    if (inet_ntop(family, &address, buffer, sizeof buffer) == nullptr) return failure;
    return buffer;
}

template <class Raw>
Bytes rawBytes(const Raw& address)
{
    const auto* first = reinterpret_cast<const std::uint8_t*>(&address);
    return Bytes(first, first + sizeof address);
}

} // namespace

IPv4::IPv4(std::uint32_t hostOrder) : address_{htonl(hostOrder)} {}

std::optional<IPv4> IPv4::fromText(std::string_view text) { return parse<IPv4>(AF_INET, text); }

std::optional<IPv4> IPv4::fromNetworkBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != 4) return std::nullopt;
    in_addr address{};
    std::memcpy(&address, bytes.data(), 4);
    return IPv4(address);
}

std::string IPv4::presentation() const { return format<INET_ADDRSTRLEN>(AF_INET, address_, "Invalid IPv4 address"); }

Bytes IPv4::bytes() const { return rawBytes(address_); }

std::optional<IPv6> IPv6::fromText(std::string_view text) { return parse<IPv6>(AF_INET6, text); }

std::optional<IPv6> IPv6::fromNetworkBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != 16) return std::nullopt;
    in6_addr address{};
    std::memcpy(&address, bytes.data(), 16);
    return IPv6(address);
}

std::string IPv6::presentation() const { return format<INET6_ADDRSTRLEN>(AF_INET6, address_, "Invalid IPv6 address"); }

Bytes IPv6::bytes() const { return rawBytes(address_); }

std::string presentation(const IP& ip)
{
    return std::visit([](const auto& address) { return address.presentation(); }, ip);
}

Bytes bytes(const IP& ip)
{
    return std::visit([](const auto& address) { return address.bytes(); }, ip);
}

} // namespace velmora::dns
