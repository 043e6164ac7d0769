#include "networkextension/ProviderHost.h"

#include <asio/ip/tcp.hpp>
#include <asio/ip/udp.hpp>

#include <atomic>
#include <fstream>
#include <future>
#include <sstream>

namespace ne {

namespace {

constexpr size_t kMaximumDatagram = 65536;

std::string text(const asio::ip::udp::endpoint& endpoint) {
    return endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
}

std::atomic<unsigned long> nextFlowIdentifier{1};

}  // namespace

std::optional<std::string> firstNameserver(const std::filesystem::path& resolvConf) {
    std::ifstream file(resolvConf);
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        std::string keyword, address;
        if (words >> keyword >> address && keyword == "nameserver") return address;
    }
    return std::nullopt;
}

struct ProviderHost::Listeners : std::enable_shared_from_this<ProviderHost::Listeners> {
    Listeners(dispatch::DispatchQueue& queue) : queue(queue), udp(queue.context()), tcp(queue.context()) {}

    dispatch::DispatchQueue& queue;
    asio::ip::udp::socket udp;
    asio::ip::tcp::acceptor tcp;
    std::weak_ptr<DNSProxyProvider> provider;
    std::shared_ptr<HostEndpoint> localEndpoint;
    std::string resolverAddress;
    Datagram buffer = Datagram(kMaximumDatagram);
    asio::ip::udp::endpoint client;

    void receiveNext();
    void acceptNext();
};

namespace {

// One client datagram, offered as a flow that is opened, read once and answered.
class HostUDPFlow : public AppProxyUDPFlow, public std::enable_shared_from_this<HostUDPFlow> {
public:
    HostUDPFlow(const std::shared_ptr<ProviderHost::Listeners>& listeners, asio::ip::udp::endpoint client,
                Datagram query)
        : listeners_(listeners), queue_(listeners->queue), local_(listeners->localEndpoint),
          resolverAddress_(listeners->resolverAddress), client_(std::move(client)), query_(std::move(query)),
          identifier_(nextFlowIdentifier++) {}

    std::shared_ptr<HostEndpoint> localEndpoint() const override;

    void openWithLocalEndpoint(std::shared_ptr<HostEndpoint>, Completion completion) override;
    void readDatagrams(ReadCompletion completion) override;
    void writeDatagrams(std::vector<Datagram> datagrams, EndpointList, Completion completion) override;
    std::string debugDescription() const override;

private:
    std::weak_ptr<ProviderHost::Listeners> listeners_;
    dispatch::DispatchQueue& queue_;
    std::shared_ptr<HostEndpoint> local_;
    std::string resolverAddress_;
    asio::ip::udp::endpoint client_;
    Datagram query_;
    unsigned long identifier_;
    bool open_ = false;  // touched on the host's queue only
    bool read_ = false;
};

class HostTCPFlow : public AppProxyTCPFlow {
public:
    HostTCPFlow(asio::ip::tcp::socket socket, std::shared_ptr<Endpoint> remote)
        : socket_(std::move(socket)), remote_(std::move(remote)), identifier_(nextFlowIdentifier++) {}

    void openWithLocalEndpoint(std::shared_ptr<HostEndpoint>, Completion completion) override {
        // Stream relaying is not offered by this host.
        completion(FlowError{1, "The operation couldn't be completed. (TCP flows are not supported)"});
    }
    std::shared_ptr<Endpoint> remoteEndpoint() const override { return remote_; }
    std::string debugDescription() const override {
        std::error_code error;
        auto peer = socket_.remote_endpoint(error);
        return "TCP flow " + std::to_string(identifier_) + " " +
               (error ? std::string("?") : peer.address().to_string() + ":" + std::to_string(peer.port())) +
               " -> " + (remote_ ? remote_->description() : std::string("?"));
    }

private:
    asio::ip::tcp::socket socket_;
    std::shared_ptr<Endpoint> remote_;
    unsigned long identifier_;
};

std::shared_ptr<HostEndpoint> HostUDPFlow::localEndpoint() const { return local_; }

void HostUDPFlow::openWithLocalEndpoint(std::shared_ptr<HostEndpoint>, Completion completion) {
    queue_.async([self = shared_from_this(), completion = std::move(completion)] {
        if (self->open_) {
            completion(FlowError{2, "The operation couldn't be completed. (flow is already open)"});
            return;
        }
        self->open_ = true;
        completion(std::nullopt);
    });
}

void HostUDPFlow::readDatagrams(ReadCompletion completion) {
    queue_.async([self = shared_from_this(), completion = std::move(completion)] {
        if (!self->open_) {
            completion(std::nullopt, std::nullopt, FlowError{3, "The operation couldn't be completed. (flow is not open)"});
            return;
        }
        // The flow carries one datagram; a later read would wait for the client forever.
        if (self->read_) return;
        self->read_ = true;
        EndpointList endpoints;
        if (!self->resolverAddress_.empty()) endpoints.push_back(HostEndpoint::make(self->resolverAddress_, "53"));
        completion(std::vector<Datagram>{self->query_}, std::move(endpoints), std::nullopt);
    });
}

void HostUDPFlow::writeDatagrams(std::vector<Datagram> datagrams, EndpointList, Completion completion) {
    queue_.async([self = shared_from_this(), datagrams = std::move(datagrams),
                             completion = std::move(completion)] {
        auto listeners = self->listeners_.lock();
        if (!self->open_ || !listeners) {
            completion(FlowError{3, "The operation couldn't be completed. (flow is not open)"});
            return;
        }
        std::error_code error;
        for (const Datagram& datagram : datagrams) {
            listeners->udp.send_to(asio::buffer(datagram), self->client_, 0, error);
            if (error) break;
        }
        if (error)
            completion(FlowError{error.value(), error.message()});
        else
            completion(std::nullopt);
    });
}

std::string HostUDPFlow::debugDescription() const {
    return "UDP flow " + std::to_string(identifier_) + " " + text(client_) + " -> " +
           (resolverAddress_.empty() ? std::string("?") : resolverAddress_ + ":53");
}

}  // namespace

