#include "AppDelegate.h"

#include "AppLog.h"
#include "dispatch/Dispatch.h"

namespace app {

AppDelegate::AppDelegate(std::shared_ptr<ne::DNSProxyManager> manager)
    : defaults_(openSettingsStore()), manager_(std::move(manager)) {}

bool AppDelegate::didFinishLaunching(ui::Application&) {
    enableDNSProxy();
    return true;
}

ui::SceneConfiguration AppDelegate::configurationForConnectingSceneSession(ui::Application&,
                                                                           const ui::SceneSession& session) {
    return {sceneConfigurationName, session.role};
}

void AppDelegate::enableDNSProxy() {
    manager_->loadFromPreferences(
        [self = shared_from_this()](const std::optional<ne::ManagerError>& error) { self->handleLoadResult(error); });
    appLogger().info("Network extension enabled for bundle Id: %s, app group Id: %s", shared::extensionBundleIdentifier,
                     shared::appGroupSuite);
}

std::optional<ProviderConfiguration> AppDelegate::loadOrSeedConfiguration() {
    foundation::StoreError error;
    auto stored = defaults_.load(&error);
    if (!stored && error.kind == foundation::StoreError::Kind::corrupt) {
        const std::string corruption = error.message;
        if (auto aside = defaults_.moveCorruptFileAside(&error)) {
            appConfigLogger().error("Corrupt settings store moved aside to %{public}s (%{public}s)", aside->string(),
                                    corruption);
            stored.emplace();
        }
    }
    if (!stored) {
        // No fresh install: seeding would overwrite what could not be read.
        appConfigLogger().error("Cannot use the settings store: %{public}s", error.message);
        return std::nullopt;
    }
    if (stored->contains(shared::key::serverAddress)) {
        appConfigLogger().info("Loading config from previosuly persisted user defaults");
    } else {
        appConfigLogger().info("Fresh install, loading config from pre-canned defaults");
        foundation::Dictionary seeds;
        for (const auto& [key, seed] : configurationKeys) seeds[key] = seed;
        if (!defaults_.update(seeds, {}, &error))
            appConfigLogger().error("Failed to seed the settings store: %{public}s", error.message);
    }
    return loadProviderConfiguration();
}

bool AppDelegate::configureProxyManager() {
    auto configuration = loadOrSeedConfiguration();
    if (!configuration) return false;
    manager_->localizedDescription = proxyDescription;
    auto protocol = std::make_shared<ne::DNSProxyProviderProtocol>();
    protocol->providerBundleIdentifier = shared::extensionBundleIdentifier;
    protocol->providerConfiguration = std::move(configuration);
    manager_->providerProtocol = protocol;
    manager_->enabled = true;
    return true;
}

void AppDelegate::handleLoadResult(const std::optional<ne::ManagerError>& error) {
    if (error) {
        appLogger().error("Error loading preferences when updating: %{public}s", optionalDescription(*error));
        return;
    }
    // Without a configuration the saved preferences stay as they are.
    if (!configureProxyManager()) return;
    manager_->saveToPreferences(
        [self = shared_from_this()](const std::optional<ne::ManagerError>& error) { self->handleSaveResult(error); });
}

void AppDelegate::handleSaveResult(const std::optional<ne::ManagerError>& error) {
    if (!error) {
        appLogger().info("Saved preferences");
    } else if (error->code == ne::errorCodePermissionDenied) {
        appLogger().error(
            "Failed to load configuration as DNS entilement is not enabled for this device. Supervision required.");
        showFilteringDisabledAlert();
    } else {
        appLogger().error("Error saving preferences: %{public}s", optionalDescription(*error));
    }
}

void AppDelegate::showFilteringDisabledAlert() {
    auto alert = std::make_shared<ui::AlertController>(
        "Filtering Disabled",
        "To enable content filtering, this device must be enrolled with your school's Mobile Device Management "
        "system. Please contact your administrator.",
        ui::AlertControllerStyle::alert);
    alert->addAction({"OK", ui::AlertActionStyle::defaultStyle, nullptr});
    dispatch::DispatchQueue::main().async([alert] { presentOnRootViewController(alert); });
}

void AppDelegate::presentOnRootViewController(std::shared_ptr<ui::ViewController> controller) {
    ui::Window* keyWindow = ui::Application::shared().keyWindow();
    if (!keyWindow) return;
    if (auto root = keyWindow->rootViewController()) root->present(std::move(controller), true);
}

}  // namespace app
