#include "networkextension/ProviderHost.h"

#include "net/UdpSocket.h"
#include "networkextension/DeviceResolver.h"

#include <asio/ip/tcp.hpp>
#include <asio/ip/udp.hpp>
#include <asio/steady_timer.hpp>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>

namespace ne {

namespace {

constexpr size_t kBatch = 64;  // datagrams per system call
// Batches taken in one task before the queue's other work gets its turn.
constexpr size_t kBatchesPerTurn = 16;
// Room for a burst of queries while the provider is busy: a full receive buffer drops
// what arrives. The system may give less.
constexpr int kSocketBuffer = 8 * 1024 * 1024;
// After an accept that failed for want of descriptors: what the backlog holds waits
// this long, instead of making the loop spin on a listener that stays readable.
constexpr auto kAcceptRetry = std::chrono::milliseconds(100);

void enlargeBuffer(int fd, int forced, int plain) {
    const int size = kSocketBuffer;
    if (::setsockopt(fd, SOL_SOCKET, forced, &size, sizeof size) == 0) return;
    ::setsockopt(fd, SOL_SOCKET, plain, &size, sizeof size);
}

// Room for one control message of packet information, of either family.
struct alignas(cmsghdr) ControlSpace {
    std::array<unsigned char, CMSG_SPACE(sizeof(in6_pktinfo))> bytes{};
};

// What makes an answer leave from the address its query was sent to, which on a
// wildcard listener the system would not pick by itself: the query's packet
// information, as the control message of the send. Empty on a listener bound to one
// address, which is then the source anyway.
struct AnswerSource {
    ControlSpace control;
    socklen_t length = 0;
    asio::ip::address destination;  // where the query was sent, on a wildcard listener

    static AnswerSource of(msghdr& query) {
        AnswerSource source;
        for (cmsghdr* message = CMSG_FIRSTHDR(&query); message; message = CMSG_NXTHDR(&query, message)) {
            if (message->cmsg_level == IPPROTO_IP && message->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(message), sizeof info);
                info.ipi_ifindex = 0;  // the route picks the interface, as for any answer
                source.set(IPPROTO_IP, IP_PKTINFO, info);
                source.destination = asio::ip::address_v4(ntohl(info.ipi_addr.s_addr));
            } else if (message->cmsg_level == IPPROTO_IPV6 && message->cmsg_type == IPV6_PKTINFO) {
                in6_pktinfo info;  // also for IPv4 queries to an IPv6 listener, as mapped addresses
                std::memcpy(&info, CMSG_DATA(message), sizeof info);
                info.ipi6_ifindex = 0;  // as above
                source.set(IPPROTO_IPV6, IPV6_PKTINFO, info);
                asio::ip::address_v6::bytes_type bytes;
                std::memcpy(bytes.data(), &info.ipi6_addr, bytes.size());
                source.destination = asio::ip::address_v6(bytes);
            }
        }
        return source;
    }

private:
    template <class Info>
    void set(int level, int type, const Info& info) {
        msghdr header{};
        header.msg_control = control.bytes.data();
        header.msg_controllen = control.bytes.size();
        cmsghdr* message = CMSG_FIRSTHDR(&header);
        message->cmsg_level = level;
        message->cmsg_type = type;
        message->cmsg_len = CMSG_LEN(sizeof info);
        std::memcpy(CMSG_DATA(message), &info, sizeof info);
        length = CMSG_SPACE(sizeof info);
    }
};

std::string text(const asio::ip::udp::endpoint& endpoint) {
    return endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
}

std::atomic<unsigned long> nextFlowIdentifier{1};

FlowError flowError(int code, const std::string& reason) {
    return {code, "The operation couldn't be completed. (" + reason + ")"};
}
FlowError notOpen() { return flowError(flowErrorNotOpen, "flow is not open"); }
// For a flow that outlives its host: told at once, on the caller's thread, as the
// host's queue is gone with it.
FlowError closed() { return flowError(flowErrorClosed, "flow is closed"); }

// An answer (QR bit set) is no query: the client that sent it would be a resolver
// answering a query it thinks we sent, and forwarding it would start a loop between
// two such. A datagram too short to tell is offered as any other.
bool isResponse(const Datagram& datagram) { return datagram.size() > 2 && (datagram[2] & 0x80); }

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
    Listeners(dispatch::DispatchQueue& queue, const std::string& resolverAddress)
        : queue(queue), udp(queue.context()), tcp(queue.context()), acceptRetry(queue.context()),
          resolverAddress(resolverAddress), device(queue, resolverAddress, hostLogger()),
          ownDatagrams(hostLogger()), answersAsQueries(hostLogger()) {}

