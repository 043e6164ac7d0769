#pragma once

// Reading DNS messages from wire bytes.
//
// Every reader either returns a whole result or throws DecodeError; nothing partial escapes.
// Typical use, taking the first question's name of a query datagram:
//
//     try {
//         velmora::dns::Message query = velmora::dns::deserializeMessage(datagram); // span, vector, ...
//         if (!query.questions.empty()) use(query.questions[0].name);              // e.g. "example.com."
//     } catch (const velmora::dns::DecodeError&) {
//         // not a readable DNS message
//     }
//
// Names always come back as dotted text ending in "."; the root name is ".".

#include "Velmora/dns/Message.hpp"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <span>
#include <string>

namespace velmora::dns {

class DecodeError : public std::exception {
public:
    enum Reason : std::uint8_t {
        invalidMessageSize,   // shorter than the 12-byte header
        invalidLabelSize,     // a label or TXT string runs past the data, or a name exceeds 255 octets
        invalidLabelOffset,   // no length byte where one is due, or a bad compression pointer
        unicodeDecodingError, // label or string bytes are not UTF-8
        invalidIntegerSize,   // fewer bytes left than an integer needs
        invalidIPAddress,     // A/AAAA data of the wrong size
        invalidDataSize,      // record data shorter than its length, or not ending where its length says
    };

    explicit DecodeError(Reason reason) noexcept : reason(reason) {}
    const char* what() const noexcept override;
    friend bool operator==(const DecodeError& a, const DecodeError& b) { return a.reason == b.reason; }

    Reason reason;
};

// Reads one message in the UDP form (no length prefix). Bytes after the last record are ignored.
Message deserializeMessage(std::span<const std::uint8_t> bytes);

// Reads the name at `position` (following compression pointers, which count from the first byte
// of `bytes`) and moves `position` past the name as it stands at that place.
std::string deserializeName(std::span<const std::uint8_t> bytes, std::size_t& position);

// Big-endian integers at `position`; on a short read the position moves to the end and
// invalidIntegerSize is thrown.
std::uint8_t readUInt8(std::span<const std::uint8_t> bytes, std::size_t& position);
std::uint16_t readUInt16(std::span<const std::uint8_t> bytes, std::size_t& position);
std::uint32_t readUInt32(std::span<const std::uint8_t> bytes, std::size_t& position);

} // namespace velmora::dns

template <>
struct std::hash<velmora::dns::DecodeError> {
    std::size_t operator()(const velmora::dns::DecodeError& e) const noexcept { return e.reason; }
};
