#pragma once

#include "Velmora/dns/ResourceRecord.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora::dns {

enum class MessageType : std::uint8_t { query, response };

// Operation codes (flags bits 11-14).
namespace OperationCode {
inline constexpr std::uint8_t query = 0;
inline constexpr std::uint8_t inverseQuery = 1;
inline constexpr std::uint8_t statusRequest = 2;
inline constexpr std::uint8_t notify = 4;
inline constexpr std::uint8_t update = 5;
} // namespace OperationCode

// Return codes (flags bits 0-3).
namespace ReturnCode {
inline constexpr std::uint8_t noError = 0;
inline constexpr std::uint8_t formatError = 1;
inline constexpr std::uint8_t serverFailure = 2;
inline constexpr std::uint8_t nonExistentDomain = 3;
inline constexpr std::uint8_t notImplemented = 4;
inline constexpr std::uint8_t queryRefused = 5;
inline constexpr std::uint8_t nameExistsWhenItShouldNot = 6;
inline constexpr std::uint8_t rrSetExistsWhenItShouldNot = 7;
inline constexpr std::uint8_t rrSetThatShouldExistDoestNot = 8;
inline constexpr std::uint8_t serverNotAuthoritativeForZone = 9;
inline constexpr std::uint8_t nameNotContainedInZone = 10;
} // namespace ReturnCode

struct Question {
    std::string name; // dotted text; as read it ends in "." and the root is "."
    std::uint16_t type = 0;
    bool unique = false; // bit 15 of the class field
    std::uint16_t internetClass = 0;
};

// One DNS message. Fields are stored as given: nothing is masked or checked until it is written.
struct Message {
    std::uint16_t id = 0;
    MessageType type = MessageType::query;
    std::uint8_t operationCode = 0;
    bool authoritativeAnswer = false;
    bool truncation = false;
    bool recursionDesired = false;
    bool recursionAvailable = false;
    std::uint8_t returnCode = 0;
    std::vector<Question> questions;
    std::vector<ResourceRecord> answers;
    std::vector<ResourceRecord> authorities;
    std::vector<ResourceRecord> additional;

    // Reading: throw DecodeError (MessageReader.hpp).
    static Message deserialize(std::span<const std::uint8_t> bytes);    // UDP form
    static Message deserializeTCP(std::span<const std::uint8_t> bytes); // 2-byte length, then the message

    // Writing: throw EncodeError when a field exceeds what the format can hold (MessageWriter.hpp).
    Bytes serialize() const;
    Bytes serializeTCP() const;

    // One line: "DNS Request(id: ..." or "DNS Response(id: ..., returnCode: ...", flags and the four lists.
    std::string debugDescription() const;
};

} // namespace velmora::dns