    // One written answer: the datagrams for one client and what to tell the writer.
    struct Answer {
        asio::ip::udp::endpoint client;
        AnswerSource source;
        std::vector<Datagram> datagrams;
        AppProxyFlow::Completion completion;
    };

    dispatch::DispatchQueue& queue;
    asio::ip::udp::socket udp;
    asio::ip::tcp::acceptor tcp;
    asio::steady_timer acceptRetry;
    asio::ip::udp::endpoint listening;
    std::weak_ptr<DNSProxyProviderBase> provider;
    std::shared_ptr<HostEndpoint> localEndpoint;
    std::string resolverAddress;
    EndpointList resolverEndpoints;  // what every read tells: the system-assigned resolver

    // On the host's queue: flows go to the provider only between its successful start
    // and its stop; meanwhile queries go the device's own way. Each start and stop
    // counts, so that a start that completes after a later stop changes nothing.
    bool providerRunning = false;
    std::uint64_t lifecycle = 0;
    DeviceResolver device;
    oslog::FailureLog ownDatagrams, answersAsQueries;

    // The receive batch, used on the host's queue only.
    std::vector<std::uint8_t> buffers = std::vector<std::uint8_t>(kBatch * net::largestDatagram);
    std::array<mmsghdr, kBatch> messages{};
    std::array<iovec, kBatch> vectors{};
    std::array<sockaddr_storage, kBatch> addresses{};
    std::array<ControlSpace, kBatch> controls{};

    // Answers written during the host queue's task, sent when it ends; all on the host's
    // queue, as are the lists a send uses, which keep their room from one batch to the next.
    std::vector<Answer> answers;
    std::vector<Answer> sendingAnswers;
    std::vector<std::pair<size_t, Datagram*>> datagrams;  // with the answer each belongs to
    std::vector<std::optional<FlowError>> outcomes;

    void receiveNext();
    void receiveBatches();
    // One system call's datagrams into the batch; their number.
    size_t receiveBatch();
    // Datagram `index` of the batch, to the running provider `owner`, else to the
    // device's resolver.
    void offer(size_t index, DNSProxyProviderBase* owner);
    // Whether the datagram comes from this listener's own address and port: its answer
    // would come back to the listener as a new query, and so on.
    bool fromItself(const asio::ip::udp::endpoint& client, const AnswerSource& source) const;
    void acceptNext();
    void accepted(asio::ip::tcp::socket socket);
    // On the host's queue: `answer` goes out when the task at hand ends.
    void send(Answer answer);
    void sendAnswers();
    // Datagrams [first, first + count) of the batch, in one system call when the system
    // takes them all; a failure is its answer's outcome.
    void sendDatagrams(size_t first, size_t count);
    // Each answer's completion, all in one task.
    void tellOutcomes();
    void close();
};

namespace {

// One client datagram, offered as a flow that is opened, read once and answered.
class HostUDPFlow : public AppProxyUDPFlow, public std::enable_shared_from_this<HostUDPFlow> {
public:
    HostUDPFlow(const std::shared_ptr<ProviderHost::Listeners>& listeners, asio::ip::udp::endpoint client,
                const AnswerSource& source, Datagram query)
        : listeners_(listeners), local_(listeners->localEndpoint), resolverAddress_(listeners->resolverAddress),
          client_(std::move(client)), source_(source), query_(std::move(query)), identifier_(nextFlowIdentifier++) {}

    std::shared_ptr<HostEndpoint> localEndpoint() const override;

    void openWithLocalEndpoint(std::shared_ptr<HostEndpoint>, Completion completion) override;
    void readDatagrams(ReadCompletion completion) override;
    void writeDatagrams(std::vector<Datagram> datagrams, const EndpointList&, Completion completion) override;
    std::string debugDescription() const override;

private:
    std::weak_ptr<ProviderHost::Listeners> listeners_;
    std::shared_ptr<HostEndpoint> local_;
    std::string resolverAddress_;
    asio::ip::udp::endpoint client_;
    AnswerSource source_;
    Datagram query_;
    unsigned long identifier_;
    // Touched on the host's queue only.
    bool open_ = false;
    bool read_ = false;
};

class HostTCPFlow : public AppProxyTCPFlow {
public:
    HostTCPFlow(asio::ip::tcp::socket socket, std::shared_ptr<Endpoint> remote)
        : socket_(std::move(socket)), remote_(std::move(remote)), identifier_(nextFlowIdentifier++) {}

