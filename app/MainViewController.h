#pragma once
// The status screen: who protects the device, the user, the device, the version and
// a disclaimer, with buttons to copy the configuration and open the schools page.
// From 0.5 s after loading it reloads the DNS proxy preferences every 15 s.

#include "SettingsStore.h"
#include "networkextension/DNSProxyManager.h"
#include "ui/Controls.h"
#include "ui/ViewController.h"

#include <functional>
#include <memory>
#include <optional>

namespace app {

inline constexpr const char* schoolsPageAddress = "https://www.brimvale.example/anz/schools";

class MainViewController : public ui::ViewController {
public:
    explicit MainViewController(std::shared_ptr<ne::DNSProxyManager> manager = ne::DNSProxyManager::sharedManager());

    // Outlets, connected by the screen's layout.
    std::weak_ptr<ui::ImageView> disclaimerBackground;
    std::weak_ptr<ui::View> schoolContainer;
    std::weak_ptr<ui::Label> protectedByLabel;
    std::weak_ptr<ui::Label> protectedByName;
    std::weak_ptr<ui::Label> usernameLabel;
    std::weak_ptr<ui::Label> username;
    std::weak_ptr<ui::Label> deviceIdLabel;
    std::weak_ptr<ui::Label> deviceId;
    std::weak_ptr<ui::Label> versionLabel;
    std::weak_ptr<ui::Label> disclaimerLabel;
    std::weak_ptr<ui::Label> disclaimerContent;
    std::weak_ptr<ui::Button> poweredBy;
    std::weak_ptr<ui::ImageView> configBackground;
    std::weak_ptr<ui::View> dataContainer;
    std::weak_ptr<ui::View> disclaimerContainer;
    std::weak_ptr<ui::ImageView> bvLogo;
    std::weak_ptr<ui::Button> copyButton;

    const double UPDATE_UI_INTERVAL = 15.0;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillLayoutSubviews() override;
    void copyButtonClick();
    void poweredByClick();

    void reloadConfigAndUI();
    void handleConfigLoaded(const std::optional<ne::ManagerError>& error,
                            const std::function<void(std::optional<ProviderConfiguration>)>& then);
    void applyLoadedConfig(std::optional<ProviderConfiguration> config);
    void updateStatusLabels(const ProviderConfiguration& values);
    void setStatusAlpha(double alpha);
    void copyConfigurationText();

    const std::optional<ProviderConfiguration>& lastConfig() const { return lastConfig_; }
    const std::shared_ptr<ne::DNSProxyManager>& manager() const { return manager_; }

private:
    std::weak_ptr<MainViewController> weakController();

    std::shared_ptr<ne::DNSProxyManager> manager_;
    std::optional<ProviderConfiguration> lastConfig_;
};

// The screen's layout: builds the view tree for the screen size, connects all
// seventeen outlets and the two button actions, and returns the root view.
std::shared_ptr<ui::View> buildStatusScreen(MainViewController& controller);

// The support text of seven lines that the copy button puts on the pasteboard.
std::string configurationText(const ProviderConfiguration& config, const std::string& longVersion);

}  // namespace app
