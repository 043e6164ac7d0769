#pragma once
// Starts, restarts and stops the provider as the system does. It starts with the saved
// DNS proxy preferences when they enable this extension, else with the --config file;
// each change of the preferences stops the provider and starts it again by the same
// rule; the first stop signal stops it and then ends the main loop. Lives on the main
// queue, and from construction until that loop has ended.

#include "Velmora/host/ExtensionHost.h"
#include "networkextension/DNSProxyManager.h"

#include <optional>

class ProviderLifecycle {
public:
    ProviderLifecycle(ne::ProviderHost& host, std::optional<ne::ProviderConfiguration> fileConfiguration);
    ProviderLifecycle(const ProviderLifecycle&) = delete;
    ProviderLifecycle& operator=(const ProviderLifecycle&) = delete;

private:
    // Starts the provider when the preferences or the file give it a configuration.
    void start();
    void preferencesChanged();
    void stopAndEnd();

    ne::ProviderHost& host_;
    const std::optional<ne::ProviderConfiguration> fileConfiguration_;
    bool started_ = false;  // a start was asked for, and no stop since
    // Watched before the first start, so that no change after its read goes unseen.
    ne::PreferencesWatch preferences_;
    StopSignalWatch signals_;
};
