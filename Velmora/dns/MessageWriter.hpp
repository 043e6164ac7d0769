#pragma once

// Writing DNS messages to wire bytes, with name compression over the whole message.

#include "Velmora/dns/Message.hpp"

#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace velmora::dns {

// A value that the wire format cannot hold (a count, length, label or code out of range).
// Nothing is ever written wrapped or cut short; the whole write stops instead.
class EncodeError : public std::length_error {
public:
    using std::length_error::length_error;
};

// Writes `name` as labels, or as a pointer to an earlier copy of it or of one of its suffixes,
// registering every new suffix in `labels` at its offset in `output`.
void serializeName(std::string_view name, Bytes& output, Labels& labels);

// Owner name, type, class field (bit 15 set when unique) and TTL.
void serializeRecordHeader(std::string_view name, std::uint16_t type, bool unique, std::uint16_t internetClass,
                           std::uint32_t ttl, Bytes& output, Labels& labels);

// A PTR or CNAME record: the header, then RDATA holding the one name `target`.
void serializeNameRecord(std::string_view name, bool unique, std::uint16_t internetClass, std::uint32_t ttl,
                         std::uint16_t type, std::string_view target, Bytes& output, Labels& labels);

// Appends one "key=value" character-string to TXT record data.
void serializeAttribute(std::string_view key, std::string_view value, Bytes& rdata);

} // namespace velmora::dns
