// The DNS proxy preferences and the app's enabling road: seeding, the four
// outcomes with their log records, and the alert.

#include "AppDelegate.h"
#include "AppTestSupport.h"
#include "../platform/foundation/FileReplacementCounter.h"

#include "dispatch/Dispatch.h"
#include "log/Log.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

using namespace std::chrono_literals;
namespace ts = testing_support;

std::filesystem::path systemFolder() { return ts::stateFolder() / "System"; }

// Nested far deeper than any reader may follow.
const std::string& deepPropertyList() {
    static const std::string text = [] {
        std::string plist = "<plist version=\"1.0\">";
        for (int i = 0; i < 200'000; ++i) plist += "<dict><key>k</key>";
        return plist;
    }();
    return text;
}

class Enabling : public ::testing::Test {
protected:
    void SetUp() override {
        ts::clearStateFolder();
        ui::Application::shared().setKeyWindow(nullptr);
    }
    void TearDown() override { dispatch::drainMain(); }

    // Launches like the system does and runs the main queue until the road ends.
    void launch(app::AppDelegate& delegate) {
        delegate.didFinishLaunching(ui::Application::shared());
        dispatch::runMainFor(50ms);
    }
    // A launch that ends by saving the preferences, however long a busy machine takes.
    void launchUntilSaved(app::AppDelegate& delegate) {
        delegate.didFinishLaunching(ui::Application::shared());
        dispatch::runMainUntil([this] { return log.contains("Saved preferences"); }, 10s);
    }

    // A window with a root controller, so that an alert has somewhere to go.
    std::shared_ptr<ui::Window> showWindow() {
        auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 390, 844});
        window->setRootViewController(std::make_shared<ui::ViewController>());
        window->makeKeyAndVisible();
        return window;
    }

    oslog::MemorySink log;
};

TEST_F(Enabling, PreferencesRoundTripThroughTheFile) {
    auto file = ne::dnsProxyPreferencesPath();
    ne::ManagerError error;
    auto missing = ne::readDNSProxyPreferences(file, &error);
    ASSERT_TRUE(missing);
    EXPECT_EQ(*missing, ne::DNSProxyPreferences{});

    ne::DNSProxyPreferences prefs{"DNS", true, "com.brimvale.ios-dns.ext", ne::ProviderConfiguration{{"a", "1"}}};
    ASSERT_TRUE(ne::writeDNSProxyPreferences(file, prefs, &error));
    EXPECT_EQ(ne::readDNSProxyPreferences(file), prefs);

    std::ofstream(file) << "not a property list";
    EXPECT_FALSE(ne::readDNSProxyPreferences(file, &error));
    EXPECT_EQ(error.code, ne::errorCodeReadWriteFailed);
}

TEST_F(Enabling, WatchReportsOnlyChangedPreferences) {
    auto file = ne::dnsProxyPreferencesPath();
    std::vector<ne::DNSProxyPreferences> seen;
    ne::PreferencesWatch watch(file, [&](const ne::DNSProxyPreferences& prefs) { seen.push_back(prefs); });
    auto settle = [] { dispatch::runMainFor(50ms); };
    settle();

    ne::DNSProxyPreferences prefs{"DNS", true, "com.brimvale.ios-dns.ext", ne::ProviderConfiguration{{"a", "1"}}};
    ASSERT_TRUE(ne::writeDNSProxyPreferences(file, prefs));
    settle();
    ASSERT_TRUE(ne::writeDNSProxyPreferences(file, prefs));  // saved again, unchanged
    settle();
    prefs.enabled = false;
    ASSERT_TRUE(ne::writeDNSProxyPreferences(file, prefs));
    settle();
    std::filesystem::remove(file);
    settle();

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_TRUE(seen[0].enabled);
    EXPECT_EQ(seen[1], prefs);
    EXPECT_EQ(seen[2], ne::DNSProxyPreferences{}) << "no file reads as no preferences";
}

TEST_F(Enabling, WatchFollowsTheFolderRemovedAndMadeAgain) {
    auto file = ne::dnsProxyPreferencesPath();
    ne::DNSProxyPreferences prefs{"DNS", false, "com.brimvale.ios-dns.ext", ne::ProviderConfiguration{{"a", "1"}}};
    ASSERT_TRUE(ne::writeDNSProxyPreferences(file, prefs));
    std::vector<ne::DNSProxyPreferences> seen;
    ne::PreferencesWatch watch(file, [&](const ne::DNSProxyPreferences& now) { seen.push_back(now); });

    // Removed while the main queue waits, so that one read takes the file's and the folder's end.
    std::filesystem::remove_all(systemFolder());
    ASSERT_TRUE(dispatch::runMainUntil([&] { return !seen.empty(); }, 10s));
    EXPECT_EQ(seen.back(), ne::DNSProxyPreferences{});

    std::filesystem::create_directories(systemFolder());
    prefs.enabled = true;
    ASSERT_TRUE(ne::writeDNSProxyPreferences(file, prefs));
    ASSERT_TRUE(dispatch::runMainUntil([&] { return seen.size() == 2; }, 10s)) << "saved after the folder came back";
    EXPECT_EQ(seen.back(), prefs);
}

