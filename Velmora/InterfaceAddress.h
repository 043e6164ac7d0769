#pragma once
// The device's own address: the numeric address of the interface that carries the
// default route.

#include <ifaddrs.h>

#include <string>

// The address of the default route's interface, or "" when there is none. Answers
// from a cache that is read again after every link, address or route change, heard
// from the same source as the reachability watch's events and before them.
std::string localInterfaceAddress();

// The numeric text of the last IPv4 or IPv6 address of `interfaceName` in `list`;
// the walk ends at the first entry of those families without a name.
std::string interfaceAddressIn(const ifaddrs* list, const std::string& interfaceName);
