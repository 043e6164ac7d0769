#include "Velmora/host/ExtensionHost.h"
#include "Velmora/shared/SharedIdentifiers.h"
#include "networkextension/DNSProxyManager.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <fstream>
#include <future>

namespace fs = std::filesystem;

namespace {

HostArguments parse(std::vector<const char*> words) {
    words.insert(words.begin(), "Velmora");
    return parseHostArguments(static_cast<int>(words.size()), words.data());
}

// Records the start options it is given.
class RecordingProvider : public ne::DNSProxyProviderBase {
public:
    void startProxy(std::optional<foundation::Dictionary> options, StartCompletion completion) override {
        started.set_value(options);
        completion(std::nullopt);
    }
    void stopProxy(ne::ProviderStopReason, std::function<void()> completion) override { completion(); }
    bool handleNewFlow(std::shared_ptr<ne::AppProxyFlow>) override { return false; }
    std::promise<std::optional<foundation::Dictionary>> started;
};

class TemporaryFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brimvale-host-XXXXXX";
        root_ = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

using HostConfiguration = TemporaryFolder;

}  // namespace

TEST(HostArgumentsTest, ListenAddressesAndBadInput) {
    auto full = parse({"--listen", "127.0.0.9:5300", "--resolve", "a:443:127.0.0.3", "--resolve", "b:80:127.0.0.4"});
    ASSERT_FALSE(full.error) << *full.error;
    EXPECT_EQ(full.listenAddress, "127.0.0.9");
    EXPECT_EQ(full.listenPort, 5300);
    EXPECT_EQ(full.resolveOverrides.size(), 2u);
    auto v6 = parse({"--listen", "[::1]:5301"});
    EXPECT_EQ(v6.listenAddress, "::1");
    EXPECT_EQ(v6.listenPort, 5301);
    EXPECT_EQ(parse({"--listen", "::1"}).listenPort, 53);
    for (auto bad : {std::vector<const char*>{"--listen", "127.0.0.1:99999"}, {"--listen", "[::1"}, {"--resolver"}, {"--bogus"}})
        EXPECT_TRUE(parse(bad).error);
}

namespace {

using namespace std::chrono_literals;

// The first stop signal is handed to a stop that never ends; a second ends the process.
[[noreturn]] void secondSignalWhileTheStopHangs() {
    blockStopSignals();
    asio::io_context context;
    int stops = 0;
    StopSignalWatch watch(context, [&](int) { ++stops; });
    ::kill(::getpid(), SIGTERM);
    context.run_for(1s);  // returns once the signal is read
    if (stops != 1) std::_Exit(2);
    ::kill(::getpid(), SIGINT);
    context.run_for(200ms);
    std::_Exit(3);
}

// No descriptor is left for the watch: a signal still ends the process.
[[noreturn]] void signalWithNoDescriptorForTheWatch() {
    blockStopSignals();
    asio::io_context context;
    // The loop's own descriptors and the watch's service exist, as in the host process,
    // where the listener made them.
    asio::posix::stream_descriptor unused(context);
    int lowestFree = 0;
    while (::fcntl(lowestFree, F_GETFD) >= 0) ++lowestFree;
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(lowestFree);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    StopSignalWatch watch(context, [](int) { std::_Exit(2); });
    ::kill(::getpid(), SIGTERM);
    context.run_for(200ms);
    std::_Exit(3);
}

}  // namespace

TEST(StopSignals, ALaterSignalOrOneThatCannotBeWatchedEndsTheProcessAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(secondSignalWhileTheStopHangs(), testing::KilledBySignal(SIGINT), "");
    EXPECT_EXIT(signalWithNoDescriptorForTheWatch(), testing::KilledBySignal(SIGTERM), "");
}

TEST_F(HostConfiguration, StartsFromPreferencesOnlyWhenTheyEnableThisExtension) {
    auto provider = std::make_shared<RecordingProvider>();
    ne::ProviderHost host(provider, {"127.0.0.1", 0, ""});
    const fs::path file = root_ / "System/DNSProxy.plist";
    auto noop = [](std::optional<ne::ProviderError>) {};

    EXPECT_FALSE(*startFromPreferences(host, file, noop));  // no preferences yet

    ne::DNSProxyPreferences preferences{"DNS", false, shared::extensionBundleIdentifier, ne::ProviderConfiguration{{"userName", "ios"}}};
    ASSERT_TRUE(ne::writeDNSProxyPreferences(file, preferences));
    EXPECT_FALSE(*startFromPreferences(host, file, noop));  // disabled

    preferences.enabled = true;
    preferences.providerBundleIdentifier = "com.example.other";
    ASSERT_TRUE(ne::writeDNSProxyPreferences(file, preferences));
    EXPECT_FALSE(*startFromPreferences(host, file, noop));  // names another extension

    preferences.providerBundleIdentifier = shared::extensionBundleIdentifier;
    ASSERT_TRUE(ne::writeDNSProxyPreferences(file, preferences));
    ASSERT_TRUE(*startFromPreferences(host, file, noop));
    auto options = provider->started.get_future().get();
    ASSERT_TRUE(options);
    EXPECT_EQ(*options, startOptions({{"userName", "ios"}}));
    EXPECT_EQ(foundation::describe(*options), "{VendorData = {userName = ios; }; }");
}

