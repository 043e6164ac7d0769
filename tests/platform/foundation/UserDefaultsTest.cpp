#include "foundation/Bundle.h"
#include "foundation/UserDefaults.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;
using namespace foundation;

namespace {

class TemporaryStateDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brimvale-state-XXXXXX";
        root_ = mkdtemp(pattern);
        setenv("BRIMVALE_STATE_DIR", root_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("BRIMVALE_STATE_DIR");
        fs::remove_all(root_);
    }
    fs::path root_;
};

using SettingsStore = TemporaryStateDirectory;

}  // namespace

TEST_F(SettingsStore, TwoStoresOfOneSuiteSeeEachOthersWritesThroughTheFile) {
    UserDefaults writer("group.test");
    UserDefaults reader("group.test");
    EXPECT_EQ(writer.path(), root_ / "AppGroups/group.test.plist");
    EXPECT_FALSE(reader.object("serverAddress"));

    ASSERT_TRUE(writer.set("serverAddress", "dns.example"));
    ASSERT_TRUE(writer.set("enabled", true));
    ASSERT_TRUE(writer.set("config", Dictionary{{"a", "1"}, {"b", Value(Dictionary{})}}));
    EXPECT_EQ(reader.string("serverAddress"), "dns.example");
    EXPECT_TRUE(reader.boolean("enabled"));
    EXPECT_EQ(reader.dictionary("config")->size(), 2u);
    EXPECT_FALSE(reader.string("config"));  // a dictionary is no text
    EXPECT_FALSE(reader.dictionary("serverAddress"));

    ASSERT_TRUE(writer.set("serverAddress", ""));
    EXPECT_EQ(reader.string("serverAddress"), "");  // an empty text is still present
    ASSERT_TRUE(reader.remove("serverAddress"));
    EXPECT_FALSE(writer.object("serverAddress"));
    EXPECT_TRUE(writer.boolean("enabled"));
    EXPECT_TRUE(reader.remove("never-set"));
}

TEST_F(SettingsStore, ConcurrentWritersInTwoProcessesLoseNoKey) {
    constexpr int kKeys = 40;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    UserDefaults store("group.race");
    const char* side = child == 0 ? "child" : "parent";
    for (int i = 0; i < kKeys; ++i) store.set(std::string(side) + std::to_string(i), i);
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(store.dictionaryRepresentation().size(), 2u * kKeys);
    EXPECT_EQ(store.string("child39"), "39");
    for (const auto& entry : fs::directory_iterator(root_ / "AppGroups"))
        EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << entry.path();
}

TEST_F(SettingsStore, StoreThatCannotBeReadIsNeverWrittenOverAndACorruptOneCanBeMovedAside) {
    UserDefaults store("group.test");
    fs::create_directories(store.path().parent_path());
    std::ofstream(store.path()) << "<plist><dict><key>serverAddress</key><string>kept";
    StoreError error;
    EXPECT_FALSE(store.update({{"serverAddress", "new"}}, {}, &error));
    EXPECT_EQ(error.kind, StoreError::Kind::corrupt);
    EXPECT_EQ(error.message, store.path().string() + ": not a property list");
    EXPECT_FALSE(store.set("serverAddress", "new"));
    EXPECT_FALSE(store.load());
    EXPECT_FALSE(store.object("serverAddress"));  // read as empty, never written as empty

    std::vector<fs::path> moved;
    for (int i = 0; i < 2; ++i) {
        auto aside = store.moveCorruptFileAside(&error);
        ASSERT_TRUE(aside) << error.message;
        EXPECT_EQ(aside->string().rfind(store.path().string() + ".corrupt-", 0), 0u) << *aside;
        moved.push_back(*aside);
        EXPECT_EQ(store.load(), Dictionary{});
        std::ofstream(store.path()) << "corrupt again";
    }
    EXPECT_NE(moved[0], moved[1]) << "an earlier copy is never replaced";
    std::ifstream first(moved[0]);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(first), {}), "<plist><dict><key>serverAddress</key><string>kept");

    // A file that cannot be read at all.
    fs::remove(store.path());
    fs::create_directory(store.path());
    EXPECT_FALSE(store.update({{"serverAddress", "new"}}, {}, &error));
    EXPECT_EQ(error.kind, StoreError::Kind::unreadable);
    EXPECT_TRUE(fs::is_directory(store.path()));
}

TEST(PropertyList, NestedValuesSurviveAWriteAndRead) {
    Value original = Dictionary{
        {"text", "a \"quoted\" <value> & more"},
        {"flag", false},
        {"number", 42},
        {"real", 2.5},
        {"data", Data{0, 1, 255}},
        {"list", Array{"x", 1, Dictionary{{"inner", "y"}}}},
    };
    auto parsed = parsePropertyList(serializePropertyList(original));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, original);
    EXPECT_FALSE(parsePropertyList(""));
    EXPECT_FALSE(parsePropertyList("<plist><dict><key>unterminated"));
}

TEST(Bundles, MainBundleIsTheExecutablesFolderAndInfoPlistIsRead) {
    EXPECT_EQ(Bundle::main().path(), fs::read_symlink("/proc/self/exe").parent_path());
    char pattern[] = "/tmp/brimvale-bundle-XXXXXX";
    fs::path folder = mkdtemp(pattern);
    ASSERT_TRUE(writePropertyListAtomically(folder / "Info.plist",
                                            Dictionary{{"CFBundleIdentifier", "com.example.x"}}));
    auto bundle = Bundle::open(folder);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(*bundle->objectForInfoDictionaryKey("CFBundleIdentifier")->string(), "com.example.x");
    EXPECT_FALSE(bundle->objectForInfoDictionaryKey("CFBundleVersion"));
    EXPECT_FALSE(Bundle::open(folder / "missing"));
    fs::remove_all(folder);
}
