#include "Velmora/dns/MessageReader.hpp"

#include "Velmora/dns/RecordReader.hpp"
#include "Velmora/dns/Utf8.hpp"

#include <algorithm>

namespace velmora::dns {

namespace {

// Longest name on the wire, length bytes and final zero included.
constexpr std::size_t maxNameOctets = 255;
// Pointers one name may follow. A name of at most 255 octets has at most 127 labels, so a
// legitimate encoder never needs more; the bound keeps hostile chains cheap.
constexpr int maxPointerHops = 128;

void appendLabel(std::string& text, std::string_view label)
{
    text.append(label);
    text.push_back('.');
}

// Labels reached through a pointer are taken from the text of the name pointed to, so any
// "." inside them separates labels and empty pieces disappear.
void appendSplitLabel(std::string& text, std::string_view label)
{
    while (!label.empty()) {
        const std::size_t dot = label.find('.');
        const std::string_view piece = label.substr(0, dot);
        if (!piece.empty()) appendLabel(text, piece);
        if (dot == std::string_view::npos) break;
        label.remove_prefix(dot + 1);
    }
}

std::vector<ResourceRecord> readRecords(std::span<const std::uint8_t> bytes, std::size_t& position,
                                        std::uint16_t count)
{
    std::vector<ResourceRecord> records;
    records.reserve(std::min<std::size_t>(count, bytes.size() / 11)); // a record takes at least 11 bytes
    for (std::uint16_t i = 0; i < count; ++i) records.push_back(deserializeRecord(bytes, position));
    return records;
}

} // namespace

const char* DecodeError::what() const noexcept
{
    switch (reason) {
    case invalidMessageSize: return "invalidMessageSize";
    case invalidLabelSize: return "invalidLabelSize";
    case invalidLabelOffset: return "invalidLabelOffset";
    case unicodeDecodingError: return "unicodeDecodingError";
    case invalidIntegerSize: return "invalidIntegerSize";
    case invalidIPAddress: return "invalidIPAddress";
    case invalidDataSize: return "invalidDataSize";
    }
    return "DecodeError";
}

std::uint8_t readUInt8(std::span<const std::uint8_t> bytes, std::size_t& position)
{
    if (position >= bytes.size()) {
        position = bytes.size();
        throw DecodeError(DecodeError::invalidIntegerSize);
    }
    return bytes[position++];
}

std::uint16_t readUInt16(std::span<const std::uint8_t> bytes, std::size_t& position)
{
    if (position >= bytes.size() || bytes.size() - position < 2) {
        position = bytes.size();
        throw DecodeError(DecodeError::invalidIntegerSize);
    }
    const auto value = static_cast<std::uint16_t>(bytes[position] << 8 | bytes[position + 1]);
    position += 2;
    return value;
}

std::uint32_t readUInt32(std::span<const std::uint8_t> bytes, std::size_t& position)
{
    if (position >= bytes.size() || bytes.size() - position < 4) {
        position = bytes.size();
        throw DecodeError(DecodeError::invalidIntegerSize);
    }
    const std::uint32_t value = std::uint32_t{bytes[position]} << 24 | std::uint32_t{bytes[position + 1]} << 16 |
                                std::uint32_t{bytes[position + 2]} << 8 | std::uint32_t{bytes[position + 3]};
    position += 4;
    return value;
}

// Follows pointers in a loop rather than by recursion, and bounds both the name's length and
// the number of pointers, so no input can exhaust the stack, the memory or the time.
std::string deserializeName(std::span<const std::uint8_t> bytes, std::size_t& position)
{
    std::string text;
    text.reserve(48); // most names fit, saving regrowth
    std::size_t cursor = position;
    std::size_t nameStart = position; // start of the name whose bytes are being read
    std::size_t octets = 1;           // the final zero byte
    int hops = 0;
    bool followedPointer = false;

    for (;;) {
        if (cursor >= bytes.size()) throw DecodeError(DecodeError::invalidLabelOffset);
        const std::uint8_t length = bytes[cursor];
        if (length >= 0xC0) {
            std::size_t afterPointer = cursor;
            const std::size_t offset = readUInt16(bytes, afterPointer) ^ 0xC000u;
            // Every pointer must lead strictly backwards from the name holding it, so chains end.
            if (offset >= nameStart || ++hops > maxPointerHops) throw DecodeError(DecodeError::invalidLabelOffset);
            if (!followedPointer) position = afterPointer;
            followedPointer = true;
            cursor = nameStart = offset;
            continue;
        }
        if (bytes.size() - cursor - 1 < length) throw DecodeError(DecodeError::invalidLabelSize);
        ++cursor;
        if (length == 0) break;
        octets += 1 + std::size_t{length};
        if (octets > maxNameOctets) throw DecodeError(DecodeError::invalidLabelSize);
        const std::string_view label(reinterpret_cast<const char*>(bytes.data() + cursor), length);
        if (!isValidUtf8(label)) throw DecodeError(DecodeError::unicodeDecodingError);
        if (followedPointer) {
            appendSplitLabel(text, label);
        } else {
            appendLabel(text, label);
        }
        cursor += length;
    }
    if (!followedPointer) position = cursor;
    if (text.empty()) text.push_back('.'); // the root
    return text;
}

Message deserializeMessage(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 12) throw DecodeError(DecodeError::invalidMessageSize);
    std::size_t position = 0;
    const std::uint16_t id = readUInt16(bytes, position);
    const std::uint16_t flags = readUInt16(bytes, position);
    const std::uint16_t questionCount = readUInt16(bytes, position);
    const std::uint16_t answerCount = readUInt16(bytes, position);
    const std::uint16_t authorityCount = readUInt16(bytes, position);
    const std::uint16_t additionalCount = readUInt16(bytes, position);

    Message message;
    message.id = id;
    message.type = (flags & 0x8000) ? MessageType::response : MessageType::query;
    message.operationCode = static_cast<std::uint8_t>((flags >> 11) & 0xF);
    message.authoritativeAnswer = flags & 0x0400;
    message.truncation = flags & 0x0200;
    message.recursionDesired = flags & 0x0100;
    message.recursionAvailable = flags & 0x0080;
    message.returnCode = static_cast<std::uint8_t>(flags & 0xF);

    message.questions.reserve(std::min<std::size_t>(questionCount, bytes.size() / 5)); // a question takes >= 5 bytes
    for (std::uint16_t i = 0; i < questionCount; ++i) {
        Question question;
        question.name = deserializeName(bytes, position);
        question.type = readUInt16(bytes, position);
        const std::uint16_t classField = readUInt16(bytes, position);
        question.unique = classField & 0x8000;
        question.internetClass = classField & 0x7FFF;
        message.questions.push_back(std::move(question));
    }
    message.answers = readRecords(bytes, position, answerCount);
    message.authorities = readRecords(bytes, position, authorityCount);
    message.additional = readRecords(bytes, position, additionalCount);
    return message;
}

Message Message::deserialize(std::span<const std::uint8_t> bytes) { return deserializeMessage(bytes); }

Message Message::deserializeTCP(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 2) throw DecodeError(DecodeError::invalidMessageSize);
    std::size_t position = 0;
    const std::uint16_t length = readUInt16(bytes, position);
    if (bytes.size() - position < length) throw DecodeError(DecodeError::invalidMessageSize);
    // Pointers count from the first byte after the prefix.
    return deserializeMessage(bytes.subspan(position, length));
}

} // namespace velmora::dns
