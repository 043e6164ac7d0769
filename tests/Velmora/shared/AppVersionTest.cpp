#include "Velmora/shared/AppVersion.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace fs = std::filesystem;
using foundation::Bundle;
using foundation::Dictionary;

namespace {

class AppVersion : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brimvale-version-XXXXXX";
        root_ = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(root_); }

    Bundle bundle(const fs::path& folder, Dictionary info) {
        fs::create_directories(root_ / folder);
        foundation::writePropertyListAtomically(root_ / folder / "Info.plist", std::move(info));
        return *Bundle::open(root_ / folder);
    }

    fs::path root_;
};

}  // namespace

TEST_F(AppVersion, LongAndShortFormsSplitTheBuildAtTheFirstBracket) {
    auto client = bundle("a", {{"CFBundleIdentifier", "com.brimvale.ios-dns-client"},
                               {"CFBundleShortVersionString", "2.4"},
                               {"CFBundleVersion", "311[beta][2]"}});
    EXPECT_EQ(appVersionString(true, client), "2.4 (311c) [beta][2]");
    EXPECT_EQ(appVersionString(false, client), "2.4 (311c)");

    auto plain = bundle("b", {{"CFBundleIdentifier", "com.example.Client"},
                              {"CFBundleShortVersionString", "1.0.0"},
                              {"CFBundleVersion", "7"}});
    EXPECT_EQ(appVersionString(true, plain), "1.0.0 (7e) ");
    EXPECT_EQ(appVersionString(false, bundle("c", {{"CFBundleVersion", 12}})), " (e)");
}

TEST_F(AppVersion, ExtensionReadsItsContainingApplication) {
    auto app = bundle("Brimvale.app", {{"CFBundleIdentifier", "com.brimvale.ios-dns-client"},
                                       {"CFBundleShortVersionString", "3.1"},
                                       {"CFBundleVersion", "9"}});
    auto extension = bundle("Brimvale.app/PlugIns/Velmora.appex", {{"CFBundleIdentifier", "com.brimvale.ios-dns.ext"},
                                                                    {"CFBundleShortVersionString", "0.0"},
                                                                    {"CFBundleVersion", "0"}});
    EXPECT_EQ(containingAppBundle(extension).path(), app.path());
    EXPECT_EQ(containingAppBundle(app).path(), app.path());

    // An extension whose application cannot be opened falls back to its own Info.plist.
    auto loose = bundle("Gone.app/PlugIns/Loose.appex", {{"CFBundleShortVersionString", "5"}, {"CFBundleVersion", "1"}});
    fs::remove_all(root_ / "Gone.app");
    EXPECT_EQ(containingAppBundle(loose).path(), loose.path());
    EXPECT_EQ(appVersionString(false, containingAppBundle(loose)), "5 (1e)");
}
