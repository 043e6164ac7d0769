#include "LdnsReader.hpp"

#include <stdbool.h>

#include <ldns/ldns.h>

bool ldnsReadMessage(const std::uint8_t* data, std::size_t size)
{
    ldns_pkt* packet = nullptr;
    if (ldns_wire2pkt(&packet, data, size) != LDNS_STATUS_OK) return false;
    ldns_pkt_free(packet);
    return true;
}
