#pragma once
// What the app and the extension must agree on, written once: the settings store
// both open, the bundle identifiers (the app's DNS proxy configuration names the
// extension by its own), and the provider configuration that reaches the
// extension's start. Both products include this header; the platform layer does
// not, and the build reads the bundle identifiers from here for the Info.plists.

#include <array>

namespace shared {

inline constexpr const char* appGroupSuite = "group.com.brimvale.ios-dns-group";
inline constexpr const char* appBundleIdentifier = "com.brimvale.ios-dns-client";
inline constexpr const char* extensionBundleIdentifier = "com.brimvale.ios-dns.ext";

// The start options carry the provider configuration under this key.
inline constexpr const char* vendorDataKey = "VendorData";

// The provider configuration: seven text values, under these keys, in this order.
namespace key {
inline constexpr const char* deviceName = "deviceName";
inline constexpr const char* serverAddress = "serverAddress";
inline constexpr const char* macAddress = "macAddress";
inline constexpr const char* deviceId = "deviceId";
inline constexpr const char* userName = "userName";
inline constexpr const char* region = "region";
inline constexpr const char* bypassDomains = "bypassDomains";
}  // namespace key
inline constexpr std::array<const char*, 7> providerConfigurationKeys{
    key::deviceName, key::serverAddress, key::macAddress, key::deviceId, key::userName, key::region, key::bypassDomains};

}  // namespace shared
