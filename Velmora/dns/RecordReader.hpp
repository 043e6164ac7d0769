#pragma once

// Reading one resource record: the common header, then the record data by type.
// Every reader throws DecodeError and leaves `position` just after the record.

#include "Velmora/dns/MessageReader.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora::dns {

ResourceRecord deserializeRecord(std::span<const std::uint8_t> bytes, std::size_t& position);

// Each starts with `position` at the RDATA length field.
HostRecord deserializeHostRecordIPv4(std::span<const std::uint8_t> bytes, std::size_t& position, RecordHeader header);
HostRecord deserializeHostRecordIPv6(std::span<const std::uint8_t> bytes, std::size_t& position, RecordHeader header);
ServiceRecord deserializeServiceRecord(std::span<const std::uint8_t> bytes, std::size_t& position,
                                       RecordHeader header);
TextRecord deserializeTextRecord(std::span<const std::uint8_t> bytes, std::size_t& position, RecordHeader header);
StartOfAuthorityRecord deserializeStartOfAuthorityRecord(std::span<const std::uint8_t> bytes, std::size_t& position,
                                                         RecordHeader header);
Record deserializeRecordData(std::span<const std::uint8_t> bytes, std::size_t& position, RecordHeader header);

} // namespace velmora::dns
