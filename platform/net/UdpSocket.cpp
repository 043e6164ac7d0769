#include "net/UdpSocket.h"

#include <asio/ip/address.hpp>

#include <sys/socket.h>

#include <cerrno>

namespace net {

namespace {
constexpr size_t kMaximumDatagram = 65536;
}

std::shared_ptr<UdpSocket> UdpSocket::make(std::weak_ptr<UdpSocketDelegate> delegate,
                                           dispatch::DispatchQueue& delegateQueue) {
    return std::shared_ptr<UdpSocket>(new UdpSocket(std::move(delegate), delegateQueue));
}

UdpSocket::UdpSocket(std::weak_ptr<UdpSocketDelegate> delegate, dispatch::DispatchQueue& queue)
    : delegate_(std::move(delegate)), queue_(queue), socket_(queue.context()) {}

UdpSocket::~UdpSocket() {
    if (resolver_) resolver_->cancel();
    std::error_code ignored;
    socket_.close(ignored);
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
        std::error_code connectError;
        socket_.open(address.is_v4() ? asio::ip::udp::v4() : asio::ip::udp::v6(), connectError);
        if (!connectError) socket_.connect({address, port}, connectError);
        if (connectError) {
            socket_.close(parseError);
            return fail(connectError.message());
        }
        setPeer(asio::ip::udp::endpoint(address, port));
        state_ = State::connected;
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
    std::error_code error;
    socket_.open(peer.protocol(), error);
    if (!error) socket_.connect(peer, error);
    if (error) {
        closeWithError(error.message());
        return;
    }
    setPeer(peer);
    state_ = State::connected;
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
        std::error_code error;
        if (state_ != State::connected) {
            error = asio::error::not_connected;
        } else {
            socket_.send(asio::buffer(current.data), 0, error);
        }
        auto delegate = delegate_.lock();
        if (!delegate) continue;
        if (error)
            delegate->udpSocketDidNotSendDataWithTag(*this, current.tag, error.message());
        else
            delegate->udpSocketDidSendDataWithTag(*this, current.tag);
    }
}

void UdpSocket::receiveNext() {
    if (receivePending_ || state_ != State::connected) return;
    receivePending_ = true;
    // Wait first and size the buffer to the datagram, so idle sockets hold no buffer.
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    socket_.async_wait(asio::ip::udp::socket::wait_read, [weak](const std::error_code& waitError) {
        auto self = weak.lock();
        if (!self) return;
        self->receivePending_ = false;
        if (waitError == asio::error::operation_aborted || self->state_ != State::connected) return;
        std::error_code error = waitError;
        // One receive into a buffer shared by the queue's sockets, then a copy of the
        // datagram's own size: no system call to ask for the size first.
        thread_local std::vector<std::uint8_t> buffer(kMaximumDatagram);
        size_t size = 0;
        if (!error) {
            const ssize_t received = ::recv(self->socket_.native_handle(), buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (received < 0) error = std::error_code(errno, asio::error::get_system_category());
            size = received < 0 ? 0 : static_cast<size_t>(received);
        }
        if (error == asio::error::would_block || error == asio::error::try_again) {
            self->receiveNext();
            return;
        }
        if (error) {
            self->closeWithError(error.message());
            return;
        }
        const Datagram datagram(buffer.begin(), buffer.begin() + static_cast<long>(size));
        if (auto delegate = self->delegate_.lock())
            delegate->udpSocketDidReceiveData(*self, datagram, self->peerText_);
        if (self->receiving_) self->receiveNext();
    });
}

void UdpSocket::close() { closeWithError(std::nullopt); }

void UdpSocket::closeWithError(const std::optional<std::string>& error) {
    if (state_ == State::closed) return;
    state_ = State::closed;
    if (resolver_) resolver_->cancel();
    std::error_code ignored;
    socket_.close(ignored);
    flushSends();  // pending sends fail as not connected
    if (auto delegate = delegate_.lock()) delegate->udpSocketDidClose(*this, error);
}

std::string UdpSocket::connectedAddress() const { return peerText_; }

void UdpSocket::setPeer(const asio::ip::udp::endpoint& peer) {
    peer_ = peer;
    peerText_ = peer.address().to_string() + ":" + std::to_string(peer.port());
}

}  // namespace net
