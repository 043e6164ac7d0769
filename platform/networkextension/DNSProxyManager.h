#pragma once
// The system's DNS proxy preferences as an app sees them: one shared manager that
// loads and saves the preferences with completions. The preferences live in the
// property-list file <state>/System/DNSProxy.plist, which the extension's host
// process reads; a save the system refuses (this process may not change the
// system's DNS configuration) fails with errorCodePermissionDenied.

#include "networkextension/DNSProxyProviderBase.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ne {

// An error value as the platform reports it to completions.
struct ManagerError {
    std::string domain;
    int code = 0;
    std::string reason;

    // The form the platform's error objects print themselves in.
    std::string debugDescription() const;
};

inline constexpr const char* configurationErrorDomain = "NEConfigurationErrorDomain";
inline constexpr int errorCodeReadWriteFailed = 5;
inline constexpr int errorCodePermissionDenied = 10;

class DNSProxyProviderProtocol {
public:
    std::string providerBundleIdentifier;
    std::optional<ProviderConfiguration> providerConfiguration;
};

// What the preferences file holds.
struct DNSProxyPreferences {
    std::string localizedDescription;
    bool enabled = false;
    std::string providerBundleIdentifier;
    std::optional<ProviderConfiguration> providerConfiguration;
    bool operator==(const DNSProxyPreferences&) const = default;
};

// <state>/System/DNSProxy.plist, the state folder taken from the environment at each call.
std::filesystem::path dnsProxyPreferencesPath();
// Reads the file; no file gives empty preferences, an unreadable one an error.
std::optional<DNSProxyPreferences> readDNSProxyPreferences(const std::filesystem::path& file,
                                                           ManagerError* error = nullptr);
// Writes the file atomically; false with `error` filled on failure.
bool writeDNSProxyPreferences(const std::filesystem::path& file, const DNSProxyPreferences& prefs,
                              ManagerError* error = nullptr);

// Follows the preferences file as the system does for its extensions: calls
// `changed` on the main queue with the new preferences each time the file's
// content changes (replaced, rewritten or removed), and `refused` with the reason
// each time it finds the file unreadable (the last readable preferences stay in
// force). Creates the file's folder; when the folder is removed or moved away, it
// is watched again once a folder is back on its path.
class PreferencesWatch {
public:
    using Changed = std::function<void(const DNSProxyPreferences&)>;
    using Refused = std::function<void(const ManagerError&)>;
    PreferencesWatch(std::filesystem::path file, Changed changed, Refused refused = nullptr);
    ~PreferencesWatch();
    PreferencesWatch(const PreferencesWatch&) = delete;
    PreferencesWatch& operator=(const PreferencesWatch&) = delete;

private:
    struct State;
    std::shared_ptr<State> state_;
};

class DNSProxyManager {
public:
    using Completion = std::function<void(std::optional<ManagerError>)>;

    static std::shared_ptr<DNSProxyManager> sharedManager();

    // Both read or write the preferences at once and hand the outcome to the
    // completion later, on the main queue.
    void loadFromPreferences(Completion completion);
    void saveToPreferences(Completion completion);

    std::string localizedDescription;
    std::shared_ptr<DNSProxyProviderProtocol> providerProtocol;
    bool enabled = false;
};

}  // namespace ne