void ProviderHost::Listeners::receiveNext() {
    // One receive at a time into one buffer; each flow gets a copy of its own size.
    std::weak_ptr<Listeners> weak = weak_from_this();
    udp.async_receive_from(asio::buffer(buffer), client, [weak](const std::error_code& error, size_t size) {
        auto self = weak.lock();
        if (!self || error == asio::error::operation_aborted) return;
        if (!error) {
            Datagram query(self->buffer.begin(), self->buffer.begin() + static_cast<long>(size));
            if (auto provider = self->provider.lock())
                provider->handleNewFlow(std::make_shared<HostUDPFlow>(self, self->client, std::move(query)));
        }
        if (self->udp.is_open()) self->receiveNext();
    });
}

void ProviderHost::Listeners::acceptNext() {
    std::weak_ptr<Listeners> weak = weak_from_this();
    tcp.async_accept([weak](const std::error_code& error, asio::ip::tcp::socket socket) {
        auto self = weak.lock();
        if (!self || error == asio::error::operation_aborted) return;
        if (!error) {
            std::shared_ptr<Endpoint> remote;
            if (!self->resolverAddress.empty()) remote = HostEndpoint::make(self->resolverAddress, "53");
            auto flow = std::make_shared<HostTCPFlow>(std::move(socket), remote);
            // A declined flow is dropped here, which closes the client's connection.
            if (auto provider = self->provider.lock()) provider->handleNewFlow(flow);
        }
        if (self->tcp.is_open()) self->acceptNext();
    });
}

ProviderHost::ProviderHost(std::shared_ptr<DNSProxyProvider> provider, ProviderHostOptions options)
    : provider_(std::move(provider)), options_(std::move(options)),
      systemQueue_(std::make_unique<dispatch::DispatchQueue>("com.brimvale.provider-host")),
      listeners_(std::make_shared<Listeners>(*systemQueue_)) {
    listeners_->provider = provider_;
    listeners_->resolverAddress = options_.resolverAddress;
}

ProviderHost::~ProviderHost() {
    // Close the sockets and let go of them on their own thread, then end the queue.
    std::promise<void> closed;
    systemQueue_->async([this, &closed] {
        std::error_code ignored;
        listeners_->udp.close(ignored);
        listeners_->tcp.close(ignored);
        listeners_.reset();
        closed.set_value();
    });
    closed.get_future().wait();
    systemQueue_.reset();
}

bool ProviderHost::listen(std::string* error) {
    std::error_code failure;
    auto address = asio::ip::make_address(options_.listenAddress, failure);
    if (!failure) {
        asio::ip::udp::endpoint udpEndpoint(address, options_.listenPort);
        listeners_->udp.open(udpEndpoint.protocol(), failure);
        if (!failure) listeners_->udp.bind(udpEndpoint, failure);
    }
    if (!failure) {
        // TCP listens on the same port as UDP, also when the port was picked for us.
        asio::ip::tcp::endpoint tcpEndpoint(address, listeners_->udp.local_endpoint().port());
        listeners_->tcp.open(tcpEndpoint.protocol(), failure);
        if (!failure) listeners_->tcp.set_option(asio::socket_base::reuse_address(true), failure);
        if (!failure) listeners_->tcp.bind(tcpEndpoint, failure);
        if (!failure) listeners_->tcp.listen(asio::socket_base::max_listen_connections, failure);
    }
    if (failure) {
        if (error) *error = options_.listenAddress + ":" + std::to_string(options_.listenPort) + ": " + failure.message();
        return false;
    }
    listeners_->localEndpoint = HostEndpoint::make(options_.listenAddress, std::to_string(udpPort()));
    systemQueue_->async([listeners = listeners_] {
        listeners->receiveNext();
        listeners->acceptNext();
    });
    return true;
}

std::uint16_t ProviderHost::udpPort() const {
    std::error_code error;
    auto endpoint = listeners_->udp.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

std::uint16_t ProviderHost::tcpPort() const {
    std::error_code error;
    auto endpoint = listeners_->tcp.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

void ProviderHost::startProvider(std::optional<foundation::Dictionary> options,
                                 DNSProxyProvider::StartCompletion completion) {
    systemQueue_->async([provider = provider_, options = std::move(options), completion = std::move(completion)] {
        provider->startProxy(options, completion);
    });
}

void ProviderHost::stopProvider(ProviderStopReason reason, std::function<void()> completion) {
    systemQueue_->async([provider = provider_, reason, completion = std::move(completion)] {
        provider->stopProxy(reason, completion);
    });
}

}  // namespace ne
