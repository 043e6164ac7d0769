#pragma once

#include "Velmora/dns/IP.hpp"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace velmora::dns {

// Record type codes.
namespace RecordType {
inline constexpr std::uint16_t host = 1;
inline constexpr std::uint16_t nameServer = 2;
inline constexpr std::uint16_t alias = 5;
inline constexpr std::uint16_t startOfAuthority = 6;
inline constexpr std::uint16_t pointer = 12;
inline constexpr std::uint16_t mailExchange = 15;
inline constexpr std::uint16_t text = 16;
inline constexpr std::uint16_t host6 = 28;
inline constexpr std::uint16_t service = 33;
inline constexpr std::uint16_t incrementalZoneTransfer = 251;
inline constexpr std::uint16_t standardZoneTransfer = 252;
inline constexpr std::uint16_t all = 255;
} // namespace RecordType

// Class codes (bits 0-14 of the class field).
namespace RecordClass {
inline constexpr std::uint16_t internet = 1;
inline constexpr std::uint16_t chaos = 3;
inline constexpr std::uint16_t hesiod = 4;
inline constexpr std::uint16_t none = 254;
inline constexpr std::uint16_t any = 255;
} // namespace RecordClass

// Mnemonic of a record type code ("A", "AAAA", "*", ...), "Unknown" for codes without one.
std::string_view debugDescription(std::uint16_t type);

// Name text -> offset of its encoding in the message, shared by every name of one message
// so that later names compress against earlier ones. Looked up with string_view keys.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};
using Labels = std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>>;

// The common header fields of a record, as read before its data.
struct RecordHeader {
    std::string name;
    std::uint16_t type = 0;
    bool unique = false;
    std::uint16_t internetClass = 0;
    std::uint32_t ttl = 0;
};

// Any type without a kind of its own: the RDATA is kept byte for byte.
struct Record {
    std::string name;
    std::uint16_t type = 0;
    std::uint16_t internetClass = 0;
    bool unique = false;
    std::uint32_t ttl = 0;
    Bytes data;

    void serialize(Bytes& onto, Labels& labels) const;
};

// A or AAAA record; the wire type follows from the kind of `ip`.
struct HostRecord {
    std::string name;
    bool unique = false;
    std::uint16_t internetClass = 0;
    std::uint32_t ttl = 0;
    IP ip = IPv4(in_addr{});

    void serialize(Bytes& onto, Labels& labels) const;
    // Same owner name over the same address kind; the address itself is not compared.
    friend bool operator==(const HostRecord& a, const HostRecord& b)
    {
        return a.name == b.name && a.ip.index() == b.ip.index();
    }
};

struct ServiceRecord {
    std::string name;
    bool unique = false;
    std::uint16_t internetClass = 0;
    std::uint32_t ttl = 0;
    std::uint16_t priority = 0;
    std::uint16_t weight = 0;
    std::uint16_t port = 0;
    std::string server;

    void serialize(Bytes& onto, Labels& labels) const;
    friend bool operator==(const ServiceRecord& a, const ServiceRecord& b) { return a.name == b.name; }
};

struct TextRecord {
    std::string name;
    bool unique = false;
    std::uint16_t internetClass = 0;
    std::uint32_t ttl = 0;
    std::map<std::string, std::string> attributes; // "key=value" strings
    std::vector<std::string> values;               // strings without "="; never written

    void serialize(Bytes& onto, Labels& labels) const;
};

struct PointerRecord {
    std::string name;
    bool unique = false;
    std::uint16_t internetClass = 0;
    std::uint32_t ttl = 0;
    std::string destination;

    void serialize(Bytes& onto, Labels& labels) const;
    friend bool operator==(const PointerRecord& a, const PointerRecord& b)
    {
        return a.name == b.name && a.destination == b.destination;
    }
};

struct AliasRecord {
    std::string name;
    bool unique = false;
    std::uint16_t internetClass = 0;
    std::uint32_t ttl = 0;
    std::string canonicalName;

    void serialize(Bytes& onto, Labels& labels) const;
};

struct StartOfAuthorityRecord {
    std::string name;
    bool unique = false;
    std::uint16_t internetClass = 0;
    std::uint32_t ttl = 0;
    std::string mname;
    std::string rname;
    std::uint32_t serial = 0;
    std::int32_t refresh = 0;
    std::int32_t retry = 0;
    std::int32_t expire = 0;
    std::uint32_t minimum = 0;

    void serialize(Bytes& onto, Labels& labels) const;
};

// One record of any kind, as held in the record sections of a message.
using ResourceRecord = std::variant<Record, HostRecord, ServiceRecord, TextRecord, PointerRecord, AliasRecord,
                                    StartOfAuthorityRecord>;

// The fields every kind shares, whatever kind the record holds.
std::string& name(ResourceRecord& record);
const std::string& name(const ResourceRecord& record);
bool& unique(ResourceRecord& record);
bool unique(const ResourceRecord& record);
std::uint16_t& internetClass(ResourceRecord& record);
std::uint16_t internetClass(const ResourceRecord& record);
std::uint32_t& ttl(ResourceRecord& record);
std::uint32_t ttl(const ResourceRecord& record);

// Appends the whole record (header and RDATA) to the message being built.
void serialize(const ResourceRecord& record, Bytes& onto, Labels& labels);

// One-line text of a record, naming its kind and showing its fields.
std::string debugDescription(const ResourceRecord& record);

} // namespace velmora::dns

template <>
struct std::hash<velmora::dns::HostRecord> {
    std::size_t operator()(const velmora::dns::HostRecord& r) const noexcept { return std::hash<std::string>{}(r.name); }
};

template <>
struct std::hash<velmora::dns::ServiceRecord> {
    std::size_t operator()(const velmora::dns::ServiceRecord& r) const noexcept
    {
        return std::hash<std::string>{}(r.name);
    }
};

template <>
struct std::hash<velmora::dns::PointerRecord> {
    std::size_t operator()(const velmora::dns::PointerRecord& r) const noexcept
    {
        return std::hash<std::string>{}(r.destination);
    }
};
