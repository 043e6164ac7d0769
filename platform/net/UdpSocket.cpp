#include "net/UdpSocket.h"

#include <asio/ip/address.hpp>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace net {

namespace {

constexpr size_t kMaximumDatagram = 65536;
constexpr size_t kInputOutputThreads = 2;

dispatch::DispatchQueue* inputOutputQueues[kInputOutputThreads] = {};

// Sockets are spread over a few threads of their own, each socket staying on one
// (named by its index). The threads are never destroyed, like the process's other
// system threads.
size_t nextInputOutputQueue() {
    static const bool created = [] {
        dispatch::DispatchQueue::main();  // made first, so it ends after the stop below
        for (size_t i = 0; i < kInputOutputThreads; ++i)
            inputOutputQueues[i] = new dispatch::DispatchQueue("com.brimvale.udp-io." + std::to_string(i));
        std::atexit([] { dispatch::stopRunning({std::begin(inputOutputQueues), std::end(inputOutputQueues)}); });
        return true;
    }();
    (void)created;
    static std::atomic<size_t> next{0};
    return next++ % kInputOutputThreads;
}

// Work for the input/output threads goes over in batches: handing a task to a
// sleeping thread costs the sender that thread's waking, which would otherwise be
// paid for nearly every socket operation. Work added while the owner's queue is busy
// is handed over together once that queue has run what it had before.
class Handoff {
public:
    static Handoff& shared() {
        static Handoff* instance = new Handoff;
        return *instance;
    }

    void add(dispatch::DispatchQueue& owner, size_t thread, dispatch::Task task) {
        std::lock_guard lock(mutex_);
        pending_[thread].push_back(std::move(task));
        if (flushPending_) return;
        flushPending_ = true;
        owner.async([this] { flush(); });
    }

private:
    void flush() {
        std::vector<dispatch::Task> batches[kInputOutputThreads];
        {
            std::lock_guard lock(mutex_);
            for (size_t i = 0; i < kInputOutputThreads; ++i) batches[i].swap(pending_[i]);
            flushPending_ = false;
        }
        for (size_t i = 0; i < kInputOutputThreads; ++i) {
            if (batches[i].empty()) continue;
            inputOutputQueues[i]->async([batch = std::move(batches[i])] {
                for (const auto& task : batch) task();
            });
        }
    }

    std::mutex mutex_;
    std::vector<dispatch::Task> pending_[kInputOutputThreads];
    bool flushPending_ = false;
};

std::string systemErrorText(int number) {
    return std::error_code(number, asio::error::get_system_category()).message();
}

}  // namespace

// The socket's system side on an input/output thread: its place in the event loop,
// its sends, receives and close. The owner's queue only opens and connects, so a busy
// owner pays for no other system call. Results go back to the owner's queue in order.
class UdpSocket::Channel : public std::enable_shared_from_this<UdpSocket::Channel> {
public:
    Channel(size_t thread, dispatch::DispatchQueue& owner, std::weak_ptr<UdpSocket> socket, int fd)
        : thread_(thread), owner_(owner), ownerSocket_(std::move(socket)), fd_(fd),
          socket_(inputOutputQueues[thread]->context()) {}

    // Each call is handed to the channel's thread.
    void attach(asio::ip::udp protocol) {
        handOver([self = shared_from_this(), protocol] {
            std::error_code error;
            self->socket_.assign(protocol, self->fd_, error);
            if (error) {
                ::close(self->fd_);
                self->closed_ = true;
                self->report([message = error.message()](UdpSocket& socket) { socket.closeWithError(message); });
            }
        });
    }

    void startReceiving() {
        handOver([self = shared_from_this()] { self->waitForDatagram(); });
    }

    void send(Datagram data, long tag) {
        handOver([self = shared_from_this(), data = std::move(data), tag] {
            const bool sent = !self->closed_ && ::send(self->fd_, data.data(), data.size(), 0) >= 0;
            const int number = self->closed_ ? ENOTCONN : errno;
            self->report([sent, number, tag](UdpSocket& socket) { socket.sendFinished(tag, sent, number); });
        });
    }

    void close() {
        handOver([self = shared_from_this()] {
            if (self->closed_) return;
            self->closed_ = true;
            std::error_code ignored;
            self->socket_.close(ignored);
        });
    }

private:
    void handOver(dispatch::Task task) { Handoff::shared().add(owner_, thread_, std::move(task)); }

    template <class Action>
    void report(Action action) {
        owner_.async([weak = ownerSocket_, action = std::move(action)] {
            if (auto socket = weak.lock()) action(*socket);
        });
    }

