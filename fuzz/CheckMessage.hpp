#pragma once

#include "Velmora/dns/MessageReader.hpp"
#include "Velmora/dns/MessageWriter.hpp"

#include <cstdlib>

namespace velmora::dns::fuzz {

// Everything text-like except the operation code, which the description leaves out.
inline std::string describe(const Message& m) { return m.debugDescription() + std::to_string(m.operationCode); }

// Whatever reads must write and read back. The first write normalises the odd texts a reader
// may return (labels holding dots, TXT values); from then on a write and a read change nothing.
inline void checkRoundTrip(const Message& read)
{
    Bytes written;
    try {
        written = read.serialize();
    } catch (const EncodeError&) {
        return; // a value the format cannot hold; refusing it is correct
    }
    const Message normalised = deserializeMessage(written);
    if (describe(deserializeMessage(normalised.serialize())) != describe(normalised)) std::abort();
}

} // namespace velmora::dns::fuzz
