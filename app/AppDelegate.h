#pragma once
// The application delegate: on every launch it loads the DNS proxy preferences,
// fills them with the configuration that names the extension, enables and saves
// them; a save refused for want of supervision ends in the "Filtering Disabled" alert.

#include "SettingsStore.h"
#include "networkextension/DNSProxyManager.h"
#include "ui/Application.h"
#include "ui/ViewController.h"

#include <memory>
#include <optional>

namespace app {

inline constexpr const char* proxyDescription = "DNS";
inline constexpr const char* sceneConfigurationName = "Default Configuration";

// Lives in a shared_ptr: the proxy manager's completions hold it until they have run.
class AppDelegate : public ui::ApplicationDelegate, public std::enable_shared_from_this<AppDelegate> {
public:
    // Throws std::runtime_error when the settings store cannot be opened.
    explicit AppDelegate(std::shared_ptr<ne::DNSProxyManager> manager = ne::DNSProxyManager::sharedManager());

    bool didFinishLaunching(ui::Application& application) override;
    ui::SceneConfiguration configurationForConnectingSceneSession(ui::Application& application,
                                                                  const ui::SceneSession& session) override;
    void didDiscardSceneSessions(ui::Application&) override {}
    bool respondsToWindow() const override { return true; }
    std::shared_ptr<ui::Window> window() const override { return window_; }
    void setWindow(std::shared_ptr<ui::Window> window) { window_ = std::move(window); }

    void enableDNSProxy();
    // Seeds the store on a fresh install (a corrupt store moved aside first), then
    // reads the provider configuration; absent when the store cannot be read.
    std::optional<ProviderConfiguration> loadOrSeedConfiguration();

    // False, with the manager untouched, when there is no configuration to give it.
    bool configureProxyManager();
    void handleLoadResult(const std::optional<ne::ManagerError>& error);
    void handleSaveResult(const std::optional<ne::ManagerError>& error);
    void showFilteringDisabledAlert();
    static void presentOnRootViewController(std::shared_ptr<ui::ViewController> controller);

    const foundation::UserDefaults& defaults() const { return defaults_; }
    const std::shared_ptr<ne::DNSProxyManager>& manager() const { return manager_; }

private:
    foundation::UserDefaults defaults_;
    std::shared_ptr<ne::DNSProxyManager> manager_;
    std::shared_ptr<ui::Window> window_;
};

class SceneDelegate : public ui::SceneDelegate {};

}  // namespace app
