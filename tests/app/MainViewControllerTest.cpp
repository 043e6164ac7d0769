// The status screen: its layout and texts, the reload cycle with its fades, the
// copied support text, the schools page, and the screen rendered headless.

#include "AppDelegate.h"
#include "Velmora/shared/AppVersion.h"
#include "MainViewController.h"
#include "AppTestSupport.h"

#include "dispatch/Dispatch.h"
#include "log/Log.h"
#include "style/StyleKit.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <fstream>

namespace {

using namespace std::chrono_literals;
namespace ts = testing_support;

const app::ProviderConfiguration fullConfig{{"deviceName", "Saved School"}, {"serverAddress", "dns.example"},
                                            {"macAddress", "aa"},           {"deviceId", "dev-9"},
                                            {"userName", "saved-user"},    {"region", "lon-2"},
                                            {"bypassDomains", "a.example,b.example"}};

class StatusScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ts::clearStateFolder();
        ui::Application::shared().setUserInterfaceIdiom(ui::UserInterfaceIdiom::phone);
        ui::Pasteboard::general().setString("");
        controller = std::make_shared<app::MainViewController>(manager);
        window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 390, 844});
        window->setRootViewController(controller);
        window->makeKeyAndVisible();
        window->layoutIfNeeded();
    }
    void TearDown() override {
        window.reset();
        controller.reset();
        dispatch::drainMain();
    }

    void savePreferences(std::optional<app::ProviderConfiguration> config) {
        ne::DNSProxyPreferences prefs{"DNS", true, "com.brimvale.ios-dns.ext", std::move(config)};
        ASSERT_TRUE(ne::writeDNSProxyPreferences(ne::dnsProxyPreferencesPath(), prefs));
    }
    void reload() {
        controller->reloadConfigAndUI();
        dispatch::runMainFor(20ms);
    }
    double statusAlpha() const {
        double alpha = controller->dataContainer.lock()->alpha();
        EXPECT_EQ(controller->protectedByName.lock()->alpha(), alpha);
        EXPECT_EQ(controller->protectedByLabel.lock()->alpha(), alpha);
        return alpha;
    }

    std::shared_ptr<ne::DNSProxyManager> manager = std::make_shared<ne::DNSProxyManager>();
    std::shared_ptr<app::MainViewController> controller;
    std::shared_ptr<ui::Window> window;
    oslog::MemorySink log;
};

TEST_F(StatusScreen, LayoutConnectsEveryOutletAndSetsTextsAndFonts) {
    auto& c = *controller;
    EXPECT_TRUE(c.disclaimerBackground.lock() && c.schoolContainer.lock() && c.protectedByLabel.lock() &&
                c.protectedByName.lock() && c.usernameLabel.lock() && c.username.lock() &&
                c.deviceIdLabel.lock() && c.deviceId.lock() && c.versionLabel.lock() && c.disclaimerLabel.lock() &&
                c.disclaimerContent.lock() && c.poweredBy.lock() && c.configBackground.lock() &&
                c.dataContainer.lock() && c.disclaimerContainer.lock() && c.bvLogo.lock() && c.copyButton.lock());

    auto expect = [](const std::weak_ptr<ui::Label>& outlet, const char* text, const char* font, double size) {
        auto label = outlet.lock();
        if (text) {
            EXPECT_EQ(label->text(), text);
        }
        ASSERT_TRUE(label->font()) << font;
        EXPECT_EQ(label->font()->name(), font);
        EXPECT_EQ(label->font()->pointSize(), size);
    };
    expect(c.protectedByLabel, "This device is being protected by", "Lato-Regular", 15);
    expect(c.protectedByName, nullptr, "Lato-Bold", 22);
    expect(c.disclaimerLabel, "If you didn't install this app, it was likely installed by your school", "Lato-Bold", 17);
    expect(c.disclaimerContent,
           "The Brimvale App protects your device online and maintains your school's internet policy",
           "Lato-Regular", 13);
    expect(c.usernameLabel, "User:", "Lato-Bold", 15);
    expect(c.username, nullptr, "Lato-Regular", 13);
    expect(c.deviceIdLabel, "Device:", "Lato-Bold", 15);
    expect(c.deviceId, nullptr, "Lato-Regular", 13);
    EXPECT_EQ(c.versionLabel.lock()->text(), "Version " + appVersionString(false));
    EXPECT_EQ(c.poweredBy.lock()->title(ui::stateNormal), "Powered by Brimvale");
    EXPECT_EQ(c.poweredBy.lock()->titleLabel()->font()->name(), "Lato-Bold");

    // Captions are sized to their text; the status part sits right under the disclaimer.
    auto caption = c.usernameLabel.lock()->frame().size;
    EXPECT_GT(caption.width, 20);
    EXPECT_LT(caption.width, 60);
    auto disclaimer = c.disclaimerContainer.lock()->frame();
    EXPECT_EQ(c.dataContainer.lock()->frame().origin.y, disclaimer.origin.y + disclaimer.size.height);

    // Both card backgrounds are shadow boxes at their own sizes.
    for (const auto& outlet : {c.disclaimerBackground, c.configBackground}) {
        auto view = outlet.lock();
        ASSERT_TRUE(view->image());
        EXPECT_EQ(view->image()->size(), view->frame().size);
    }
    EXPECT_TRUE(c.bvLogo.lock()->isHidden()) << "no logo on phones";
    EXPECT_EQ(controller->view()->backgroundColor(), style::StyleKit::grey1());
    EXPECT_EQ(ui::View::appearanceTintColor(), style::StyleKit::bvBlue());
}

