// The Velmora extension's host process.

#include "Velmora/DNSProxyProvider.h"
#include "Velmora/host/ExtensionHost.h"
#include "dispatch/Dispatch.h"
#include "http/Session.h"
#include "log/Log.h"
#include "networkextension/DNSProxyManager.h"

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

namespace {

const oslog::Logger& hostLogger() {
    // The host plays the system, so it logs apart from the extension. Never destroyed,
    // like the extension's loggers.
    static const oslog::Logger& logger = *new oslog::Logger("com.brimvale.provider-host", "host");
    return logger;
}

// Every passthrough query in flight holds a descriptor: take all the system allows.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        hostLogger().error("Cannot raise the descriptor limit: %{public}s", std::strerror(errno));
}

void logStartOutcome(std::optional<ne::ProviderError> error) {
    if (error)
        hostLogger().error("Proxy start failed: %{public}s", error->localizedDescription);
    else
        hostLogger().info("Proxy started");
}

void logUnreadablePreferences(const std::string& reason) {
    hostLogger().error("Cannot read the DNS proxy preferences: %{public}s", reason);
}

bool startFromSavedPreferences(ne::ProviderHost& host) {
    std::string error;
    const bool started = startFromPreferences(host, ne::dnsProxyPreferencesPath(), logStartOutcome, &error);
    if (!error.empty()) logUnreadablePreferences(error);
    return started;
}

}  // namespace

int main(int argc, char** argv) {
    blockStopSignals();
    const std::string program = argc > 0 ? argv[0] : "Velmora";
    HostArguments arguments = parseHostArguments(argc, argv);
    if (arguments.help) {
        std::cout << hostUsage(program);
        return 0;
    }
    if (arguments.error) {
        std::cerr << program << ": " << *arguments.error << "\n" << hostUsage(program);
        return 2;
    }

    http::applyHookEnvironment();
    for (const auto& entry : arguments.resolveOverrides) http::addResolveOverride(entry);
    if (arguments.caBundle) http::setCertificateAuthorityBundle(*arguments.caBundle);

    ne::ProviderHostOptions options;
    options.listenAddress = arguments.listenAddress;
    options.listenPort = arguments.listenPort;
    options.resolverAddress = arguments.resolver.value_or(ne::firstNameserver().value_or(""));
    // The main queue holds the provider's state: listening there too spares every
    // query a hand-over between threads.
    options.queue = &dispatch::DispatchQueue::main();
    if (options.resolverAddress == options.listenAddress && options.listenPort == 53) {
        // Passthrough queries would come straight back to us.
        std::cerr << program << ": the resolver " << options.resolverAddress
                  << " is this proxy's own address; pass --resolver\n";
        return 2;
    }

    std::optional<ne::ProviderConfiguration> fileConfiguration;
    if (arguments.configFile) {
        std::string error;
        fileConfiguration = readConfigurationFile(*arguments.configFile, &error);
        if (!fileConfiguration) {
            std::cerr << program << ": " << error << "\n";
            return 2;
        }
    }

    raiseDescriptorLimit();
    auto provider = DNSProxyProvider::make();
    auto host = std::make_unique<ne::ProviderHost>(provider, options);
    std::string listenError;
    if (!host->listen(&listenError)) {
        std::cerr << program << ": cannot listen on " << listenError << "\n";
        return 1;
    }
    hostLogger().info("Answering DNS on %{public}s:%{public}d, system resolver %{public}s", options.listenAddress,
                      host->udpPort(), options.resolverAddress.empty() ? "none" : options.resolverAddress);

    bool running = false;
    // As the system does: changed preferences start the provider again with their
    // configuration; preferences that no longer enable it stop it. Watched before the
    // first read, so that no change after that read goes unseen.
    ne::PreferencesWatch preferencesWatch(
        ne::dnsProxyPreferencesPath(),
        [&host, &running](const auto&) {
            auto startAgain = [&host, &running] { running = startFromSavedPreferences(*host); };
            if (!running) return startAgain();
            hostLogger().info("DNS proxy preferences changed; stopping the proxy");
            running = false;
            host->stopProvider(ne::ProviderStopReason::configurationDisabled, [startAgain] {
                dispatch::DispatchQueue::main().async(startAgain);
            });
        },
        [](const ne::ManagerError& error) { logUnreadablePreferences(error.reason); });
    running = startFromSavedPreferences(*host);
    if (!running) {
        if (fileConfiguration) {
            host->startProvider(startOptions(*fileConfiguration), logStartOutcome);
            running = true;
        } else {
            hostLogger().info("DNS proxy not enabled in the preferences and no --config given; not started");
        }
    }

    StopSignalWatch stopSignals(dispatch::DispatchQueue::main().context(), [&host](int) {
        host->stopProvider(ne::ProviderStopReason::userInitiated, [] {
            dispatch::DispatchQueue::main().async([] { dispatch::stopMain(); });
        });
    });
    std::signal(SIGPIPE, SIG_IGN);
    dispatch::runMain();

    host.reset();  // closes the listeners
    hostLogger().info("Proxy stopped");
    oslog::flush();
    // Timers and sessions of the provider stay on the main queue, which is never
    // destroyed; the threads of the process are stopped and joined as it exits.
    return 0;
}