    void openWithLocalEndpoint(std::shared_ptr<HostEndpoint>, Completion completion) override {
        // Stream relaying is not offered by this host.
        completion(flowError(flowErrorNotSupported, "TCP flows are not supported"));
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
    auto listeners = listeners_.lock();
    if (!listeners) return completion(closed());
    listeners->queue.run([self = shared_from_this(), completion = std::move(completion)] {
        if (self->open_) {
            completion(flowError(flowErrorAlreadyOpen, "flow is already open"));
            return;
        }
        self->open_ = true;
        completion(std::nullopt);
    });
}

void HostUDPFlow::readDatagrams(ReadCompletion completion) {
    auto listeners = listeners_.lock();
    if (!listeners) return completion(std::nullopt, std::nullopt, closed());
    listeners->queue.run([self = shared_from_this(), completion = std::move(completion)] {
        if (!self->open_) {
            completion(std::nullopt, std::nullopt, notOpen());
            return;
        }
        // The flow carries one datagram; a later read would wait for the client forever.
        if (self->read_) return;
        self->read_ = true;
        auto listeners = self->listeners_.lock();
        std::vector<Datagram> datagrams;
        datagrams.push_back(std::move(self->query_));
        completion(std::move(datagrams), listeners ? listeners->resolverEndpoints : EndpointList{}, std::nullopt);
    });
}

void HostUDPFlow::writeDatagrams(std::vector<Datagram> datagrams, const EndpointList&, Completion completion) {
    auto listeners = listeners_.lock();
    if (!listeners) return completion(closed());
    // A writer on another queue hands its answer over: what a flow holds lives on the host's.
    listeners->queue.run([self = shared_from_this(), datagrams = std::move(datagrams),
                          completion = std::move(completion)]() mutable {
        auto listeners = self->listeners_.lock();
        if (!listeners) return completion(closed());
        if (!self->open_) return completion(notOpen());
        listeners->send({self->client_, self->source_, std::move(datagrams), std::move(completion)});
    });
}

std::string HostUDPFlow::debugDescription() const {
    return "UDP flow " + std::to_string(identifier_) + " " + text(client_) + " -> " +
           (resolverAddress_.empty() ? std::string("?") : resolverAddress_ + ":53");
}

}  // namespace

void ProviderHost::Listeners::receiveNext() {
    std::weak_ptr<Listeners> weak = weak_from_this();
    udp.async_wait(asio::ip::udp::socket::wait_read, [weak](const std::error_code& error) {
        auto self = weak.lock();
        if (!self || error == asio::error::operation_aborted || !self->udp.is_open()) return;
        self->receiveBatches();
    });
}

void ProviderHost::Listeners::receiveBatches() {
    auto owner = providerRunning ? provider.lock() : nullptr;
    for (size_t round = 0; round < kBatchesPerTurn; ++round) {
        const size_t count = receiveBatch();
        for (size_t i = 0; i < count; ++i) offer(i, owner.get());
        if (count < kBatch) {
            // Watched again after the work these queries queued, so they go out first.
            queue.async([weak = weak_from_this()] {
                if (auto self = weak.lock(); self && self->udp.is_open()) self->receiveNext();
            });
            return;
        }
    }
    // More may wait: take it in a later task, after the queue's other work.
    queue.async([weak = weak_from_this()] {
        if (auto self = weak.lock(); self && self->udp.is_open()) self->receiveBatches();
    });
}

size_t ProviderHost::Listeners::receiveBatch() {
    for (size_t i = 0; i < kBatch; ++i) {
        vectors[i] = {buffers.data() + i * net::largestDatagram, net::largestDatagram};
        messages[i].msg_hdr = {&addresses[i], sizeof addresses[i], &vectors[i], 1,
                               controls[i].bytes.data(), controls[i].bytes.size(), 0};
    }
    int count;
    do {
        count = ::recvmmsg(udp.native_handle(), messages.data(), kBatch, MSG_DONTWAIT, nullptr);
    } while (count < 0 && errno == EINTR);
    return count < 0 ? 0 : static_cast<size_t>(count);  // empty, or closed: the wait ends at once
}

void ProviderHost::Listeners::offer(size_t index, DNSProxyProviderBase* owner) {
    auto& header = messages[index].msg_hdr;
    // Larger than any DNS message: there is no whole query to answer.
    if (header.msg_flags & MSG_TRUNC) return;
    asio::ip::udp::endpoint client;
    std::memcpy(client.data(), header.msg_name, header.msg_namelen);
    client.resize(header.msg_namelen);
    const auto* start = buffers.data() + index * net::largestDatagram;
    Datagram query(start, start + messages[index].msg_len);
    AnswerSource source = AnswerSource::of(header);
    if (fromItself(client, source)) return ownDatagrams.add("Dropped a datagram from this listener's own address");
    if (isResponse(query)) return answersAsQueries.add("Dropped an answer that came as a query");
    if (owner) {
        owner->handleNewFlow(std::make_shared<HostUDPFlow>(shared_from_this(), client, source, std::move(query)));
        return;
    }
    device.resolve(std::move(query), [weak = weak_from_this(), client, source](Datagram answer) {
        std::vector<Datagram> datagrams;
        datagrams.push_back(std::move(answer));
        if (auto self = weak.lock()) self->send({client, source, std::move(datagrams), [](auto) {}});
    });
}

bool ProviderHost::Listeners::fromItself(const asio::ip::udp::endpoint& client, const AnswerSource& source) const {
    if (client.port() != listening.port()) return false;
    const auto& own = listening.address().is_unspecified() ? source.destination : listening.address();
    return client.address() == own;
}

void ProviderHost::Listeners::send(Answer answer) {
    answers.push_back(std::move(answer));
    // Sent when the task is done, together with what it writes meanwhile.
    if (answers.size() == 1)
        queue.atEndOfTask([weak = weak_from_this()] {
            if (auto self = weak.lock()) self->sendAnswers();
        });
}

void ProviderHost::Listeners::sendAnswers() {
    sendingAnswers.swap(answers);
    outcomes.assign(sendingAnswers.size(), std::nullopt);
    datagrams.clear();
    for (size_t answer = 0; answer < sendingAnswers.size(); ++answer)
        for (auto& datagram : sendingAnswers[answer].datagrams) datagrams.emplace_back(answer, &datagram);
    for (size_t first = 0; first < datagrams.size(); first += kBatch)
        sendDatagrams(first, std::min(kBatch, datagrams.size() - first));
    tellOutcomes();
}

void ProviderHost::Listeners::sendDatagrams(size_t first, size_t count) {
    std::array<mmsghdr, kBatch> headers{};
    std::array<iovec, kBatch> parts{};
    for (size_t i = 0; i < count; ++i) {
        auto& [index, datagram] = datagrams[first + i];
        auto& answer = sendingAnswers[index];
        auto& source = answer.source;
        parts[i] = {datagram->data(), datagram->size()};
        headers[i].msg_hdr = {answer.client.data(), static_cast<socklen_t>(answer.client.size()), &parts[i], 1,
                              source.length ? source.control.bytes.data() : nullptr, source.length, 0};
    }
    const int fd = udp.is_open() ? udp.native_handle() : -1;
    for (size_t sent = 0; sent < count;) {
        const int result = fd < 0 ? -1 : ::sendmmsg(fd, headers.data() + sent, static_cast<unsigned>(count - sent), 0);
        if (result > 0) {
            sent += static_cast<size_t>(result);
            continue;
        }
        const int number = fd < 0 ? EBADF : errno;
        if (number == EINTR) continue;
        // The first unsent datagram failed; the rest go on.
        outcomes[datagrams[first + sent].first] =
            flowError(flowErrorSendFailed, std::error_code(number, std::system_category()).message());
        ++sent;
    }
}

void ProviderHost::Listeners::tellOutcomes() {
    for (size_t i = 0; i < sendingAnswers.size(); ++i) sendingAnswers[i].completion(outcomes[i]);
    sendingAnswers.clear();
}

void ProviderHost::Listeners::close() {
    std::error_code ignored;
    udp.close(ignored);
    tcp.close(ignored);
}

void ProviderHost::Listeners::acceptNext() {
    std::weak_ptr<Listeners> weak = weak_from_this();
    tcp.async_accept([weak](const std::error_code& error, asio::ip::tcp::socket socket) {
        auto self = weak.lock();
        if (!self || error == asio::error::operation_aborted || !self->tcp.is_open()) return;
        if (!error) {
            self->accepted(std::move(socket));
            return self->acceptNext();
        }
        if (error != asio::error::no_descriptors && error != asio::error::no_buffer_space &&
            error != asio::error::no_memory && error.value() != ENFILE)
            return self->acceptNext();
        oslog::networkFailures("descriptors").add("Cannot accept a TCP connection: " + error.message());
        self->acceptRetry.expires_after(kAcceptRetry);
        self->acceptRetry.async_wait([weak](const std::error_code& waited) {
            if (auto self = weak.lock(); self && !waited && self->tcp.is_open()) self->acceptNext();
        });
    });
}

void ProviderHost::Listeners::accepted(asio::ip::tcp::socket socket) {
    // With no provider running, the device has no DNS over TCP here: the connection closes.
    auto owner = providerRunning ? provider.lock() : nullptr;
    if (!owner) return;
    std::shared_ptr<Endpoint> remote;
    if (!resolverAddress.empty()) remote = HostEndpoint::make(resolverAddress, "53");
    // A declined flow is dropped here, which closes the client's connection.
    owner->handleNewFlow(std::make_shared<HostTCPFlow>(std::move(socket), remote));
}

ProviderHost::ProviderHost(std::shared_ptr<DNSProxyProviderBase> provider, ProviderHostOptions options)
    : provider_(std::move(provider)), options_(std::move(options)),
      ownQueue_(options_.queue ? nullptr : std::make_unique<dispatch::DispatchQueue>("com.brimvale.provider-host")),
      systemQueue_(options_.queue ? options_.queue : ownQueue_.get()),
      listeners_(std::make_shared<Listeners>(*systemQueue_, options_.resolverAddress)) {
    listeners_->provider = provider_;
    if (!options_.resolverAddress.empty())
        listeners_->resolverEndpoints.push_back(HostEndpoint::make(options_.resolverAddress, "53"));
}

ProviderHost::~ProviderHost() {
    if (!ownQueue_) {
        listeners_->close();  // called on the host's queue
        return;
    }
    // Close the sockets and let go of them on their own thread, then end the queue.
    std::promise<void> closed;
    systemQueue_->async([this, &closed] {
        listeners_->close();
        listeners_.reset();
        closed.set_value();
    });
    closed.get_future().wait();
    ownQueue_.reset();
}

net::Result<> ProviderHost::listen() {
    std::error_code failure;
    auto address = asio::ip::make_address(options_.listenAddress, failure);
    if (!failure) {
        asio::ip::udp::endpoint udpEndpoint(address, options_.listenPort);
        listeners_->udp.open(udpEndpoint.protocol(), failure);
        if (!failure) listeners_->udp.bind(udpEndpoint, failure);
        if (!failure) {
            const int fd = listeners_->udp.native_handle();
            enlargeBuffer(fd, SO_RCVBUFFORCE, SO_RCVBUF);
            enlargeBuffer(fd, SO_SNDBUFFORCE, SO_SNDBUF);
            // A wildcard listener is told where each query was sent, to answer from there.
            const int on = 1;
            if (address.is_unspecified() &&
                (address.is_v4() ? ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on)
                                 : ::setsockopt(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on)) != 0)
                failure = std::error_code(errno, std::system_category());
        }
    }
    if (!failure) {
        // TCP listens on the same port as UDP, also when the port was picked for us.
        asio::ip::tcp::endpoint tcpEndpoint(address, listeners_->udp.local_endpoint().port());
        listeners_->tcp.open(tcpEndpoint.protocol(), failure);
        if (!failure) listeners_->tcp.set_option(asio::socket_base::reuse_address(true), failure);
        if (!failure) listeners_->tcp.bind(tcpEndpoint, failure);
        if (!failure) listeners_->tcp.listen(asio::socket_base::max_listen_connections, failure);
    }
    if (failure)
        return net::Error{failure.value(),
                          options_.listenAddress + ":" + std::to_string(options_.listenPort) + ": " + failure.message()};
    listeners_->listening = listeners_->udp.local_endpoint();
    listeners_->localEndpoint = HostEndpoint::make(options_.listenAddress, std::to_string(udpPort()));
    systemQueue_->async([listeners = listeners_] {
        listeners->receiveNext();
        listeners->acceptNext();
    });
    return {};
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
                                 DNSProxyProviderBase::StartCompletion completion) {
    systemQueue_->async([listeners = listeners_, provider = provider_, options = std::move(options),
                         completion = std::move(completion)] {
        const auto start = ++listeners->lifecycle;
        provider->startProxy(options, [listeners, start, completion](std::optional<ProviderError> error) {
            listeners->queue.run([listeners, start, completion, error] {
                if (!error && listeners->lifecycle == start) listeners->providerRunning = true;
                completion(error);
            });
        });
    });
}

void ProviderHost::stopProvider(ProviderStopReason reason, std::function<void()> completion) {
    systemQueue_->async([listeners = listeners_, provider = provider_, reason, completion = std::move(completion)] {
        // The next query goes the device's own way; those on a road finish there.
        ++listeners->lifecycle;
        listeners->providerRunning = false;
        provider->stopProxy(reason, completion);
    });
}

const oslog::Logger& hostLogger() {
    // The host plays the system, so it logs apart from the extension. Never destroyed,
    // like the extension's loggers.
    static const auto& logger = *new oslog::Logger("com.brimvale.provider-host", "host");
    return logger;
}

}  // namespace ne
