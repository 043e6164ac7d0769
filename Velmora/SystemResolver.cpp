#include "Velmora/SystemResolver.h"

#include "Velmora/HexDump.h"
#include "Velmora/Loggers.h"

#include <sys/random.h>

#include <deque>
#include <random>

namespace {

// Values from the system's secure source, fetched many at a time so that a query
// costs no system call of its own.
std::uint32_t secureRandomValue() {
    thread_local std::uint32_t values[64];
    thread_local std::size_t next = std::size(values);
    if (next == std::size(values)) {
        if (getrandom(values, sizeof values, 0) != static_cast<ssize_t>(sizeof values)) {
            std::random_device device;
            for (auto& value : values) value = static_cast<std::uint32_t>(device());
        }
        next = 0;
    }
    return values[next++];
}

}  // namespace

long randomSendTag() {
    constexpr std::uint32_t low = 100000, span = 900000;
    // Rejection sampling keeps the draw uniform.
    constexpr std::uint32_t limit = UINT32_MAX - UINT32_MAX % span;
    for (;;) {
        const std::uint32_t value = secureRandomValue();
        if (value < limit) return static_cast<long>(low + value % span);
    }
}

namespace {

// The passthrough road's sockets, on the main queue; never destroyed.
struct PassthroughSockets {
    net::AnswerWaits waits{dispatch::DispatchQueue::main(), SystemResolver::firstAnswerWait};
    // Resolvers whose wait has ended and whose socket stays open for later answers,
    // oldest first; `kept` counts those still open.
    std::deque<std::weak_ptr<SystemResolver>> keptOrder;
    std::size_t kept = 0;
};

PassthroughSockets& passthroughSockets() {
    static auto* sockets = new PassthroughSockets;
    return *sockets;
}

// The road's failures that a remote server or a flood can repeat per query, counted
// once a second; any thread, never destroyed.
struct PassthroughFailures {
    oslog::FailureLog setup{passthroughFlowLogger()};
    oslog::FailureLog writes{passthroughFlowLogger()};
};

PassthroughFailures& passthroughFailures() {
    static auto* failures = new PassthroughFailures;
    return *failures;
}

}  // namespace

std::size_t SystemResolver::awaitingFirstAnswerCount() { return passthroughSockets().waits.count(); }
std::size_t SystemResolver::awaitingFirstAnswerBytes() { return passthroughSockets().waits.bytes(); }

bool SystemResolver::makeRoom(std::size_t mostSockets, std::size_t mostBytes, std::size_t size) {
    auto& sockets = passthroughSockets();
    // Sockets kept for late answers give way first: the queries in flight need theirs.
    while (net::AnswerWaits::countEverywhere() + sockets.kept >= mostSockets && !sockets.keptOrder.empty()) {
        auto resolver = sockets.keptOrder.front().lock();
        sockets.keptOrder.pop_front();
        if (resolver) resolver->closeKeptSocket();
    }
    return sockets.waits.makeRoom(mostSockets, mostBytes, size);
}

void SystemResolver::stopAwaitingFirstAnswer() {
    if (!awaitingAnswer()) return;
    passthroughSockets().waits.end(*this);
    keepSocket();
}

void SystemResolver::waitEnded() { keepSocket(); }

void SystemResolver::keepSocket() {
    if (kept_ || !passthroughSocket_ || passthroughSocket_->isClosed()) return;
    auto& sockets = passthroughSockets();
    // Resolvers let go of since make the oldest entries: dropped as new ones come.
    while (!sockets.keptOrder.empty() && sockets.keptOrder.front().expired()) sockets.keptOrder.pop_front();
    kept_ = true;
    ++sockets.kept;
    sockets.keptOrder.push_back(weak_from_this());
}

void SystemResolver::closeKeptSocket() {
    if (!kept_) return;
    kept_ = false;
    --passthroughSockets().kept;
    passthroughSocket_->close();
}

SystemResolver::~SystemResolver() {
    if (kept_) --passthroughSockets().kept;
}

SystemResolver::SystemResolver(ne::Datagram data, std::optional<ne::EndpointList> endpoints,
                               std::shared_ptr<ne::AppProxyUDPFlow> flow, std::optional<std::string> fallbackServer)
    : data_(std::move(data)), endpoints_(std::move(endpoints)), flow_(std::move(flow)),
      fallbackServer_(std::move(fallbackServer)) {}

std::shared_ptr<SystemResolver> SystemResolver::make(ne::Datagram data, std::optional<ne::EndpointList> endpoints,
                                                     std::shared_ptr<ne::AppProxyUDPFlow> flow,
                                                     std::optional<std::string> fallbackServer) {
    std::shared_ptr<SystemResolver> resolver(
        new SystemResolver(std::move(data), std::move(endpoints), std::move(flow), std::move(fallbackServer)));
    resolver->passthroughSocket_ = net::UdpSocket::make(resolver, dispatch::DispatchQueue::main());
    return resolver;
}

void SystemResolver::sendQuery() {
    const std::string server = selectServer();
    if (!passthroughSocket_->connectToHost(server, port) || !passthroughSocket_->beginReceiving()) {
        passthroughFailures().setup.add("Error setting up DNS passthrough service");
    }
    // Stay alive for the first answer even when the resolver set lets go of us.
    passthroughSockets().waits.begin(shared_from_this(), data_ ? data_->size() : 0);
    passthroughSocket_->sendData(data_.value_or(ne::Datagram{}), sendTimeout, randomSendTag());
}

std::string SystemResolver::selectServer() {
    if (endpoints_ && !endpoints_->empty()) {
        if (auto host = std::dynamic_pointer_cast<ne::HostEndpoint>(endpoints_->front())) {
            passthroughFlowLogger().debug("Using system-assigned DNS setting: %{public}s", host->hostname());
            return host->hostname();
        }
    }
    const std::string fallback = fallbackServer_.value_or("");
    passthroughFlowLogger().debug(
        "Could not retrieve system-assigned DNS settings, using fallback server for now: %{public}s", fallback);
    return fallback;
}

void SystemResolver::udpSocketDidSendDataWithTag(net::UdpSocket&, long) {}

void SystemResolver::udpSocketDidReceiveData(net::UdpSocket&, const net::Datagram& data, const std::string&) {
    handleReceivedDatagram(data);
}

void SystemResolver::udpSocketDidClose(net::UdpSocket&, const std::optional<net::Error>& error) {
    handleSocketClosed(error);
}

void SystemResolver::handleReceivedDatagram(const ne::Datagram& datagram) {
    auto keepAlive = shared_from_this();  // the first answer has come: its wait ends
    stopAwaitingFirstAnswer();
    if (oslog::isEnabled(oslog::Level::debug)) {
        passthroughFlowLogger().debug("DNS response : [%{public}d bytes] : %{public}s", datagram.size(),
                                      datagramDump(datagram));
    }
    writeResponse(datagram);
}

void SystemResolver::writeResponse(const ne::Datagram& datagram) {
    if (!flow_) return;
    static const ne::EndpointList none;
    flow_->writeDatagrams({datagram}, endpoints_ ? *endpoints_ : none,
                          [](std::optional<ne::FlowError> error) {
                              if (error) {
                                  passthroughFailures().writes.add(oslog::format(
                                      "Failed to write datagrams to the flow: %{public}s",
                                      {error->localizedDescription}));
                              } else {
                                  passthroughFlowLogger().debug("Wrote datagrams back to the flow");
                              }
                          });
}

void SystemResolver::handleSocketClosed(const std::optional<net::Error>& error) {
    passthroughFlowLogger().debug("Datagram closed [Error: %{public}s]", error ? error->reason : "none");
}
