#include "MainViewController.h"

#include "AppLog.h"
#include "Velmora/shared/AppVersion.h"
#include "dispatch/Dispatch.h"
#include "style/StyleKit.h"
#include "style/interface/StyleDefinitions.h"
#include "ui/Application.h"

#include <chrono>
#include <curl/curl.h>

namespace app {
namespace {

using namespace std::chrono_literals;

// Runs `body` with the outlet's view when the outlet is connected.
template <class T, class Body>
void with(const std::weak_ptr<T>& outlet, Body&& body) {
    if (auto view = outlet.lock()) body(*view);
}

ui::FontRef lato(const char* weight, double size) { return ui::Font::named(std::string("Lato-") + weight, size); }

void setTextAndFont(const std::weak_ptr<ui::Label>& outlet, const char* text, const char* weight, double size) {
    with(outlet, [&](ui::Label& label) {
        label.setText(std::string(text));
        label.setFont(lato(weight, size));
    });
}

bool isValidURL(const std::string& address) {
    CURLU* url = curl_url();
    bool valid = curl_url_set(url, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK;
    curl_url_cleanup(url);
    return valid;
}

std::string valueOr(const ProviderConfiguration& config, const char* key, const char* absent) {
    auto it = config.find(key);
    return it == config.end() ? absent : it->second;
}

}  // namespace

std::string configurationText(const ProviderConfiguration& config, const std::string& longVersion) {
    return "User: " + valueOr(config, shared::key::userName, "(nil)") + "\n" +
           "Device: " + valueOr(config, shared::key::deviceId, "(nil)") + "\n" +
           "Device name: " + valueOr(config, shared::key::deviceName, "(nil)") + "\n" +
           "Server address: " + valueOr(config, shared::key::serverAddress, "(nil)") + "\n" +
           "Region: " + valueOr(config, shared::key::region, "(nil)") + "\n" +
           "Bypass Domains: [" + valueOr(config, shared::key::bypassDomains, "") + "]\n" +
           "Version: " + longVersion;
}

MainViewController::MainViewController(std::shared_ptr<ne::DNSProxyManager> manager) : manager_(std::move(manager)) {}

// Delayed tasks and completions hold the screen weakly: they must not keep it alive.
std::weak_ptr<MainViewController> MainViewController::weakController() {
    return std::static_pointer_cast<MainViewController>(weak_from_this().lock());
}

void MainViewController::loadView() { setView(buildStatusScreen(*this)); }

void MainViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    view()->setBackgroundColor(style::StyleDefinitions::colorGrey1());
    with(dataContainer, [](ui::View& v) { v.setAlpha(0); });
    with(protectedByName, [](ui::View& v) { v.setAlpha(0); });
    with(protectedByLabel, [](ui::View& v) { v.setAlpha(0); });
    ui::View::setAppearanceTintColor(style::StyleKit::bvBlue());
    if (ui::Application::shared().userInterfaceIdiom() == ui::UserInterfaceIdiom::phone)
        with(bvLogo, [](ui::View& v) { v.setHidden(true); });
    auto weakSelf = weakController();
    dispatch::DispatchQueue::main().asyncAfter(500ms, [weakSelf] {
        if (auto self = weakSelf.lock()) self->reloadConfigAndUI();
    });
}

void MainViewController::viewWillLayoutSubviews() {
    for (const auto* outlet : {&disclaimerBackground, &configBackground})
        with(*outlet, [](ui::ImageView& v) { v.setImage(style::StyleKit::imageOfShadowBoxWithImageSize(v.frame().size)); });

    setTextAndFont(protectedByLabel, "This device is being protected by", "Regular", 15);
    with(protectedByName, [](ui::Label& l) { l.setFont(lato("Bold", 22)); });
    setTextAndFont(disclaimerLabel, "If you didn't install this app, it was likely installed by your school", "Bold",
                   17);
    setTextAndFont(disclaimerContent,
                   "The Brimvale App protects your device online and maintains your school's internet policy",
                   "Regular", 13);
    setTextAndFont(usernameLabel, "User:", "Bold", 15);
    with(usernameLabel, [](ui::Label& l) { l.sizeToFit(); });
    with(username, [](ui::Label& l) { l.setFont(lato("Regular", 13)); });
    setTextAndFont(deviceIdLabel, "Device:", "Bold", 15);
    with(deviceIdLabel, [](ui::Label& l) { l.sizeToFit(); });
    with(deviceId, [](ui::Label& l) { l.setFont(lato("Regular", 13)); });
    setTextAndFont(versionLabel, ("Version " + appVersionString(false)).c_str(), "Regular", 15);
    with(poweredBy, [](ui::Button& b) {
        b.setTitle(std::string("Powered by Brimvale"), ui::stateNormal);
        if (auto label = b.titleLabel()) label->setFont(lato("Bold", 15));
    });

    auto data = dataContainer.lock();
    auto disclaimer = disclaimerContainer.lock();
    if (data && disclaimer) {
        gfx::Rect f = data->frame();
        f.origin.y = disclaimer->frame().origin.y + disclaimer->frame().size.height;
        data->setFrame(f);
    }
}

void MainViewController::copyButtonClick() { copyConfigurationText(); }

void MainViewController::poweredByClick() {
    if (!isValidURL(schoolsPageAddress)) return;
    ui::Application::shared().openURL(schoolsPageAddress, {}, nullptr);
}

void MainViewController::reloadConfigAndUI() {
    uiLogger().info("Loading config and updating UI");
    auto weakSelf = weakController();
    manager_->loadFromPreferences([weakSelf](const std::optional<ne::ManagerError>& error) {
        if (auto self = weakSelf.lock())
            self->handleConfigLoaded(error, [&self](auto config) { self->applyLoadedConfig(std::move(config)); });
    });
    auto period = std::chrono::duration_cast<dispatch::Duration>(std::chrono::duration<double>(UPDATE_UI_INTERVAL));
    dispatch::DispatchQueue::main().asyncAfter(period, [weakSelf] {
        if (auto self = weakSelf.lock()) self->reloadConfigAndUI();
    });
}

void MainViewController::handleConfigLoaded(const std::optional<ne::ManagerError>& error,
                                            const std::function<void(std::optional<ProviderConfiguration>)>& then) {
    if (error) {
        uiLogger().error("Error loading preferences: %s", optionalDescription(*error));
        then(std::nullopt);
        return;
    }
    const auto& protocol = manager_->providerProtocol;
    if (!protocol || !protocol->providerConfiguration) {
        uiLogger().error("ProviderProtocol.config is empty");
        then(std::nullopt);
        return;
    }
    then(*protocol->providerConfiguration);
}

void MainViewController::applyLoadedConfig(std::optional<ProviderConfiguration> config) {
    lastConfig_ = std::move(config);
    if (!lastConfig_) {
        ui::View::animate(0.5, [this] { setStatusAlpha(0); });
        return;
    }
    updateStatusLabels(loadProviderConfiguration());
}

void MainViewController::updateStatusLabels(const ProviderConfiguration& values) {
    std::string name = valueOr(values, shared::key::deviceName, "Brimvale");
    std::string user = valueOr(values, shared::key::userName, "Unknown");
    std::string device = valueOr(values, shared::key::deviceId, "Unknown");
    ui::View::animate(0.5, [this] { setStatusAlpha(1); });
    with(protectedByName, [&](ui::Label& l) { l.setText(name); });
    with(username, [&](ui::Label& l) { l.setText(user); });
    with(deviceId, [&](ui::Label& l) { l.setText(device); });
}

void MainViewController::setStatusAlpha(double alpha) {
    with(dataContainer, [&](ui::View& v) { v.setAlpha(alpha); });
    with(protectedByName, [&](ui::View& v) { v.setAlpha(alpha); });
    with(protectedByLabel, [&](ui::View& v) { v.setAlpha(alpha); });
}

void MainViewController::copyConfigurationText() {
    if (!lastConfig_) return;
    ui::Pasteboard::general().setString(configurationText(*lastConfig_, appVersionString(true)));
}

}  // namespace app
