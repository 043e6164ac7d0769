#include "Velmora/SystemResolver.h"

#include "Velmora/HexDump.h"
#include "Velmora/Loggers.h"

#include <sys/random.h>

#include <asio/steady_timer.hpp>

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

// Resolvers waiting for their first answer, in order of their deadlines (all waits
// are equally long). One timer on the main queue, ticking while any wait runs, ends
// the expired ones, so that a busy passthrough road carries no timer per query; a wait
// may thus last up to one tick longer.
constexpr std::chrono::milliseconds waitTick{100};
// At the road's limits a new query takes the place of the oldest once that has waited
// this long, as unbound's jostling does: a flood's last queries then keep new ones out
// for this long, not for their whole wait, and the work a flood makes stays bounded.
constexpr std::chrono::milliseconds jostleAfter{200};

struct FirstAnswerWaits {
    struct Wait {
        std::chrono::steady_clock::time_point deadline;
        std::weak_ptr<SystemResolver> resolver;
    };
    std::deque<Wait> waits;  // the timer ticks while this holds any
    std::size_t count = 0;   // resolvers still waiting
    std::size_t bytes = 0;   // and the octets of their queries
    std::unique_ptr<asio::steady_timer> timer;
};

FirstAnswerWaits& firstAnswerWaits() {
    // Main queue only; never destroyed, as its timer belongs to the main queue's loop.
    static FirstAnswerWaits* waits = new FirstAnswerWaits;
    return *waits;
}

void tick();

void armTick() {
    auto& all = firstAnswerWaits();
    if (!all.timer) all.timer = std::make_unique<asio::steady_timer>(dispatch::DispatchQueue::main().context());
    all.timer->expires_after(waitTick);
    all.timer->async_wait([](const std::error_code& error) {
        if (!error) tick();
    });
}

void tick() {
    auto& all = firstAnswerWaits();
    const auto now = std::chrono::steady_clock::now();
    while (!all.waits.empty() && all.waits.front().deadline <= now) {
        if (auto resolver = all.waits.front().resolver.lock()) resolver->stopAwaitingFirstAnswer();
        all.waits.pop_front();
    }
    if (!all.waits.empty()) armTick();
}

}  // namespace

void SystemResolver::awaitFirstAnswer(const std::shared_ptr<SystemResolver>& resolver) {
    auto& all = firstAnswerWaits();
    resolver->self_ = resolver;
    resolver->awaitedBytes_ = resolver->data_ ? resolver->data_->size() : 0;
    ++all.count;
    all.bytes += resolver->awaitedBytes_;
    const bool ticking = !all.waits.empty();
    all.waits.push_back({std::chrono::steady_clock::now() + firstAnswerWait, resolver});
    if (!ticking) armTick();
}

std::size_t SystemResolver::awaitingFirstAnswerCount() { return firstAnswerWaits().count; }
std::size_t SystemResolver::awaitingFirstAnswerBytes() { return firstAnswerWaits().bytes; }

bool SystemResolver::makeRoom(std::size_t mostQueries, std::size_t mostBytes, std::size_t size) {
    auto& all = firstAnswerWaits();
    std::optional<std::chrono::steady_clock::time_point> now;
    while (all.count >= mostQueries || all.bytes + size > mostBytes) {
        if (all.waits.empty()) return false;
        if (auto resolver = all.waits.front().resolver.lock(); resolver && resolver->awaitingFirstAnswer()) {
            if (!now) now = std::chrono::steady_clock::now();
            if (all.waits.front().deadline - firstAnswerWait + jostleAfter > *now) return false;
            resolver->stopAwaitingFirstAnswer();
        }
        all.waits.pop_front();
    }
    return true;
}

void SystemResolver::stopAwaitingFirstAnswer() {
    if (!self_) return;
    auto& all = firstAnswerWaits();
    --all.count;
    all.bytes -= awaitedBytes_;
    self_.reset();
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
        passthroughFlowLogger().error("Error setting up DNS passthrough service");
    }
    // Stay alive for the first answer even when the resolver set lets go of us.
    awaitFirstAnswer(shared_from_this());
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

void SystemResolver::udpSocketDidClose(net::UdpSocket&, const std::optional<std::string>& error) {
    handleSocketClosed(error);
}

void SystemResolver::handleReceivedDatagram(const ne::Datagram& datagram) {
    auto keepAlive = self_;  // the first answer has come
    stopAwaitingFirstAnswer();
    if (oslog::isEnabled(oslog::Level::debug)) {
        passthroughFlowLogger().debug("DNS response : [%{public}d bytes] : %{public}s", datagram.size(),
                                      datagramDump(datagram));
    }
    writeResponse(datagram);
}

void SystemResolver::writeResponse(const ne::Datagram& datagram) {
    if (!flow_) return;
    flow_->writeDatagrams({datagram}, endpoints_.value_or(ne::EndpointList{}),
                          [](std::optional<ne::FlowError> error) {
                              if (error) {
                                  passthroughFlowLogger().error("Failed to write datagrams to the flow: %{public}s",
                                                                error->localizedDescription);
                              } else {
                                  passthroughFlowLogger().debug("Wrote datagrams back to the flow");
                              }
                          });
}

void SystemResolver::handleSocketClosed(const std::optional<std::string>& error) {
    passthroughFlowLogger().debug("Datagram closed [Error: %{public}s]", error.value_or("none"));
}
