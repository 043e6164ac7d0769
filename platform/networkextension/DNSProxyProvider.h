#pragma once
// Base of a DNS proxy provider: the entry points through which the system starts,
// stops, suspends and wakes the provider and offers it the device's DNS flows. The
// system calls them on threads of its own.

#include "foundation/PropertyList.h"
#include "networkextension/Flow.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ne {

// A provider configuration as the DNS proxy preferences keep it: text values by key.
using ProviderConfiguration = std::map<std::string, std::string>;

enum class ProviderStopReason { none, userInitiated, providerFailed, noNetworkAvailable, configurationDisabled };

struct ProviderError {
    int code = 0;
    std::string localizedDescription;
};

class DNSProxyProvider {
public:
    using StartCompletion = std::function<void(std::optional<ProviderError>)>;

    virtual ~DNSProxyProvider() = default;

    virtual void startProxy(std::optional<foundation::Dictionary> options, StartCompletion completion) = 0;
    virtual void stopProxy(ProviderStopReason reason, std::function<void()> completion) = 0;
    virtual void sleep(std::function<void()> completion) { completion(); }
    virtual void wake() {}
    // True when the provider takes the flow.
    virtual bool handleNewFlow(std::shared_ptr<AppProxyFlow> flow) = 0;
};

}  // namespace ne
