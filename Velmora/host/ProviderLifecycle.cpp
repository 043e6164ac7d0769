#include "Velmora/host/ProviderLifecycle.h"

#include "dispatch/Dispatch.h"

namespace {

void logStartOutcome(std::optional<ne::ProviderError> error) {
    if (error)
        ne::hostLogger().error("Proxy start failed: %{public}s", error->localizedDescription);
    else
        ne::hostLogger().info("Proxy started");
}

void logUnreadablePreferences(const std::string& reason) {
    ne::hostLogger().error("Cannot read the DNS proxy preferences: %{public}s", reason);
}

dispatch::DispatchQueue& mainQueue() { return dispatch::DispatchQueue::main(); }

}  // namespace

ProviderLifecycle::ProviderLifecycle(ne::ProviderHost& host, std::optional<ne::ProviderConfiguration> fileConfiguration)
    : host_(host), fileConfiguration_(std::move(fileConfiguration)),
      preferences_(
          ne::dnsProxyPreferencesPath(), [this](const auto&) { preferencesChanged(); },
          [](const ne::ManagerError& error) { logUnreadablePreferences(error.reason); }),
      signals_(mainQueue().context(), [this](int) { stopAndEnd(); }) {
    start();
}

void ProviderLifecycle::start() {
    auto fromPreferences = startFromPreferences(host_, ne::dnsProxyPreferencesPath(), logStartOutcome);
    if (!fromPreferences) logUnreadablePreferences(fromPreferences.error().reason);
    started_ = fromPreferences && *fromPreferences;
    if (started_) return;
    if (fileConfiguration_) {
        host_.startProvider(startOptions(*fileConfiguration_), logStartOutcome);
        started_ = true;
        return;
    }
    ne::hostLogger().info("DNS proxy not enabled in the preferences and no --config given; not started");
}

void ProviderLifecycle::preferencesChanged() {
    if (!started_) return start();
    ne::hostLogger().info("DNS proxy preferences changed; stopping the proxy");
    started_ = false;
    host_.stopProvider(ne::ProviderStopReason::configurationDisabled,
                       [this] { mainQueue().async([this] { start(); }); });
}

void ProviderLifecycle::stopAndEnd() {
    host_.stopProvider(ne::ProviderStopReason::userInitiated, [] { mainQueue().async([] { dispatch::stopMain(); }); });
}
