// Sockets, the provider host and the HTTP session's wait for connectivity, in a
// network namespace of its own where only loopback exists.

#include "dispatch/Dispatch.h"
#include "http/Session.h"
#include "net/UdpSocket.h"
#include "networkextension/ProviderHost.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {

class RecordingDelegate : public net::UdpSocketDelegate {
public:
    void udpSocketDidSendDataWithTag(net::UdpSocket&, long tag) override { sentTags.push_back(tag); }
    void udpSocketDidNotSendDataWithTag(net::UdpSocket&, long tag, const std::string&) override {
        failedTags.push_back(tag);
    }
    void udpSocketDidReceiveData(net::UdpSocket&, const net::Datagram& data, const std::string& from) override {
        received.push_back(data);
        lastFrom = from;
    }
    void udpSocketDidClose(net::UdpSocket&, const std::optional<std::string>& error) override {
        closed = true;
        closeError = error;
    }
    std::vector<long> sentTags, failedTags;
    std::vector<net::Datagram> received;
    std::string lastFrom;
    bool closed = false;
    std::optional<std::string> closeError;
};

// A UDP socket on 127.0.0.1 that answers every datagram `copies` times.
class EchoServer {
public:
    explicit EchoServer(int copies = 1) : copies_(copies) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        timeval timeout{0, 50000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        thread_ = std::thread([this] {
            while (!stopping_) {
                char buffer[2048];
                sockaddr_in peer{};
                socklen_t length = sizeof peer;
                ssize_t size = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer), &length);
                if (size < 0) continue;
                for (int i = 0; i < copies_; ++i)
                    ::sendto(fd_, buffer, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&peer), length);
            }
        });
    }
    ~EchoServer() {
        stopping_ = true;
        thread_.join();
        ::close(fd_);
    }
    std::uint16_t port = 0;

private:
    int copies_;
    int fd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

std::uint16_t closedPort() {
    EchoServer gone;
    return gone.port;  // nothing listens there once the server is gone
}

}  // namespace

TEST(UdpSocket, ConnectedSocketSendsAndReceivesEveryAnswer) {
    EchoServer server(2);
    auto delegate = std::make_shared<RecordingDelegate>();
    auto socket = net::UdpSocket::make(delegate, dispatch::DispatchQueue::main());
    std::string error;
    ASSERT_TRUE(socket->connectToHost("127.0.0.1", server.port, &error)) << error;
    ASSERT_TRUE(socket->beginReceiving(&error)) << error;
    EXPECT_FALSE(socket->connectToHost("127.0.0.1", server.port, &error));
    socket->sendData({1, 2, 3}, 2s, 123456);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return delegate->received.size() == 2; }, 2s));
    EXPECT_EQ(delegate->received[0], (net::Datagram{1, 2, 3}));
    EXPECT_EQ(delegate->sentTags, std::vector<long>{123456});
    EXPECT_EQ(delegate->lastFrom, "127.0.0.1:" + std::to_string(server.port));
    socket->close();
    EXPECT_TRUE(delegate->closed);
    EXPECT_FALSE(delegate->closeError);
}

TEST(UdpSocket, HostNamesResolveInTheBackgroundAndRefusalClosesTheSocket) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto socket = net::UdpSocket::make(delegate, dispatch::DispatchQueue::main());
    EXPECT_FALSE(socket->beginReceiving());  // not connected yet
    ASSERT_TRUE(socket->connectToHost("localhost", closedPort()));
    ASSERT_TRUE(socket->beginReceiving());
    socket->sendData({9}, 2s, 100001);  // waits for the name
    ASSERT_TRUE(dispatch::runMainUntil([&] { return delegate->closed; }, 3s));
    EXPECT_EQ(delegate->sentTags, std::vector<long>{100001});
    ASSERT_TRUE(delegate->closeError);
    EXPECT_NE(delegate->closeError->find("refused"), std::string::npos) << *delegate->closeError;
}