TEST_F(StatusScreen, ReloadCycleFadesTheStatusInFromTheStore) {
    EXPECT_EQ(statusAlpha(), 0) << "invisible before the first reload";
    savePreferences(fullConfig);
    foundation::UserDefaults store(shared::appGroupSuite);
    store.set("deviceName", "Store School");
    store.set("userName", "store-user");

    // The first reload comes by itself half a second after loading.
    EXPECT_TRUE(dispatch::runMainUntil([&] { return controller->lastConfig().has_value(); }, 2s));
    EXPECT_TRUE(log.contains("Loading config and updating UI"));
    EXPECT_EQ(statusAlpha(), 1);
    EXPECT_EQ(controller->protectedByName.lock()->text(), "Store School");
    EXPECT_EQ(controller->username.lock()->text(), "store-user");
    EXPECT_EQ(controller->deviceId.lock()->text(), "bv.usa") << "a missing store key reads as its seed";
    EXPECT_EQ(controller->lastConfig(), fullConfig);

    savePreferences(std::nullopt);
    reload();
    EXPECT_TRUE(log.contains("ProviderProtocol.config is empty"));
    EXPECT_FALSE(controller->lastConfig());
    EXPECT_EQ(statusAlpha(), 0);

    savePreferences(fullConfig);
    reload();
    EXPECT_EQ(statusAlpha(), 1);
    std::ofstream(ne::dnsProxyPreferencesPath()) << "garbage";
    reload();
    EXPECT_TRUE(log.contains("Error loading preferences: <private>"));
    EXPECT_EQ(statusAlpha(), 0);
}

TEST_F(StatusScreen, TapsReachTheCopyButtonOnlyWhileTheStatusShows) {
    auto copy = controller->copyButton.lock();
    auto centre = copy->convertToWindow({copy->frame().size.width / 2, copy->frame().size.height / 2});
    EXPECT_NE(window->hitTest(centre), copy.get()) << "a faded-out button takes no taps";
    savePreferences(fullConfig);
    reload();
    EXPECT_EQ(window->hitTest(centre), copy.get());
    auto powered = controller->poweredBy.lock();
    EXPECT_EQ(window->hitTest(powered->convertToWindow({5, 5})), powered.get());
}

TEST_F(StatusScreen, UpdateStatusLabelsFallsBackForMissingValues) {
    controller->updateStatusLabels({});
    EXPECT_EQ(controller->protectedByName.lock()->text(), "Brimvale");
    EXPECT_EQ(controller->username.lock()->text(), "Unknown");
    EXPECT_EQ(controller->deviceId.lock()->text(), "Unknown");
    EXPECT_EQ(statusAlpha(), 1);
}

TEST_F(StatusScreen, ReleasedControllerEndsTheCycle) {
    std::weak_ptr<app::MainViewController> weak = controller;
    window->setRootViewController(nullptr);
    controller.reset();
    EXPECT_TRUE(weak.expired()) << "pending reloads must not keep the screen alive";
    dispatch::runMainFor(700ms);
    EXPECT_FALSE(log.contains("Loading config and updating UI"));
}

TEST_F(StatusScreen, CopyWritesSevenLinesFromTheLoadedPreferences) {
    controller->copyButtonClick();
    EXPECT_EQ(ui::Pasteboard::general().string(), "") << "nothing before a successful load";

    savePreferences(fullConfig);
    reload();
    controller->copyButtonClick();
    EXPECT_EQ(ui::Pasteboard::general().string(), "User: saved-user\n"
                                                  "Device: dev-9\n"
                                                  "Device name: Saved School\n"
                                                  "Server address: dns.example\n"
                                                  "Region: lon-2\n"
                                                  "Bypass Domains: [a.example,b.example]\n"
                                                  "Version: " + appVersionString(true));

    EXPECT_EQ(app::configurationText({{"userName", "u"}}, "V"),
              "User: u\nDevice: (nil)\nDevice name: (nil)\nServer address: (nil)\nRegion: (nil)\n"
              "Bypass Domains: []\nVersion: V");
}

TEST_F(StatusScreen, PoweredByOpensTheSchoolsPage) {
    controller->poweredBy.lock()->sendActions();
    ASSERT_FALSE(ui::Application::shared().openedURLs().empty());
    EXPECT_EQ(ui::Application::shared().openedURLs().back(), "https://www.brimvale.example/anz/schools");
}

TEST_F(StatusScreen, RendersHeadlessWithBothCards) {
    savePreferences(fullConfig);
    reload();
    dispatch::runMainFor(600ms);  // let the fade finish
    auto image = window->snapshot(1);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (gfx::Size{390, 844}));
    auto png = ts::stateFolder() / "status-screen.png";
    EXPECT_TRUE(image->writePNG(png.string()));

    auto at = [&](const std::weak_ptr<ui::ImageView>& outlet, double dx, double dy) {
        gfx::Point p = outlet.lock()->convertToWindow({dx, dy});
        return image->pixelAtPoint(p.x, p.y);
    };
    // Colours within a step of rounding: compositing rounds differently at each optimisation level.
    auto near = [](gfx::Pixel got, gfx::Pixel want) {
        auto close = [](int a, int b) { return std::abs(a - b) <= 2; };
        return close(got.r, want.r) && close(got.g, want.g) && close(got.b, want.b) && close(got.a, want.a);
    };
    const gfx::Pixel white{255, 255, 255, 255};
    const gfx::Pixel grey1{242, 242, 242, 255};
    EXPECT_TRUE(near(at(controller->disclaimerBackground, 15, 15), white)) << "inside the card";
    EXPECT_TRUE(near(at(controller->configBackground, 15, 15), white));
    EXPECT_TRUE(near(at(controller->configBackground, 2, 2), grey1)) << "the margin shows the screen's background";
    EXPECT_TRUE(near(image->pixelAtPoint(5, 5), grey1));
}

}  // namespace
