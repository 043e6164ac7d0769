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
    manager_->loadFromPreferences([this](const std::optional<ne::ManagerError>& error) { handleLoadResult(error); });
    appLogger().info("Network extension enabled for bundle Id: %s, app group Id: %s", shared::extensionBundleIdentifier,
                     shared::appGroupSuite);
}

ProviderConfiguration AppDelegate::loadOrSeedConfiguration() {
    if (hasStoredValue(shared::key::serverAddress, defaults_)) {
        appConfigLogger().info("Loading config from previosuly persisted user defaults");
    } else {
        appConfigLogger().info("Fresh install, loading config from pre-canned defaults");
        for (const auto& [key, seed] : configurationKeys) defaults_.set(key, seed);
    }
    return loadProviderConfiguration();
}

void AppDelegate::configureProxyManager() {
    manager_->localizedDescription = proxyDescription;
    auto protocol = std::make_shared<ne::DNSProxyProviderProtocol>();
    protocol->providerBundleIdentifier = shared::extensionBundleIdentifier;
    protocol->providerConfiguration = loadOrSeedConfiguration();
    manager_->providerProtocol = protocol;
    manager_->enabled = true;
}

void AppDelegate::handleLoadResult(const std::optional<ne::ManagerError>& error) {
    if (error) {
        appLogger().error("Error loading preferences when updating: %{public}s", optionalDescription(*error));
        return;
    }
    configureProxyManager();
    manager_->saveToPreferences([this](const std::optional<ne::ManagerError>& error) { handleSaveResult(error); });
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
