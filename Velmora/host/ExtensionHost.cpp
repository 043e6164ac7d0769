#include "Velmora/host/ExtensionHost.h"

#include "Velmora/shared/SharedIdentifiers.h"
#include "foundation/Bundle.h"
#include "networkextension/DNSProxyManager.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <csignal>
#include <fstream>
#include <sstream>

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

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, number);
    return signals;
}

std::string ownBundleIdentifier() {
    auto value = foundation::Bundle::main().objectForInfoDictionaryKey("CFBundleIdentifier");
    const std::string* text = value ? value->string() : nullptr;
    return text ? *text : shared::extensionBundleIdentifier;
}

}  // namespace

HostArguments parseHostArguments(int argc, const char* const* argv) {
    HostArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 < argc) return std::string(argv[++i]);
            arguments.error = flag + " needs a value";
            return std::nullopt;
        };
        if (flag == "--help" || flag == "-h") {
            arguments.help = true;
        } else if (flag == "--listen") {
            if (auto text = value(); text && !parseListen(*text, arguments)) arguments.error = "bad --listen " + *text;
        } else if (flag == "--resolver") {
            if (auto text = value()) arguments.resolver = *text;
        } else if (flag == "--config") {
            if (auto text = value()) arguments.configFile = *text;
        } else if (flag == "--resolve") {
            if (auto text = value()) arguments.resolveOverrides.push_back(*text);
        } else if (flag == "--cacert") {
            if (auto text = value()) arguments.caBundle = *text;
        } else {
            arguments.error = "unknown argument " + flag;
        }
        if (arguments.error) break;
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
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read " + file.string();
        return std::nullopt;
    }
    std::error_code sizeError;
    if (auto size = std::filesystem::file_size(file, sizeError); !sizeError && size > foundation::maxPropertyListBytes)
        return refuse("larger than " + std::to_string(foundation::maxPropertyListBytes >> 20) + " MiB");
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    // Every value is text; anything else is refused by name rather than dropped.
    auto notText = [&](const std::string& key) { return refuse("the value of \"" + key + "\" is not text"); };
    ne::ProviderConfiguration configuration;
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_discarded()) {
        if (!json.is_object()) return refuse("not a JSON object");
        for (const auto& [key, value] : json.items()) {
            if (!value.is_string()) return notText(key);
            configuration[key] = value.get<std::string>();
        }
        return configuration;
    }
    std::string reason;
    auto plist = foundation::parsePropertyList(text, &reason);
    if (!plist || !plist->dictionary()) {
        if (plist) reason = "not a dictionary";
        return refuse("neither a JSON object nor a property-list dictionary (" + reason + ")");
    }
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

bool startFromPreferences(ne::ProviderHost& host, const std::filesystem::path& preferencesFile,
                          ne::DNSProxyProvider::StartCompletion completion, std::string* error) {
    ne::ManagerError readError;
    auto preferences = ne::readDNSProxyPreferences(preferencesFile, &readError);
    if (!preferences && error) *error = readError.reason;
    if (!preferences || !preferences->enabled || !preferences->providerConfiguration ||
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
    signals_.assign(::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC));
    signals_.async_read_some(asio::buffer(&received_, sizeof received_),
                             [this, stop = std::move(stop)](const std::error_code& error, std::size_t size) {
                                 if (!error && size == sizeof received_) stop(static_cast<int>(received_.ssi_signo));
                             });
}
