#pragma once
// The settings store shared with the extension and the provider configuration
// of seven texts that the app builds from it.

#include "Velmora/shared/SharedIdentifiers.h"
#include "foundation/UserDefaults.h"
#include "networkextension/DNSProxyManager.h"

#include <array>
#include <string>
#include <string_view>

namespace app {

inline constexpr const char* defaultServerAddress = "dns.brimvale.example";

struct ConfigurationKey {
    const char* key;
    const char* seed;  // written on a fresh install
};

// The seven keys in their fixed order, with their seed defaults.
inline constexpr std::array<ConfigurationKey, 7> configurationKeys{{
    {shared::key::deviceName, "Brimvale"},
    {shared::key::serverAddress, defaultServerAddress},
    {shared::key::macAddress, "ff:ff:ff:ff:ff:ff"},
    {shared::key::deviceId, "bv.usa"},
    {shared::key::userName, "ios"},
    {shared::key::region, "syd-1"},
    {shared::key::bypassDomains, ""},
}};

using ProviderConfiguration = ne::ProviderConfiguration;

// Opens the suite; throws std::runtime_error when its folder cannot be made or used.
foundation::UserDefaults openSettingsStore(const std::string& suite = shared::appGroupSuite);

bool hasStoredValue(std::string_view key, const foundation::UserDefaults& store);

// The seven values of the process-wide store (opened on first use); a key that is
// missing or not text reads as its seed default.
ProviderConfiguration loadProviderConfiguration();

}  // namespace app
