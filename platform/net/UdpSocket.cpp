#include "net/UdpSocket.h"

#include "log/Log.h"
#include "net/SocketWorkers.h"

#include <asio/ip/address.hpp>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace net {

namespace detail {

// The socket's system side, on its worker: the descriptor, its place in the worker's
// epoll set, its sends, receives and close. Results go to the owner's queue in order.
class Channel : public std::enable_shared_from_this<Channel> {
public:
    Channel(Worker worker, dispatch::DispatchQueue& owner, std::weak_ptr<UdpSocket> socket)
        : worker_(worker), owner_(owner), socket_(std::move(socket)) {}

    // Each call is handed off to the worker with the rest of the owner's task.
    void open(const asio::ip::udp::endpoint& peer);
    void startReceiving();
    void send(Datagram data, long tag);
    void close();

    // On the worker, from channelReadable.
    bool readable(std::vector<std::uint8_t>& buffer);

private:
    template <class Action>
    void report(Action action);
    void watchWhenReady();
    void closeDescriptor();
    void fail(int number);

    const Worker worker_;
    dispatch::DispatchQueue& owner_;
    std::weak_ptr<UdpSocket> socket_;
    // The rest is touched on the worker only.
    int fd_ = -1;
    Token token_ = 0;  // once watched
    bool receiving_ = false;
    bool closed_ = false;
};

bool channelReadable(Channel& channel, std::vector<std::uint8_t>& buffer) { return channel.readable(buffer); }

template <class Action>
void Channel::report(Action action) {
    worker_.report(owner_, [weak = socket_, action = std::move(action)] {
        if (auto socket = weak.lock()) action(*socket);
    });
}

void Channel::open(const asio::ip::udp::endpoint& peer) {
    worker_.handOff(owner_, [self = shared_from_this(), peer] {
        if (self->closed_) return;
        // A socket of its own per query: the system picks a fresh source port for each.
        self->fd_ = ::socket(peer.protocol().family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (self->fd_ < 0 || ::connect(self->fd_, peer.data(), static_cast<socklen_t>(peer.size())) != 0) {
            self->fail(errno);
            return;
        }
        self->watchWhenReady();
    });
}

void Channel::startReceiving() {
    worker_.handOff(owner_, [self = shared_from_this()] {
        self->receiving_ = true;
        self->watchWhenReady();
    });
}

void Channel::watchWhenReady() {
    if (closed_ || token_ || fd_ < 0 || !receiving_) return;
    auto token = worker_.watch(fd_, *this);
    if (token)
        token_ = *token;
    else
        fail(token.error().code);
}

void Channel::send(Datagram data, long tag) {
    worker_.handOff(owner_, [self = shared_from_this(), data = std::move(data), tag] {
        const bool open = !self->closed_ && self->fd_ >= 0;
        const bool sent = open && ::send(self->fd_, data.data(), data.size(), 0) >= 0;
        const int number = open ? errno : ENOTCONN;
        self->report([sent, number, tag](UdpSocket& socket) { socket.sendFinished(tag, sent, number); });
    });
}

void Channel::close() {
    worker_.handOff(owner_, [self = shared_from_this()] {
        if (self->closed_) return;
        self->closed_ = true;
        self->closeDescriptor();
    });
}

void Channel::closeDescriptor() {
    if (fd_ < 0) return;
    worker_.close(fd_, token_, shared_from_this());
    fd_ = -1;
}

bool Channel::readable(std::vector<std::uint8_t>& buffer) {
    if (closed_) return false;
    const ssize_t received = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (received >= 0) {
        report([datagram = Datagram(buffer.begin(), buffer.begin() + received)](UdpSocket& socket) {
            socket.received(datagram);
        });
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        fail(errno);
    }
    return !closed_;
}

void Channel::fail(int number) {
    closed_ = true;
    closeDescriptor();
    report([number](UdpSocket& socket) { socket.failed(number); });
}

}  // namespace detail

// ---- UdpSocket, on the owner's queue ----

std::shared_ptr<UdpSocket> UdpSocket::make(std::weak_ptr<UdpSocketDelegate> delegate,
                                           dispatch::DispatchQueue& delegateQueue) {
    return std::shared_ptr<UdpSocket>(new UdpSocket(std::move(delegate), delegateQueue));
}

UdpSocket::UdpSocket(std::weak_ptr<UdpSocketDelegate> delegate, dispatch::DispatchQueue& queue)
    : delegate_(std::move(delegate)), queue_(queue) {}

UdpSocket::~UdpSocket() {
    if (resolver_) resolver_->cancel();
    if (channel_) channel_->close();
}

Result<> UdpSocket::connectToHost(const std::string& host, std::uint16_t port) {
    if (state_ != State::idle) return Error{EISCONN, "Cannot connect: socket is already connected or closed"};
    std::error_code parseError;
    auto address = asio::ip::make_address(host, parseError);
    if (!parseError) return connectTo({address, port});
    if (host.empty()) return Error{EDESTADDRREQ, "Cannot connect: no host"};
    // Names are resolved off the queue so that it never blocks.
    state_ = State::resolving;
    resolver_ = std::make_shared<asio::ip::udp::resolver>(queue_.context());
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    resolver_->async_resolve(host, std::to_string(port),
                             [weak, resolver = resolver_, host](const std::error_code& resolveError,
                                                          asio::ip::udp::resolver::results_type results) {
                                 auto self = weak.lock();
                                 if (!self || self->state_ != State::resolving) return;
                                 if (resolveError || results.empty()) {
                                     // A name with no address leaves no way to the host.
                                     const Error unresolved{EHOSTUNREACH, resolveError ? resolveError.message()
                                                                                       : "No address for host"};
                                     oslog::networkFailures("udp").add("Cannot resolve " + host + ": " +
                                                                       unresolved.reason);
                                     self->closeWithError(unresolved);
                                     return;
                                 }
                                 if (auto connected = self->connectTo(results.begin()->endpoint()); !connected)
                                     self->closeWithError(connected.error());
                             });
    return {};
}

Result<> UdpSocket::connectTo(const asio::ip::udp::endpoint& peer) {
    auto worker = detail::workerFor(queue_);
    if (!worker) {
        oslog::networkFailures("descriptors").add("No socket worker runs: " + worker.error().reason);
        return Error{worker.error().code, "Cannot connect: " + worker.error().reason};
    }
    channel_ = std::make_shared<detail::Channel>(*worker, queue_, weak_from_this());
    channel_->open(peer);
    setPeer(peer);
    state_ = State::connected;
    if (receiving_) receiveNext();
    flushSends();
    return {};
}

Result<> UdpSocket::beginReceiving() {
    if (state_ == State::closed || state_ == State::idle)
        return Error{ENOTCONN, "Must bind or connect socket before receiving"};
    receiving_ = true;
    if (state_ == State::connected) receiveNext();
    return {};
}

void UdpSocket::sendData(Datagram data, dispatch::Duration timeout, long tag) {
    pending_.push_back({std::move(data), tag, std::chrono::steady_clock::now() + timeout});
    if (state_ != State::resolving) {
        flushSends();
        return;
    }
    // Still resolving: fail this send if the connection is not ready in time.
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    queue_.asyncAfter(timeout, [weak] {
        if (auto self = weak.lock()) self->flushSends();
    });
}

void UdpSocket::flushSends() {
    const auto now = std::chrono::steady_clock::now();
    while (!pending_.empty()) {
        PendingSend& send = pending_.front();
        if (state_ == State::resolving) {
            if (send.deadline > now) return;
            PendingSend expired = std::move(send);
            pending_.pop_front();
            if (auto delegate = delegate_.lock())
                delegate->udpSocketDidNotSendDataWithTag(*this, expired.tag,
                                                         Error{ETIMEDOUT, "Send operation timed out"});
            continue;
        }
        PendingSend current = std::move(send);
        pending_.pop_front();
        if (state_ == State::connected)
            channel_->send(std::move(current.data), current.tag);
        else
            sendFinished(current.tag, false, ENOTCONN);
    }
}

void UdpSocket::sendFinished(long tag, bool sent, int errorNumber) {
    if (sent) {
        if (auto delegate = delegate_.lock()) delegate->udpSocketDidSendDataWithTag(*this, tag);
        return;
    }
    const Error error = Error::system(errorNumber);
    sayWhy(error);
    if (auto delegate = delegate_.lock()) delegate->udpSocketDidNotSendDataWithTag(*this, tag, error);
}

void UdpSocket::receiveNext() {
    if (receivePending_ || state_ != State::connected) return;
    // The channel keeps receiving from now on, into its worker's buffer, so idle
    // sockets hold no buffer.
    receivePending_ = true;
    channel_->startReceiving();
}

void UdpSocket::received(const Datagram& datagram) {
    if (state_ != State::connected || !receiving_) return;
    if (auto delegate = delegate_.lock()) delegate->udpSocketDidReceiveData(*this, datagram, peerText_);
}

void UdpSocket::close() { closeWithError(std::nullopt); }

void UdpSocket::failed(int number) {
    const Error error = Error::system(number);
    sayWhy(error);
    closeWithError(error);
}

void UdpSocket::sayWhy(const Error& error) const {
    if (error.code == EMFILE || error.code == ENFILE || error.code == ENOBUFS || error.code == ENOMEM)
        oslog::networkFailures("descriptors").add("Cannot open a UDP socket: " + error.reason);
    else
        oslog::networkFailures("udp").add("Datagrams to " + peerText_ + ": " + error.reason);
}

void UdpSocket::closeWithError(const std::optional<Error>& error) {
    if (state_ == State::closed) return;
    state_ = State::closed;
    if (resolver_) resolver_->cancel();
    if (channel_) channel_->close();
    channel_.reset();
    flushSends();  // pending sends fail as not connected
    if (auto delegate = delegate_.lock()) delegate->udpSocketDidClose(*this, error);
}

std::string UdpSocket::connectedAddress() const { return peerText_; }

void UdpSocket::setPeer(const asio::ip::udp::endpoint& peer) {
    peer_ = peer;
    // The sockets of one queue mostly talk to one server: its text is made once.
    thread_local asio::ip::udp::endpoint lastPeer;
    thread_local std::string lastText;
    if (lastText.empty() || peer != lastPeer) {
        lastPeer = peer;
        lastText = peer.address().to_string() + ":" + std::to_string(peer.port());
    }
    peerText_ = lastText;
}

}  // namespace net
