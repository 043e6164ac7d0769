// Reads arbitrary bytes as a UDP-form message.
#include "CheckMessage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace velmora::dns;
    try {
        fuzz::checkRoundTrip(deserializeMessage({data, size}));
    } catch (const DecodeError&) {
    }
    return 0;
}
