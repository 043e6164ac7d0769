// The Velmora extension's host process.

#include "Velmora/DNSProxyProvider.h"
#include "Velmora/host/ExtensionHost.h"
#include "Velmora/host/ProviderLifecycle.h"
#include "dispatch/Dispatch.h"
#include "http/Session.h"
#include "log/Log.h"

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

namespace {

// Every passthrough query in flight holds a descriptor: take all the system allows.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        ne::hostLogger().error("Cannot raise the descriptor limit: %{public}s", std::strerror(errno));
}

void applyHttpOverrides(const HostArguments& arguments) {
    http::applyHookEnvironment();
    for (const auto& entry : arguments.resolveOverrides) http::addResolveOverride(entry);
    if (arguments.caBundle) http::setCertificateAuthorityBundle(*arguments.caBundle);
}

ne::ProviderHostOptions hostOptions(const HostArguments& arguments) {
    ne::ProviderHostOptions options;
    options.listenAddress = arguments.listenAddress;
    options.listenPort = arguments.listenPort;
    options.resolverAddress = arguments.resolver.value_or(ne::firstNameserver().value_or(""));
    // The main queue holds the provider's state: listening there too spares every
    // query a hand-over between threads.
    options.queue = &dispatch::DispatchQueue::main();
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    blockStopSignals();
    const std::string program = argc > 0 ? argv[0] : "Velmora";
    const HostArguments arguments = parseHostArguments(argc, argv);
    if (arguments.help) {
        std::cout << hostUsage(program);
        return 0;
    }
    if (arguments.error) {
        std::cerr << program << ": " << *arguments.error << "\n" << hostUsage(program);
        return 2;
    }
    applyHttpOverrides(arguments);
    const ne::ProviderHostOptions options = hostOptions(arguments);
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
    auto host = std::make_unique<ne::ProviderHost>(DNSProxyProvider::make(), options);
    if (auto listening = host->listen(); !listening) {
        std::cerr << program << ": cannot listen on " << listening.error().reason << "\n";
        return 1;
    }
    ne::hostLogger().info("Answering DNS on %{public}s:%{public}d, system resolver %{public}s", options.listenAddress,
                          host->udpPort(), options.resolverAddress.empty() ? "none" : options.resolverAddress);
    {
        ProviderLifecycle lifecycle(*host, std::move(fileConfiguration));
        std::signal(SIGPIPE, SIG_IGN);
        dispatch::runMain();
    }
    host.reset();  // closes the listeners
    ne::hostLogger().info("Proxy stopped");
    oslog::flush();
    // Timers and sessions of the provider stay on the main queue, which is never
    // destroyed; the threads of the process are stopped and joined as it exits.
    return 0;
}
