#include "Velmora/host/ExtensionHost.h"

#include "Velmora/shared/SharedIdentifiers.h"
#include "foundation/Bundle.h"
#include "log/Log.h"
#include "networkextension/DNSProxyManager.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <string_view>
#include <system_error>

namespace {

bool parseListen(const std::string& text, HostArguments& arguments) {
    // ADDRESS:PORT, [IPv6]:PORT, or a bare ADDRESS (port 53).
    std::string address = text;
    std::string port;
    if (text.starts_with("[")) {
        auto close = text.find(']');
        if (close == std::string::npos) return false;
        address = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return false;
            port = text.substr(close + 2);
        }
    } else if (auto colon = text.rfind(':'); colon != std::string::npos && text.find(':') == colon) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (address.empty()) return false;
    arguments.listenAddress = address;
    if (!port.empty()) {
        unsigned value = 0;
        auto [end, failure] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (failure != std::errc() || end != port.data() + port.size() || value > 65535) return false;
        arguments.listenPort = static_cast<std::uint16_t>(value);
    }
    return true;
}

// What each option that takes a value does with it; false when the value is bad.
struct ValueOption {
    std::string_view flag;
    bool (*take)(const std::string& value, HostArguments& arguments);
};

const ValueOption valueOptions[] = {
    {"--listen", parseListen},
    {"--resolver", [](const std::string& text, HostArguments& into) { into.resolver = text; return true; }},
    {"--config", [](const std::string& text, HostArguments& into) { into.configFile = text; return true; }},
    {"--resolve",
     [](const std::string& text, HostArguments& into) {
         into.resolveOverrides.push_back(text);
         return true;
     }},
    {"--cacert", [](const std::string& text, HostArguments& into) { into.caBundle = text; return true; }},
};

const ValueOption* valueOption(std::string_view flag) {
    for (const ValueOption& option : valueOptions)
        if (option.flag == flag) return &option;
    return nullptr;
}

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, number);
    return signals;
}

// From now on a stop signal ends the process at once, as it would unblocked; one
// already pending ends it here. The calling thread is the one left to take them.
void letStopSignalsEndTheProcess() {
    for (int number : {SIGTERM, SIGINT, SIGHUP}) std::signal(number, SIG_DFL);
    const sigset_t signals = stopSignals();
    ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

// Reads a JSON configuration while it is parsed, keeping only the text values of the
// top object: nesting and elements are counted on the way, and the parse stops at a
// limit, so that no text makes it build more than the file holds.
class JsonConfigurationReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    ne::ProviderConfiguration configuration;
    std::string refusal;                    // why the text is refused; empty when it is not
    std::optional<std::string> notTextKey;  // the first key whose value is not text

    bool null() override { return value(Kind::other); }
    bool boolean(bool) override { return value(Kind::other); }
    bool number_integer(number_integer_t) override { return value(Kind::other); }
    bool number_unsigned(number_unsigned_t) override { return value(Kind::other); }
    bool number_float(number_float_t, const string_t&) override { return value(Kind::other); }
    bool binary(binary_t&) override { return value(Kind::other); }
    bool string(string_t& text) override {
        if (!value(Kind::text)) return false;
        if (depth_ == 1) configuration[key_] = std::move(text);
        return true;
    }
    bool start_object(std::size_t) override { return value(Kind::object) && enter(); }
    bool start_array(std::size_t) override { return value(Kind::other) && enter(); }
    bool end_object() override { return leave(); }
    bool end_array() override { return leave(); }
    bool key(string_t& name) override {
        if (depth_ == 1) key_ = name;
        return count();
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception& failure) override {
        // What follows the exception's name: "parse error at line L, column C: ...".
        const std::string_view what = failure.what();
        const auto name = what.find("] ");
        return refuse("JSON " + std::string(name == std::string_view::npos ? what : what.substr(name + 2)));
    }

private:
    enum class Kind { text, object, other };

    // The top value is the configuration object; the values in it are text.
    bool value(Kind kind) {
        if (!count()) return false;
        if (depth_ == 0 && kind != Kind::object) return refuse("not a JSON object");
        if (depth_ == 1 && kind != Kind::text && !notTextKey) notTextKey = key_;
        return true;
    }
    bool count() {
        return ++elements_ <= foundation::maxPropertyListElements ||
               refuse("JSON with " + foundation::tooManyElementsReason());
    }
    bool enter() {
        return ++depth_ <= foundation::maxPropertyListDepth || refuse("JSON " + foundation::tooDeepReason());
    }
    bool leave() {
        --depth_;
        return true;
    }
    bool refuse(std::string reason) {
        refusal = std::move(reason);
        return false;
    }

    std::size_t depth_ = 0;
    std::size_t elements_ = 0;
    std::string key_;
};

std::string ownBundleIdentifier() {
    auto value = foundation::Bundle::main().objectForInfoDictionaryKey("CFBundleIdentifier");
    const std::string* text = value ? value->string() : nullptr;
    return text ? *text : shared::extensionBundleIdentifier;
}

}  // namespace

HostArguments parseHostArguments(int argc, const char* const* argv) {
    HostArguments arguments;
    for (int i = 1; i < argc && !arguments.error; ++i) {
        const std::string flag = argv[i];
        const ValueOption* option = valueOption(flag);
        if (flag == "--help" || flag == "-h") {
            arguments.help = true;
        } else if (!option) {
            arguments.error = "unknown argument " + flag;
        } else if (i + 1 == argc) {
            arguments.error = flag + " needs a value";
        } else if (const std::string value = argv[++i]; !option->take(value, arguments)) {
            arguments.error = "bad " + flag + " " + value;
        }
    }
    return arguments;
}

