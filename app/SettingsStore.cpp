#include "SettingsStore.h"

#include <filesystem>
#include <stdexcept>

namespace app {

foundation::UserDefaults openSettingsStore(const std::string& suite) {
    auto folder = foundation::UserDefaults::suitePath(suite).parent_path();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec))
        throw std::runtime_error("cannot open the settings store \"" + suite + "\" in " + folder.string());
    return foundation::UserDefaults(suite);
}

bool hasStoredValue(std::string_view key, const foundation::UserDefaults& store) {
    return store.object(key).has_value();
}

ProviderConfiguration loadProviderConfiguration() {
    static const foundation::UserDefaults sharedDefaults = openSettingsStore();
    const foundation::Dictionary stored = sharedDefaults.dictionaryRepresentation();  // one read for all keys
    ProviderConfiguration configuration;
    for (const auto& [key, seed] : configurationKeys) {
        auto found = stored.find(key);
        configuration[key] = (found == stored.end() ? std::nullopt : foundation::textValue(found->second)).value_or(seed);
    }
    return configuration;
}

}  // namespace app
