#pragma once
// Plays the system's part for a DNS proxy provider on this machine: listens for DNS
// on UDP and TCP, offers each UDP datagram to the provider as a UDP flow whose remote
// endpoint is the system-assigned resolver, offers each TCP connection as a TCP flow,
// and writes the provider's answers back to the client. Flows go to the provider only
// between its successful start and its stop; meanwhile each query goes straight to the
// system-assigned resolver, as on a device without a DNS proxy (DeviceResolver), and
// TCP connections close. A datagram from the listener's own address and port, or an
// answer rather than a query, is dropped and counted. Entry points and flow
// completions run on the host's queue: a serial queue of its own, as the system's
// threads would, or the queue the options name.
// Datagrams are taken from the socket in batches; a flow's answer is handed to the
// host's queue (at once when written there), and the answers written during one of its
// tasks go out together when that task ends. All of the host's state lives on that
// queue. Flows outliving the host fail their operations at once, on the caller's
// thread; destroy the host only after the provider has stopped using its flows.

#include "dispatch/Dispatch.h"
#include "log/Log.h"
#include "net/Result.h"
#include "networkextension/DNSProxyProviderBase.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace ne {

struct ProviderHostOptions {
    std::string listenAddress = "127.0.0.1";
    std::uint16_t listenPort = 53;  // 0 picks a free port
    // The system-assigned DNS server; empty means none is known.
    std::string resolverAddress;
    // The queue that listens and calls the provider; null gives the host a thread of its
    // own. A query that is received, handled and answered on one queue wakes one thread
    // instead of two. The host is then destroyed on that queue, or once it has stopped.
    dispatch::DispatchQueue* queue = nullptr;
};

// The first "nameserver" entry of a resolv.conf file.
std::optional<std::string> firstNameserver(const std::filesystem::path& resolvConf = "/etc/resolv.conf");

// What the host itself logs: it plays the system, apart from the extension.
const oslog::Logger& hostLogger();

class ProviderHost {
public:
    ProviderHost(std::shared_ptr<DNSProxyProviderBase> provider, ProviderHostOptions options);
    ~ProviderHost();
    ProviderHost(const ProviderHost&) = delete;
    ProviderHost& operator=(const ProviderHost&) = delete;

    // Binds the UDP and TCP listeners; the error's reason names the address and port.
    net::Result<> listen();
    std::uint16_t udpPort() const;
    std::uint16_t tcpPort() const;

    // The completion runs on the host's queue.
    void startProvider(std::optional<foundation::Dictionary> options, DNSProxyProviderBase::StartCompletion completion);
    void stopProvider(ProviderStopReason reason, std::function<void()> completion);

    const std::shared_ptr<DNSProxyProviderBase>& provider() const { return provider_; }
    dispatch::DispatchQueue& systemQueue() { return *systemQueue_; }

    // The sockets, shared with the flows (which hold them weakly).
    struct Listeners;

private:
    std::shared_ptr<DNSProxyProviderBase> provider_;
    ProviderHostOptions options_;
    std::unique_ptr<dispatch::DispatchQueue> ownQueue_;
    dispatch::DispatchQueue* systemQueue_;
    std::shared_ptr<Listeners> listeners_;
};

}  // namespace ne