TEST_F(Enabling, FreshInstallSeedsTheStoreAndSavesEnabledPreferences) {
    auto window = showWindow();
    auto delegate = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    launchUntilSaved(*delegate);

    auto records = log.records();
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[0].message, "Network extension enabled for bundle Id: <private>, app group Id: <private>");
    EXPECT_EQ(records[0].category, "app");
    EXPECT_EQ(records[1].message, "Fresh install, loading config from pre-canned defaults");
    EXPECT_EQ(records[1].category, "appconfig");
    EXPECT_EQ(records.back().message, "Saved preferences");

    auto saved = ne::readDNSProxyPreferences(ne::dnsProxyPreferencesPath());
    ASSERT_TRUE(saved && saved->providerConfiguration);
    EXPECT_TRUE(saved->enabled);
    EXPECT_EQ(saved->localizedDescription, "DNS");
    EXPECT_EQ(saved->providerBundleIdentifier, "com.brimvale.ios-dns.ext");
    EXPECT_EQ(*saved->providerConfiguration, (app::ProviderConfiguration{{"deviceName", "Brimvale"},
                                                                         {"serverAddress", "dns.brimvale.example"},
                                                                         {"macAddress", "ff:ff:ff:ff:ff:ff"},
                                                                         {"deviceId", "bv.usa"},
                                                                         {"userName", "ios"},
                                                                         {"region", "syd-1"},
                                                                         {"bypassDomains", ""}}));
    EXPECT_EQ(delegate->defaults().string("userName"), "ios");
    EXPECT_EQ(window->rootViewController()->presentedViewController(), nullptr);
}

TEST_F(Enabling, LaterLaunchKeepsTheStoreAndSavesWhatItHolds) {
    auto first = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    launch(*first);
    // The extension overwrote some values; a key went missing and another is no text.
    foundation::UserDefaults store(shared::appGroupSuite);
    store.set("userName", "pupil-7");
    store.set("region", std::int64_t{42});
    store.remove("bypassDomains");
    log.clear();

    auto second = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    launch(*second);
    EXPECT_TRUE(log.contains("Loading config from previosuly persisted user defaults"));
    EXPECT_FALSE(log.contains("Fresh install"));
    EXPECT_FALSE(store.object("bypassDomains")) << "a store holding serverAddress is never seeded again";

    auto saved = ne::readDNSProxyPreferences(ne::dnsProxyPreferencesPath());
    ASSERT_TRUE(saved && saved->providerConfiguration);
    const auto& config = *saved->providerConfiguration;
    EXPECT_EQ(config.size(), 7u);
    EXPECT_EQ(config.at("userName"), "pupil-7");
    EXPECT_EQ(config.at("region"), "42");       // numbers read as text, as the store gives them
    EXPECT_EQ(config.at("bypassDomains"), "");  // a missing key reads as its seed
}

TEST_F(Enabling, ServerAddressOfAnyKindMeansNotFresh) {
    foundation::UserDefaults(shared::appGroupSuite).set("serverAddress", true);
    auto delegate = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    auto config = delegate->loadOrSeedConfiguration();
    EXPECT_TRUE(log.contains("Loading config from previosuly persisted user defaults"));
    EXPECT_EQ(config->at("serverAddress"), "dns.brimvale.example");  // not text: its seed
    EXPECT_FALSE(delegate->defaults().object("deviceName"));
}

TEST_F(Enabling, LoadErrorLeavesTheManagerUntouched) {
    std::filesystem::create_directories(systemFolder());
    std::ofstream(ne::dnsProxyPreferencesPath()) << deepPropertyList();
    auto manager = std::make_shared<ne::DNSProxyManager>();
    auto delegate = std::make_shared<app::AppDelegate>(manager);
    launch(*delegate);

    auto records = log.records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].message.rfind("Network extension enabled", 0), 0u) << "logged before the outcome";
    EXPECT_EQ(records[1].level, oslog::Level::error);
    EXPECT_EQ(records[1].message, "Error loading preferences when updating: Optional(Error Domain="
                                  "NEConfigurationErrorDomain Code=5 \"unreadable preferences " +
                                      ne::dnsProxyPreferencesPath().string() + ": nested deeper than 512 levels\")");
    EXPECT_EQ(manager->localizedDescription, "");
    EXPECT_FALSE(manager->providerProtocol);
    EXPECT_FALSE(manager->enabled);
    EXPECT_FALSE(delegate->defaults().object("serverAddress")) << "nothing was seeded";
}

