#pragma once
// The extension's host process: its command line, and how it decides what to start
// the provider with (the saved DNS proxy preferences, else a configuration file).

#include "networkextension/ProviderHost.h"

#include <asio/posix/stream_descriptor.hpp>
#include <sys/signalfd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct HostArguments {
    std::string listenAddress = "127.0.0.1";
    std::uint16_t listenPort = 53;
    std::optional<std::string> resolver;
    std::optional<std::filesystem::path> configFile;
    std::vector<std::string> resolveOverrides;
    std::optional<std::string> caBundle;
    bool help = false;
    std::optional<std::string> error;  // set when the command line cannot be used
};

HostArguments parseHostArguments(int argc, const char* const* argv);
std::string hostUsage(const std::string& program);

// A provider configuration from a property-list or JSON file of text values; absent,
// with the reason in `error`, for a file that cannot be read or holds anything else.
std::optional<ne::ProviderConfiguration> readConfigurationFile(const std::filesystem::path& file,
                                                                       std::string* error);

// The start options the system would hand over: {"VendorData": configuration}.
foundation::Dictionary startOptions(const ne::ProviderConfiguration& configuration);

// Starts the provider from the DNS proxy preferences file when it enables this
// extension with a provider configuration; whether it did, or why the file could not
// be read. The one place that turns saved preferences into a start.
net::Result<bool> startFromPreferences(ne::ProviderHost& host, const std::filesystem::path& preferencesFile,
                                       ne::DNSProxyProviderBase::StartCompletion completion);

// SIGTERM, SIGINT and SIGHUP stop the host cleanly. Blocked first thing in main, before
// any thread starts (threads inherit the block), they wait, pending, until the watch
// takes them, so none can end the process on its way up or down. They are taken also
// when the process was started with them ignored.
void blockStopSignals();

// Reads the stop signals on the thread that runs `context`; `stop` is called with the
// first one, also when it came before the watch. A later one ends the process at once,
// as every one does when the watch cannot be made (it logs why).
class StopSignalWatch {
public:
    StopSignalWatch(asio::io_context& context, std::function<void(int signal)> stop);

private:
    asio::posix::stream_descriptor signals_;
    signalfd_siginfo received_{};
};
