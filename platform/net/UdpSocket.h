#pragma once
// Asynchronous UDP socket whose delegate callbacks run on a dispatch queue. Call its
// operations on that queue, which must outlive the socket's work in the background. A
// host name is resolved in the background; sends made meanwhile wait for the
// connection (or their time-out). The socket itself lives on one of a few socket
// workers: the operations of one task of the owner's queue are handed off in small
// batches, the last when that task ends, and the worker creates, connects, sends,
// receives and closes; its results come back in batches, told on the delegate's queue
// in order. The first sockets of each task of the main queue stay on the main queue,
// which then does that work itself. A connection that fails (no route, refused)
// closes the socket with the error, as a receive error does.

#include "dispatch/Dispatch.h"
#include "net/Result.h"

#include <asio/ip/udp.hpp>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace net {

using Datagram = std::vector<std::uint8_t>;
// Room for the largest datagram a socket can take, on every road.
inline constexpr std::size_t largestDatagram = 65536;

namespace detail {
class Channel;
}

class UdpSocket;

class UdpSocketDelegate {
public:
    virtual ~UdpSocketDelegate() = default;
    virtual void udpSocketDidSendDataWithTag(UdpSocket&, long) {}
    virtual void udpSocketDidNotSendDataWithTag(UdpSocket&, long, const Error& /*error*/) {}
    virtual void udpSocketDidReceiveData(UdpSocket&, const Datagram&, const std::string& /*fromAddress*/) {}
    // `error` is absent when the socket was closed on request.
    virtual void udpSocketDidClose(UdpSocket&, const std::optional<Error>& /*error*/) {}
};

class UdpSocket : public std::enable_shared_from_this<UdpSocket> {
public:
    static std::shared_ptr<UdpSocket> make(std::weak_ptr<UdpSocketDelegate> delegate,
                                           dispatch::DispatchQueue& delegateQueue);
    // Closes without telling the delegate.
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Fails when the socket is already connected or closed, has no host to connect to,
    // or no socket worker runs; the connection itself is made in the background.
    Result<> connectToHost(const std::string& host, std::uint16_t port);
    // Fails before a connection is asked for, and once the socket is closed.
    Result<> beginReceiving();
    void sendData(Datagram data, dispatch::Duration timeout, long tag);
    void close();

    bool isConnected() const { return state_ == State::connected; }
    bool isClosed() const { return state_ == State::closed; }
    // "address:port" of the connected peer, or "" before the connection.
    std::string connectedAddress() const;

private:
    enum class State { idle, resolving, connected, closed };
    struct PendingSend {
        Datagram data;
        long tag;
        std::chrono::steady_clock::time_point deadline;
    };

    UdpSocket(std::weak_ptr<UdpSocketDelegate> delegate, dispatch::DispatchQueue& queue);

    friend class detail::Channel;  // the socket's system side, on its worker (SocketWorkers.h)

    // Fails when no socket worker runs.
    Result<> connectTo(const asio::ip::udp::endpoint& peer);
    void sendFinished(long tag, bool sent, int errorNumber);
    void received(const Datagram& datagram);
    // The socket failed on its worker: says why, and closes with the error.
    void failed(int errorNumber);
    // Says why a socket or a datagram failed, under the network stack's name: the
    // delegate may not log the error it is told.
    void sayWhy(const Error& error) const;
    void setPeer(const asio::ip::udp::endpoint& peer);
    void flushSends();
    void receiveNext();
    void closeWithError(const std::optional<Error>& error);

    std::weak_ptr<UdpSocketDelegate> delegate_;
    dispatch::DispatchQueue& queue_;
    std::shared_ptr<detail::Channel> channel_;
    std::shared_ptr<asio::ip::udp::resolver> resolver_;
    std::optional<asio::ip::udp::endpoint> peer_;
    std::string peerText_;  // "address:port", told with every datagram
    State state_ = State::idle;
    bool receiving_ = false;
    bool receivePending_ = false;
    std::deque<PendingSend> pending_;
};

}  // namespace net