TEST_F(Enabling, CorruptStoreIsMovedAsideThenSeededInOneWrite) {
    const auto store = foundation::UserDefaults::suitePath(shared::appGroupSuite);
    std::filesystem::create_directories(store.parent_path());
    std::ofstream(store) << deepPropertyList();
    FileReplacementCounter writes(store.parent_path());
    auto delegate = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    launchUntilSaved(*delegate);

    auto records = log.records();
    auto moved = std::find_if(records.begin(), records.end(),
                              [](const auto& record) { return record.level == oslog::Level::error; });
    ASSERT_NE(moved, records.end());
    EXPECT_EQ(moved->category, "appconfig");
    const std::string prefix = "Corrupt settings store moved aside to ";
    ASSERT_EQ(moved->message.rfind(prefix, 0), 0u) << moved->message;
    const std::string aside = moved->message.substr(prefix.size(), moved->message.find(" (") - prefix.size());
    EXPECT_EQ(moved->message.substr(prefix.size() + aside.size()),
              " (" + store.string() + ": nested deeper than 512 levels)");
    EXPECT_EQ(std::filesystem::file_size(aside), deepPropertyList().size()) << "kept whole";

    EXPECT_TRUE(log.contains("Fresh install, loading config from pre-canned defaults"));
    EXPECT_EQ(writes.count(store.filename()), 1) << "seven seeds in one write";
    EXPECT_EQ(delegate->defaults().string("deviceId"), "bv.usa");
    EXPECT_EQ(records.back().message, "Saved preferences");
}

TEST_F(Enabling, UnreadableStoreIsAnErrorNotAFreshInstall) {
    const auto store = foundation::UserDefaults::suitePath(shared::appGroupSuite);
    std::filesystem::create_directories(store);  // reads fail, as for a store without read permission
    auto manager = std::make_shared<ne::DNSProxyManager>();
    auto delegate = std::make_shared<app::AppDelegate>(manager);
    launch(*delegate);

    EXPECT_TRUE(log.contains("Cannot use the settings store: " + store.string() + ": Is a directory"));
    EXPECT_FALSE(log.contains("Fresh install"));
    EXPECT_FALSE(log.contains("Saved preferences"));
    EXPECT_TRUE(std::filesystem::is_directory(store));
    EXPECT_FALSE(manager->enabled);
    EXPECT_FALSE(std::filesystem::exists(ne::dnsProxyPreferencesPath())) << "the saved preferences stay as they were";
}

TEST_F(Enabling, CompletionsKeepTheDelegateUntilTheyHaveRun) {
    auto delegate = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    std::weak_ptr<app::AppDelegate> watched = delegate;
    delegate->didFinishLaunching(ui::Application::shared());
    delegate.reset();
    EXPECT_FALSE(watched.expired()) << "the load completion holds it";
    EXPECT_TRUE(dispatch::runMainUntil([&] { return watched.expired(); }, 5s));
    EXPECT_TRUE(log.contains("Saved preferences"));
}

TEST_F(Enabling, RefusedSaveShowsTheFilteringDisabledAlert) {
    std::filesystem::create_directories(systemFolder());
    if (!ts::makeReadOnly(systemFolder())) GTEST_SKIP() << "no private mounts here";
    auto window = showWindow();
    auto delegate = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    launch(*delegate);
    ts::undoReadOnly(systemFolder());

    EXPECT_TRUE(log.contains(
        "Failed to load configuration as DNS entilement is not enabled for this device. Supervision required."));
    EXPECT_FALSE(log.contains("Error saving preferences"));
    auto* alert = dynamic_cast<ui::AlertController*>(window->rootViewController()->presentedViewController());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "Filtering Disabled");
    EXPECT_EQ(alert->message(),
              "To enable content filtering, this device must be enrolled with your school's Mobile Device "
              "Management system. Please contact your administrator.");
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0].title, "OK");
    EXPECT_EQ(alert->preferredStyle(), ui::AlertControllerStyle::alert);

    alert->choose(0);
    EXPECT_EQ(window->rootViewController()->presentedViewController(), nullptr);
}

TEST_F(Enabling, AlertWithoutKeyWindowIsDropped) {
    auto delegate = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    delegate->handleSaveResult(ne::ManagerError{"AnyDomain", 10, "refused"});
    dispatch::runMainFor(20ms);
    EXPECT_TRUE(log.contains("Supervision required."));
    EXPECT_EQ(log.records().size(), 1u);
}

TEST_F(Enabling, OtherSaveErrorsOnlyLog) {
    auto window = showWindow();
    auto delegate = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    for (int code : {9, 11}) {
        delegate->handleSaveResult(ne::ManagerError{"NEVPNErrorDomain", code, "failed"});
        EXPECT_TRUE(log.contains("Error saving preferences: Optional(Error Domain=NEVPNErrorDomain Code=" +
                                 std::to_string(code) + " \"failed\")"));
    }
    // A System folder that cannot exist is a failure of another kind.
    std::ofstream(systemFolder()) << "in the way";
    launch(*delegate);
    dispatch::runMainFor(20ms);
    EXPECT_FALSE(log.contains("Supervision required."));
    EXPECT_EQ(window->rootViewController()->presentedViewController(), nullptr);
}

TEST_F(Enabling, SceneConfigurationKeepsTheSessionRole) {
    auto delegate = std::make_shared<app::AppDelegate>(std::make_shared<ne::DNSProxyManager>());
    auto config = delegate->configurationForConnectingSceneSession(ui::Application::shared(), {"SomeRole"});
    EXPECT_EQ(config.name, "Default Configuration");
    EXPECT_EQ(config.role, "SomeRole");
}

}  // namespace
