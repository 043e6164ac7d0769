#pragma once
// The system's side of a DNS proxy provider: the base class whose entry points the
// system calls, on threads of its own, to start, stop, suspend and wake the provider
// and to offer it the device's DNS flows. The extension's own provider derives from it.

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

class DNSProxyProviderBase {
public:
    using StartCompletion = std::function<void(std::optional<ProviderError>)>;

    virtual ~DNSProxyProviderBase() = default;

    virtual void startProxy(std::optional<foundation::Dictionary> options, StartCompletion completion) = 0;
    virtual void stopProxy(ProviderStopReason reason, std::function<void()> completion) = 0;
    virtual void sleep(std::function<void()> completion) { completion(); }
    virtual void wake() {}
    // True when the provider takes the flow.
    virtual bool handleNewFlow(std::shared_ptr<AppProxyFlow> flow) = 0;
};

}  // namespace ne
