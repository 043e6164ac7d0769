#pragma once

#include "Velmora/dns/MessageReader.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace velmora::dns::test {

// "12 34 ab" -> bytes; spaces are ignored.
inline Bytes hex(std::string_view text)
{
    Bytes out;
    for (std::size_t i = 0; i < text.size(); i += text[i] == ' ' ? 1 : 2) {
        if (text[i] != ' ') out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes header(std::uint16_t questions, std::uint16_t answers = 0, std::uint16_t authorities = 0,
                    std::uint16_t additional = 0, std::uint16_t flags = 0)
{
    Bytes out{0xAB, 0xCD};
    for (std::uint16_t v : {flags, questions, answers, authorities, additional}) {
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

// Every field, opcode included, so two messages can be compared as text.
inline std::string describe(const Message& m)
{
    return m.debugDescription() + " opcode " + std::to_string(m.operationCode);
}

inline DecodeError::Reason decodeFailure(const Bytes& bytes)
{
    try {
        deserializeMessage(bytes);
    } catch (const DecodeError& e) {
        return e.reason;
    }
    ADD_FAILURE() << "message read without error";
    return DecodeError::invalidMessageSize;
}

} // namespace velmora::dns::test
