// Reads arbitrary bytes as a TCP-form message (2-byte length, then the message).
#include "CheckMessage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace velmora::dns;
    try {
        fuzz::checkRoundTrip(Message::deserializeTCP({data, size}));
    } catch (const DecodeError&) {
    }
    return 0;
}