TEST(UdpSocket, DestroyedSocketTellsNobody) {
    EchoServer server;
    auto delegate = std::make_shared<RecordingDelegate>();
    {
        auto socket = net::UdpSocket::make(delegate, dispatch::DispatchQueue::main());
        socket->connectToHost("127.0.0.1", server.port);
        socket->beginReceiving();
        socket->sendData({1}, 2s, 100000);
    }
    dispatch::runMainFor(100ms);
    EXPECT_TRUE(delegate->received.empty());
    EXPECT_FALSE(delegate->closed);
}

namespace {

// Answers each UDP flow with its datagram reversed and declines TCP.
class ReversingProvider : public ne::DNSProxyProvider {
public:
    void startProxy(std::optional<foundation::Dictionary>, StartCompletion completion) override { completion(std::nullopt); }
    void stopProxy(ne::ProviderStopReason, std::function<void()> completion) override { completion(); }
    bool handleNewFlow(std::shared_ptr<ne::AppProxyFlow> flow) override {
        auto udp = std::dynamic_pointer_cast<ne::AppProxyUDPFlow>(flow);
        if (!udp) {
            ++declined;
            return false;
        }
        udp->openWithLocalEndpoint(udp->localEndpoint(), [udp, this](std::optional<ne::FlowError> error) {
            if (error) return;
            udp->readDatagrams([udp, this](auto datagrams, auto endpoints, auto) {
                {
                    std::lock_guard lock(mutex);
                    endpoint = endpoints && !endpoints->empty() ? endpoints->front()->description() : "";
                }
                auto answer = datagrams->front();
                std::reverse(answer.begin(), answer.end());
                udp->writeDatagrams({answer}, *endpoints, [](auto) {});
            });
        });
        return true;
    }
    std::atomic<int> declined{0};
    std::mutex mutex;
    std::string endpoint;
};

}  // namespace

TEST(ProviderHost, UdpDatagramsBecomeFlowsAndTcpConnectionsAreClosedWhenDeclined) {
    auto provider = std::make_shared<ReversingProvider>();
    ne::ProviderHost host(provider, {"127.0.0.1", 0, "127.0.0.53"});
    std::string error;
    ASSERT_TRUE(host.listen(&error)) << error;
    ASSERT_NE(host.udpPort(), 0);
    EXPECT_EQ(host.tcpPort(), host.udpPort());

    int client = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    timeval timeout{2, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(host.udpPort());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char query[] = {1, 2, 3};
    ::sendto(client, query, 3, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    char answer[16] = {};
    ASSERT_EQ(::recv(client, answer, sizeof answer, 0), 3);
    EXPECT_EQ(std::string(answer, 3), std::string("\3\2\1", 3));
    ::close(client);
    {
        std::lock_guard lock(provider->mutex);
        EXPECT_EQ(provider->endpoint, "127.0.0.53:53");
    }

    int tcp = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::setsockopt(tcp, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ASSERT_EQ(::connect(tcp, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::recv(tcp, answer, sizeof answer, 0), 0);  // closed by the host
    ::close(tcp);
    EXPECT_EQ(provider->declined, 1);
}

TEST(HttpSession, WaitsForConnectivityUntilTheResourceTimeout) {
    // Nothing but loopback exists here, so this address is unreachable.
    const std::string offline = "http://10.255.0.1/";
    std::optional<http::DataResponse> waited, immediate;
    http::SessionConfiguration waiting;
    waiting.timeoutIntervalForResource = 600ms;
    waiting.waitsForConnectivity = true;
    http::Session waitingSession(waiting);
    http::SessionConfiguration failing = waiting;
    failing.waitsForConnectivity = false;
    http::Session failingSession(failing);

    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration waitedFor{}, failedAfter{};
    waitingSession.request(offline)->responseData([&](const http::DataResponse& r) {
        waited = r;
        waitedFor = std::chrono::steady_clock::now() - start;
    });
    failingSession.request(offline)->responseData([&](const http::DataResponse& r) {
        immediate = r;
        failedAfter = std::chrono::steady_clock::now() - start;
    });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return waited && immediate; }, 5s));
    ASSERT_TRUE(immediate->error);
    EXPECT_EQ(immediate->error->code, http::Error::Code::notConnectedToInternet);
    EXPECT_LT(failedAfter, 300ms);
    ASSERT_TRUE(waited->error);
    EXPECT_GE(waitedFor, 500ms);
    EXPECT_LT(waitedFor, 2s);
}