std::string hostUsage(const std::string& program) {
    return "Usage: " + program + " [options]\n"
           "Runs the Velmora DNS proxy extension as the system would: answers DNS queries on UDP,\n"
           "declines TCP, and starts the proxy with the provider configuration of the saved DNS\n"
           "proxy preferences (<state>/System/DNSProxy.plist) when they enable this extension,\n"
           "else with the configuration file given by --config.\n"
           "\n"
           "Options:\n"
           "  --listen ADDRESS[:PORT]  where to answer DNS on UDP and TCP (default 127.0.0.1:53)\n"
           "  --resolver ADDRESS       the system-assigned DNS server for passthrough queries\n"
           "                           (default: first nameserver of /etc/resolv.conf)\n"
           "  --config FILE            provider configuration, a property list or JSON object of\n"
           "                           deviceName, serverAddress, macAddress, deviceId, userName,\n"
           "                           region and bypassDomains\n"
           "  --resolve HOST:PORT:ADDR connect to ADDR for HOST:PORT (repeatable; for tests)\n"
           "  --cacert FILE            trust the certificate authorities in FILE (for tests)\n"
           "  --help                   show this text\n"
           "\n"
           "Environment:\n"
           "  BRIMVALE_STATE_DIR       state folder (default $XDG_STATE_HOME/brimvale or\n"
           "                           ~/.local/state/brimvale)\n"
           "  BRIMVALE_LOG_LEVEL       debug, info (default) or error\n"
           "  BRIMVALE_RESOLVE         comma-separated --resolve entries\n"
           "  BRIMVALE_CA_BUNDLE       as --cacert\n"
           "\n"
           "SIGTERM, SIGINT or SIGHUP stops the proxy and ends the process.\n";
}

std::optional<ne::ProviderConfiguration> readConfigurationFile(const std::filesystem::path& file,
                                                                       std::string* error) {
    auto refuse = [&](const std::string& reason) -> std::optional<ne::ProviderConfiguration> {
        if (error) *error = file.string() + ": " + reason;
        return std::nullopt;
    };
    foundation::ReadError readError;
    const auto text = foundation::readFileWithinLimit(file, &readError);
    if (!text) {
        if (error) *error = readError.message;
        return std::nullopt;
    }
    // Every value is text; anything else is refused by name rather than dropped.
    auto notText = [&](const std::string& key) { return refuse("the value of \"" + key + "\" is not text"); };
    // Editors may begin a UTF-8 file with a byte-order mark, which the property-list
    // reader does not take.
    std::string_view content = *text;
    if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
    const auto start = content.find_first_not_of(" \t\r\n");
    if (!content.starts_with("bplist") && (start == std::string_view::npos || content[start] != '<')) {
        JsonConfigurationReader reader;
        nlohmann::json::sax_parse(content, &reader);
        if (!reader.refusal.empty()) return refuse(reader.refusal);
        if (reader.notTextKey) return notText(*reader.notTextKey);
        return std::move(reader.configuration);
    }
    std::string reason;
    auto plist = foundation::parsePropertyList(content, &reason);
    if (!plist) return refuse(reason);
    if (!plist->dictionary()) return refuse("not a property-list dictionary");
    ne::ProviderConfiguration configuration;
    for (const auto& [key, value] : *plist->dictionary()) {
        const std::string* entry = value.string();
        if (!entry) return notText(key);
        configuration[key] = *entry;
    }
    return configuration;
}

foundation::Dictionary startOptions(const ne::ProviderConfiguration& configuration) {
    foundation::Dictionary vendorData;
    for (const auto& [key, value] : configuration) vendorData[key] = value;
    return foundation::Dictionary{{shared::vendorDataKey, std::move(vendorData)}};
}

net::Result<bool> startFromPreferences(ne::ProviderHost& host, const std::filesystem::path& preferencesFile,
                                       ne::DNSProxyProviderBase::StartCompletion completion) {
    ne::ManagerError readError;
    auto preferences = ne::readDNSProxyPreferences(preferencesFile, &readError);
    if (!preferences) return net::Error{EIO, readError.reason};
    if (!preferences->enabled || !preferences->providerConfiguration ||
        preferences->providerBundleIdentifier != ownBundleIdentifier()) {
        return false;
    }
    host.startProvider(startOptions(*preferences->providerConfiguration), std::move(completion));
    return true;
}

void blockStopSignals() {
    const sigset_t signals = stopSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A blocked signal that is ignored is dropped, not kept pending.
    for (int number : {SIGTERM, SIGINT, SIGHUP}) std::signal(number, SIG_DFL);
}

StopSignalWatch::StopSignalWatch(asio::io_context& context, std::function<void(int signal)> stop)
    : signals_(context) {
    const sigset_t signals = stopSignals();
    const int fd = ::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    std::error_code failure(fd < 0 ? errno : 0, std::system_category());
    if (!failure) signals_.assign(fd, failure);
    if (failure) {
        if (fd >= 0) ::close(fd);
        ne::hostLogger().error("Cannot watch the stop signals (%{public}s): they end the process at once",
                           failure.message());
        letStopSignalsEndTheProcess();
        return;
    }
    signals_.async_read_some(asio::buffer(&received_, sizeof received_),
                             [this, stop = std::move(stop)](const std::error_code& error, std::size_t size) {
                                 if (error || size != sizeof received_) return;
                                 // Should the stop hang, the next signal still ends the process.
                                 letStopSignalsEndTheProcess();
                                 stop(static_cast<int>(received_.ssi_signo));
                             });
}
