#pragma once

#include <cstddef>
#include <cstdint>

// Reads one message with ldns and frees it; false when ldns refuses it.
// Kept apart so that ldns's C header stays out of the codec's translation units.
bool ldnsReadMessage(const std::uint8_t* data, std::size_t size);
