#pragma once
// The settings store shared with the extension and the provider configuration
// of seven texts that the app builds from it.

#include "foundation/UserDefaults.h"

#include <array>
#include <map>
#include <string>
#include <string_view>

namespace app {

inline constexpr const char* appGroupSuite = "group.com.brimvale.ios-dns-group";
inline constexpr const char* defaultServerAddress = "dns.brimvale.example";

struct ConfigurationKey {
    const char* key;
    const char* seed;  // written on a fresh install
};

// The seven keys in their fixed order, with their seed defaults.
inline constexpr std::array<ConfigurationKey, 7> configurationKeys{{
    {"deviceName", "Brimvale"},
    {"serverAddress", defaultServerAddress},
    {"macAddress", "ff:ff:ff:ff:ff:ff"},
    {"deviceId", "bv.usa"},
    {"userName", "ios"},
    {"region", "syd-1"},
    {"bypassDomains", ""},
}};

using ProviderConfiguration = std::map<std::string, std::string>;

// Opens the suite; throws std::runtime_error when its folder cannot be made or used.
foundation::UserDefaults openSettingsStore(const std::string& suite = appGroupSuite);

bool hasStoredValue(std::string_view key, const foundation::UserDefaults& store);

// The seven values of the process-wide store (opened on first use); a key that is
// missing or not text reads as its seed default.
ProviderConfiguration loadProviderConfiguration();

}  // namespace app