TEST_F(HostConfiguration, ConfigurationFilesOfOtherThanTextAreRefusedByKey) {
    std::string error;
    const fs::path json = root_ / "config.json";
    std::ofstream(json) << R"({"serverAddress": "dns.example", "userName": "ios"})";
    EXPECT_EQ(readConfigurationFile(json, &error),
              (ne::ProviderConfiguration{{"serverAddress", "dns.example"}, {"userName", "ios"}}));

    std::ofstream(json) << R"({"userName": "ios", "serverAddress": 123})";
    EXPECT_FALSE(readConfigurationFile(json, &error));
    EXPECT_EQ(error, json.string() + ": the value of \"serverAddress\" is not text");

    const fs::path plist = root_ / "config.plist";
    std::ofstream(plist) << "<plist><dict><key>region</key><string>syd-1</string>"
                            "<key>bypassDomains</key><array/></dict></plist>";
    EXPECT_FALSE(readConfigurationFile(plist, &error));
    EXPECT_EQ(error, plist.string() + ": the value of \"bypassDomains\" is not text");
}

TEST_F(HostConfiguration, ConfigurationFilesThatBeginWithAByteOrderMarkAreReadByTheirContent) {
    const std::string bom = "\xEF\xBB\xBF";
    const ne::ProviderConfiguration expected{{"region", "syd-1"}, {"userName", "ios"}};
    const fs::path plist = root_ / "config.plist";
    std::ofstream(plist) << bom << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                            "<key>region</key><string>syd-1</string><key>userName</key><string>ios</string>"
                            "</dict></plist>\n";
    std::string error;
    EXPECT_EQ(readConfigurationFile(plist, &error), expected) << error;
    const fs::path json = root_ / "config.json";
    std::ofstream(json) << bom << R"( {"region": "syd-1", "userName": "ios"})";
    EXPECT_EQ(readConfigurationFile(json, &error), expected) << error;
}

// Whatever a file holds, reading it builds no more than it may and ends with the reason.
TEST_F(HostConfiguration, BadConfigurationFilesAreRefusedWithTheReason) {
    auto refusal = [](const fs::path& file) {
        std::string error;
        EXPECT_FALSE(readConfigurationFile(file, &error)) << file;
        return error;
    };
    auto write = [this](const std::string& name, const std::string& text) {
        std::ofstream(root_ / name) << text;
        return root_ / name;
    };
    auto syntax = write("syntax.json", "{\"userName\": \"ios\",\n \"region\": }");
    EXPECT_EQ(refusal(syntax), syntax.string() + ": JSON parse error at line 2, column 12: syntax error while "
                                                 "parsing value - unexpected '}'; expected '[', '{', or a literal");
    auto deepJson = write("deep.json", "{\"region\": " + std::string(1'000'000, '['));
    EXPECT_EQ(refusal(deepJson), deepJson.string() + ": JSON nested deeper than 512 levels");
    std::string keys = "{";
    for (int i = 0; i < 50'000; ++i) keys += "\"k" + std::to_string(i) + "\": \"v\", ";
    auto manyKeys = write("keys.json", keys + "\"last\": \"v\"}");
    EXPECT_EQ(refusal(manyKeys), manyKeys.string() + ": JSON with more than 100000 elements");
    auto array = write("array.json", "[" + std::string(1'000'000, '['));
    EXPECT_EQ(refusal(array), array.string() + ": not a JSON object");

    std::string deep = "<plist>";
    for (int i = 0; i < 100'000; ++i) deep += "<array>";
    auto deepPlist = write("deep.plist", deep);
    EXPECT_EQ(refusal(deepPlist), deepPlist.string() + ": nested deeper than 512 levels");
    auto arrayPlist = write("array.plist", "<plist><array/></plist>");
    EXPECT_EQ(refusal(arrayPlist), arrayPlist.string() + ": not a property-list dictionary");
}