    void waitForDatagram() {
        if (closed_ || waiting_) return;
        waiting_ = true;
        socket_.async_wait(asio::ip::udp::socket::wait_read, [self = shared_from_this()](const std::error_code& waitError) {
            self->waiting_ = false;
            if (waitError == asio::error::operation_aborted || self->closed_) return;
            if (waitError) {
                self->report([message = waitError.message()](UdpSocket& socket) { socket.closeWithError(message); });
                return;
            }
            // One receive into the thread's buffer, then a copy of the datagram's own size.
            thread_local std::vector<std::uint8_t> buffer(kMaximumDatagram);
            const ssize_t received = ::recv(self->fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (received < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                self->report([message = systemErrorText(errno)](UdpSocket& socket) { socket.closeWithError(message); });
                return;
            }
            if (received >= 0) {
                self->report([datagram = Datagram(buffer.begin(), buffer.begin() + received)](UdpSocket& socket) {
                    socket.received(datagram);
                });
            }
            self->waitForDatagram();
        });
    }

    size_t thread_;
    dispatch::DispatchQueue& owner_;
    std::weak_ptr<UdpSocket> ownerSocket_;
    int fd_;
    asio::ip::udp::socket socket_;
    bool waiting_ = false;  // the rest is touched on the channel's thread only
    bool closed_ = false;
};

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

std::optional<std::string> UdpSocket::openConnected(const asio::ip::udp::endpoint& peer) {
    const int fd = ::socket(peer.protocol().family(), SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return systemErrorText(errno);
    if (::connect(fd, peer.data(), static_cast<socklen_t>(peer.size())) != 0) {
        const int number = errno;
        ::close(fd);
        return systemErrorText(number);
    }
    channel_ = std::make_shared<Channel>(nextInputOutputQueue(), queue_, weak_from_this(), fd);
    channel_->attach(peer.protocol());
    setPeer(peer);
    state_ = State::connected;
    return std::nullopt;
}

bool UdpSocket::connectToHost(const std::string& host, std::uint16_t port, std::string* error) {
    auto fail = [&](std::string text) {
        if (error) *error = std::move(text);
        return false;
    };
    if (state_ != State::idle) return fail("Cannot connect: socket is already connected or closed");
    std::error_code parseError;
    auto address = asio::ip::make_address(host, parseError);
    if (!parseError) {
        if (auto connectError = openConnected({address, port})) return fail(*connectError);
        return true;
    }
    if (host.empty()) return fail("Cannot connect: no host");
    // Names are resolved off the queue so that it never blocks.
    state_ = State::resolving;
    resolver_ = std::make_shared<asio::ip::udp::resolver>(queue_.context());
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    resolver_->async_resolve(host, std::to_string(port),
                             [weak, resolver = resolver_](const std::error_code& resolveError,
                                                          asio::ip::udp::resolver::results_type results) {
                                 auto self = weak.lock();
                                 if (!self || self->state_ != State::resolving) return;
                                 if (resolveError || results.empty()) {
                                     self->closeWithError(resolveError ? resolveError.message()
                                                                       : "No address for host");
                                     return;
                                 }
                                 self->connectTo(results.begin()->endpoint());
                             });
    return true;
}

void UdpSocket::connectTo(const asio::ip::udp::endpoint& peer) {
    if (auto error = openConnected(peer)) {
        closeWithError(*error);
        return;
    }
    if (receiving_) receiveNext();
    flushSends();
}

bool UdpSocket::beginReceiving(std::string* error) {
    if (state_ == State::closed || state_ == State::idle) {
        if (error) *error = "Must bind or connect socket before receiving";
        return false;
    }
    receiving_ = true;
    if (state_ == State::connected) receiveNext();
    return true;
}

void UdpSocket::sendData(Datagram data, dispatch::Duration timeout, long tag) {
    pending_.push_back({std::move(data), tag, std::chrono::steady_clock::now() + timeout});
    if (state_ == State::connected || state_ == State::closed || state_ == State::idle) {
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
                delegate->udpSocketDidNotSendDataWithTag(*this, expired.tag, "Send operation timed out");
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
    auto delegate = delegate_.lock();
    if (!delegate) return;
    if (sent)
        delegate->udpSocketDidSendDataWithTag(*this, tag);
    else
        delegate->udpSocketDidNotSendDataWithTag(*this, tag, systemErrorText(errorNumber));
}

void UdpSocket::receiveNext() {
    if (receivePending_ || state_ != State::connected) return;
    // The channel keeps receiving from now on, into its thread's buffer, so idle
    // sockets hold no buffer.
    receivePending_ = true;
    channel_->startReceiving();
}

void UdpSocket::received(const Datagram& datagram) {
    if (state_ != State::connected || !receiving_) return;
    if (auto delegate = delegate_.lock()) delegate->udpSocketDidReceiveData(*this, datagram, peerText_);
}

void UdpSocket::close() { closeWithError(std::nullopt); }

void UdpSocket::closeWithError(const std::optional<std::string>& error) {
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
    peerText_ = peer.address().to_string() + ":" + std::to_string(peer.port());
}

}  // namespace net
