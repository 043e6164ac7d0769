#include "Velmora/dns/MessageWriter.hpp"

#include <string>

namespace velmora::dns {

namespace {

// A length byte of 0xC0 or more would read back as the start of a compression pointer.
constexpr std::size_t maxLabelLength = 0xBF;
// A pointer holds a 14-bit offset; names that start later are never pointed to.
constexpr std::size_t maxPointerOffset = 0x3FFF;
constexpr std::size_t maxUInt16 = 0xFFFF;

void writeUInt16(Bytes& output, std::uint16_t value)
{
    output.push_back(static_cast<std::uint8_t>(value >> 8));
    output.push_back(static_cast<std::uint8_t>(value));
}

void writeUInt32(Bytes& output, std::uint32_t value)
{
    writeUInt16(output, static_cast<std::uint16_t>(value >> 16));
    writeUInt16(output, static_cast<std::uint16_t>(value));
}

void writeText(Bytes& output, std::string_view text) { output.insert(output.end(), text.begin(), text.end()); }

std::uint16_t checkedUInt16(std::size_t value, const char* what)
{
    if (value > maxUInt16) throw EncodeError(std::string(what) + " exceeds 65535");
    return static_cast<std::uint16_t>(value);
}

void remember(Labels& labels, std::string_view name, std::size_t offset)
{
    if (offset <= maxPointerOffset) labels.emplace(std::string(name), offset);
}

// The name with empty labels dropped and no final dot: the text from which suffix keys are cut.
std::string_view labelText(std::string_view name, std::string& storage)
{
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    const bool clean = !name.empty() && name.front() != '.' && name.back() != '.' &&
                       name.find("..") == std::string_view::npos;
    if (clean) return name;
    storage.clear();
    while (!name.empty()) {
        const std::size_t dot = name.find('.');
        const std::string_view piece = name.substr(0, dot);
        if (!piece.empty()) {
            if (!storage.empty()) storage.push_back('.');
            storage.append(piece);
        }
        if (dot == std::string_view::npos) break;
        name.remove_prefix(dot + 1);
    }
    return storage;
}

// Header is in place: leave room for the RDATA length and return where the RDATA starts.
std::size_t beginData(Bytes& output)
{
    writeUInt16(output, 0);
    return output.size();
}

// Patch the RDATA length now that the RDATA is written behind it.
void endData(Bytes& output, std::size_t start)
{
    const std::uint16_t length = checkedUInt16(output.size() - start, "record data length");
    output[start - 2] = static_cast<std::uint8_t>(length >> 8);
    output[start - 1] = static_cast<std::uint8_t>(length);
}

void writeSection(const std::vector<ResourceRecord>& records, Bytes& output, Labels& labels)
{
    for (const auto& record : records) serialize(record, output, labels);
}

} // namespace

void serializeName(std::string_view name, Bytes& output, Labels& labels)
{
    if (const auto known = labels.find(name); known != labels.end()) {
        writeUInt16(output, static_cast<std::uint16_t>(0xC000 | known->second));
        return;
    }
    remember(labels, name, output.size());

    std::string storage;
    const std::string_view text = labelText(name, storage);
    if (text.empty()) {
        output.push_back(0);
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        const std::string_view label = text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (label.size() > maxLabelLength) throw EncodeError("label longer than 191 bytes");
        output.push_back(static_cast<std::uint8_t>(label.size()));
        writeText(output, label);
        if (dot == std::string_view::npos) break;

        start = dot + 1;
        const std::string_view suffix = text.substr(start);
        if (const auto known = labels.find(suffix); known != labels.end()) {
            writeUInt16(output, static_cast<std::uint16_t>(0xC000 | known->second));
            return;
        }
        remember(labels, suffix, output.size());
    }
    output.push_back(0);
}

void serializeRecordHeader(std::string_view name, std::uint16_t type, bool unique, std::uint16_t internetClass,
                           std::uint32_t ttl, Bytes& output, Labels& labels)
{
    serializeName(name, output, labels);
    writeUInt16(output, type);
    writeUInt16(output, static_cast<std::uint16_t>(internetClass | (unique ? 0x8000 : 0)));
    writeUInt32(output, ttl);
}

void serializeNameRecord(std::string_view name, bool unique, std::uint16_t internetClass, std::uint32_t ttl,
                         std::uint16_t type, std::string_view target, Bytes& output, Labels& labels)
{
    serializeRecordHeader(name, type, unique, internetClass, ttl, output, labels);
    const std::size_t start = beginData(output);
    serializeName(target, output, labels);
    endData(output, start);
}

void serializeAttribute(std::string_view key, std::string_view value, Bytes& rdata)
{
    const std::size_t length = key.size() + 1 + value.size();
    if (length > 0xFF) throw EncodeError("TXT string longer than 255 bytes");
    rdata.push_back(static_cast<std::uint8_t>(length));
    writeText(rdata, key);
    rdata.push_back('=');
    writeText(rdata, value);
}

void Record::serialize(Bytes& onto, Labels& labels) const
{
    serializeRecordHeader(name, type, unique, internetClass, ttl, onto, labels);
    writeUInt16(onto, checkedUInt16(data.size(), "record data length"));
    onto.insert(onto.end(), data.begin(), data.end());
}

void HostRecord::serialize(Bytes& onto, Labels& labels) const
{
    const bool v4 = std::holds_alternative<IPv4>(ip);
    serializeRecordHeader(name, v4 ? RecordType::host : RecordType::host6, unique, internetClass, ttl, onto, labels);
    const Bytes address = bytes(ip);
    writeUInt16(onto, static_cast<std::uint16_t>(address.size()));
    onto.insert(onto.end(), address.begin(), address.end());
}

void ServiceRecord::serialize(Bytes& onto, Labels& labels) const
{
    serializeRecordHeader(name, RecordType::service, unique, internetClass, ttl, onto, labels);
    const std::size_t start = beginData(onto);
    writeUInt16(onto, priority);
    writeUInt16(onto, weight);
    writeUInt16(onto, port);
    serializeName(server, onto, labels);
    endData(onto, start);
}

void TextRecord::serialize(Bytes& onto, Labels& labels) const
{
    serializeRecordHeader(name, RecordType::text, unique, internetClass, ttl, onto, labels);
    Bytes rdata;
    for (const auto& [key, value] : attributes) serializeAttribute(key, value, rdata);
    writeUInt16(onto, checkedUInt16(rdata.size(), "record data length"));
    onto.insert(onto.end(), rdata.begin(), rdata.end());
}

void PointerRecord::serialize(Bytes& onto, Labels& labels) const
{
    serializeNameRecord(name, unique, internetClass, ttl, RecordType::pointer, destination, onto, labels);
}

void AliasRecord::serialize(Bytes& onto, Labels& labels) const
{
    serializeNameRecord(name, unique, internetClass, ttl, RecordType::alias, canonicalName, onto, labels);
}

void StartOfAuthorityRecord::serialize(Bytes& onto, Labels& labels) const
{
    serializeRecordHeader(name, RecordType::startOfAuthority, unique, internetClass, ttl, onto, labels);
    const std::size_t start = beginData(onto);
    serializeName(mname, onto, labels);
    serializeName(rname, onto, labels);
    writeUInt32(onto, serial);
    writeUInt32(onto, static_cast<std::uint32_t>(refresh));
    writeUInt32(onto, static_cast<std::uint32_t>(retry));
    writeUInt32(onto, static_cast<std::uint32_t>(expire));
    writeUInt32(onto, minimum);
    endData(onto, start);
}

Bytes Message::serialize() const
{
    // Codes wider than four bits would spill into the neighbouring flags.
    if (operationCode > 0xF) throw EncodeError("operation code above 15");
    if (returnCode > 0xF) throw EncodeError("return code above 15");

    Bytes output;
    output.reserve(512);
    Labels labels;
    writeUInt16(output, id);
    std::uint16_t flags = static_cast<std::uint16_t>(operationCode << 11 | returnCode);
    if (type == MessageType::response) flags |= 0x8000;
    if (authoritativeAnswer) flags |= 0x0400;
    if (truncation) flags |= 0x0200;
    if (recursionDesired) flags |= 0x0100;
    if (recursionAvailable) flags |= 0x0080;
    writeUInt16(output, flags);
    writeUInt16(output, checkedUInt16(questions.size(), "question count"));
    writeUInt16(output, checkedUInt16(answers.size(), "answer count"));
    writeUInt16(output, checkedUInt16(authorities.size(), "authority count"));
    writeUInt16(output, checkedUInt16(additional.size(), "additional count"));

    for (const auto& question : questions) {
        serializeName(question.name, output, labels);
        writeUInt16(output, question.type);
        writeUInt16(output, question.internetClass); // the unique bit is not written for questions
    }
    writeSection(answers, output, labels);
    writeSection(authorities, output, labels);
    writeSection(additional, output, labels);
    return output;
}

Bytes Message::serializeTCP() const
{
    const Bytes message = serialize();
    Bytes output;
    output.reserve(message.size() + 2);
    writeUInt16(output, checkedUInt16(message.size(), "message length"));
    output.insert(output.end(), message.begin(), message.end());
    return output;
}

} // namespace velmora::dns
