#include "Velmora/dns/RecordReader.hpp"

#include "Velmora/dns/Utf8.hpp"

namespace velmora::dns {

namespace {

// Reads the RDATA length and checks that the data holds that many bytes; returns where the RDATA ends.
std::size_t readDataEnd(std::span<const std::uint8_t> bytes, std::size_t& position)
{
    const std::uint16_t length = readUInt16(bytes, position);
    if (bytes.size() - position < length) {
        position = bytes.size();
        throw DecodeError(DecodeError::invalidDataSize);
    }
    return position + length;
}

// Record data must end exactly where its length says, or the records after it would be misread.
void expectDataEnd(std::size_t position, std::size_t end)
{
    if (position != end) throw DecodeError(DecodeError::invalidDataSize);
}

// A record of kind R carrying the header's owner name, flag, class and TTL.
template <class R>
R withHeader(RecordHeader& header)
{
    R record;
    record.name = std::move(header.name);
    record.unique = header.unique;
    record.internetClass = header.internetClass;
    record.ttl = header.ttl;
    return record;
}

template <class Address>
HostRecord readHostRecord(std::span<const std::uint8_t> bytes, std::size_t& position, RecordHeader& header)
{
    const std::size_t end = readDataEnd(bytes, position);
    const auto address = Address::fromNetworkBytes(bytes.subspan(position, end - position));
    position = end;
    if (!address) throw DecodeError(DecodeError::invalidIPAddress);
    auto record = withHeader<HostRecord>(header);
    record.ip = *address;
    return record;
}

// CNAME and PTR data: one name filling the RDATA.
std::string readTargetName(std::span<const std::uint8_t> bytes, std::size_t& position)
{
    const std::size_t end = readDataEnd(bytes, position);
    std::string target = deserializeName(bytes, position);
    expectDataEnd(position, end);
    return target;
}

} // namespace

ResourceRecord deserializeRecord(std::span<const std::uint8_t> bytes, std::size_t& position)
{
    RecordHeader header;
    header.name = deserializeName(bytes, position);
    header.type = readUInt16(bytes, position);
    const std::uint16_t classField = readUInt16(bytes, position);
    header.ttl = readUInt32(bytes, position);
    header.unique = classField & 0x8000;
    header.internetClass = classField & 0x7FFF;

    switch (header.type) {
    case RecordType::host: return deserializeHostRecordIPv4(bytes, position, std::move(header));
    case RecordType::host6: return deserializeHostRecordIPv6(bytes, position, std::move(header));
    case RecordType::alias: {
        auto record = withHeader<AliasRecord>(header);
        record.canonicalName = readTargetName(bytes, position);
        return record;
    }
    case RecordType::pointer: {
        auto record = withHeader<PointerRecord>(header);
        record.destination = readTargetName(bytes, position);
        return record;
    }
    case RecordType::service: return deserializeServiceRecord(bytes, position, std::move(header));
    case RecordType::text: return deserializeTextRecord(bytes, position, std::move(header));
    case RecordType::startOfAuthority: return deserializeStartOfAuthorityRecord(bytes, position, std::move(header));
    default: return deserializeRecordData(bytes, position, std::move(header));
    }
}

HostRecord deserializeHostRecordIPv4(std::span<const std::uint8_t> bytes, std::size_t& position, RecordHeader header)
{
    return readHostRecord<IPv4>(bytes, position, header);
}

HostRecord deserializeHostRecordIPv6(std::span<const std::uint8_t> bytes, std::size_t& position, RecordHeader header)
{
    return readHostRecord<IPv6>(bytes, position, header);
}

ServiceRecord deserializeServiceRecord(std::span<const std::uint8_t> bytes, std::size_t& position,
                                       RecordHeader header)
{
    const std::size_t end = readDataEnd(bytes, position);
    auto record = withHeader<ServiceRecord>(header);
    record.priority = readUInt16(bytes, position);
    record.weight = readUInt16(bytes, position);
    record.port = readUInt16(bytes, position);
    record.server = deserializeName(bytes, position);
    expectDataEnd(position, end);
    return record;
}

TextRecord deserializeTextRecord(std::span<const std::uint8_t> bytes, std::size_t& position, RecordHeader header)
{
    const std::size_t end = readDataEnd(bytes, position);
    auto record = withHeader<TextRecord>(header);
    while (position < end) {
        const std::uint8_t length = readUInt8(bytes, position);
        if (length == 0) {
            // An empty string ends the record's strings; the next record still starts where the length says.
            position = end;
            break;
        }
        if (end - position < length) throw DecodeError(DecodeError::invalidDataSize);
        const std::string_view text(reinterpret_cast<const char*>(bytes.data() + position), length);
        position += length;
        if (!isValidUtf8(text)) throw DecodeError(DecodeError::unicodeDecodingError);
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos) {
            record.values.emplace_back(text);
        } else {
            record.attributes.insert_or_assign(std::string(text.substr(0, equals)),
                                               std::string(text.substr(equals + 1)));
        }
    }
    return record;
}

StartOfAuthorityRecord deserializeStartOfAuthorityRecord(std::span<const std::uint8_t> bytes, std::size_t& position,
                                                         RecordHeader header)
{
    const std::size_t end = readDataEnd(bytes, position);
    auto record = withHeader<StartOfAuthorityRecord>(header);
    record.mname = deserializeName(bytes, position);
    record.rname = deserializeName(bytes, position);
    record.serial = readUInt32(bytes, position);
    record.refresh = static_cast<std::int32_t>(readUInt32(bytes, position));
    record.retry = static_cast<std::int32_t>(readUInt32(bytes, position));
    record.expire = static_cast<std::int32_t>(readUInt32(bytes, position));
    record.minimum = readUInt32(bytes, position);
    expectDataEnd(position, end);
    return record;
}

Record deserializeRecordData(std::span<const std::uint8_t> bytes, std::size_t& position, RecordHeader header)
{
    const std::size_t end = readDataEnd(bytes, position);
    auto record = withHeader<Record>(header);
    record.type = header.type;
    record.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                       bytes.begin() + static_cast<std::ptrdiff_t>(end));
    position = end;
    return record;
}

} // namespace velmora::dns
