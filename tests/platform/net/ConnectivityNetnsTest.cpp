// The UDP socket and the HTTP session's wait for connectivity, in a
// network namespace of its own where only loopback exists.

#include "dispatch/Dispatch.h"
#include "http/Session.h"
#include "net/UdpSocket.h"
#include "../../integration/UdpAnswerServer.h"

#include <gtest/gtest.h>
#include <optional>

using namespace std::chrono_literals;

namespace {

class RecordingDelegate : public net::UdpSocketDelegate {
public:
    void udpSocketDidSendDataWithTag(net::UdpSocket&, long tag) override { sentTags.push_back(tag); }
    void udpSocketDidNotSendDataWithTag(net::UdpSocket&, long tag, const net::Error&) override {
        failedTags.push_back(tag);
    }
    void udpSocketDidReceiveData(net::UdpSocket&, const net::Datagram& data, const std::string& from) override {
        received.push_back(data);
        lastFrom = from;
    }
    void udpSocketDidClose(net::UdpSocket&, const std::optional<net::Error>& error) override {
        closed = true;
        closeError = error;
    }
    std::vector<long> sentTags, failedTags;
    std::vector<net::Datagram> received;
    std::string lastFrom;
    bool closed = false;
    std::optional<net::Error> closeError;
};

std::uint16_t closedPort() {
    UdpAnswerServer gone(0);
    return gone.port();  // nothing listens there once the server is gone
}

}  // namespace

TEST(UdpSocket, ConnectedSocketSendsAndReceivesEveryAnswer) {
    UdpAnswerServer server(0, 2);
    auto delegate = std::make_shared<RecordingDelegate>();
    auto socket = net::UdpSocket::make(delegate, dispatch::DispatchQueue::main());
    auto connected = socket->connectToHost("127.0.0.1", server.port());
    ASSERT_TRUE(connected) << connected.error().reason;
    auto receiving = socket->beginReceiving();
    ASSERT_TRUE(receiving) << receiving.error().reason;
    EXPECT_FALSE(socket->connectToHost("127.0.0.1", server.port()));
    socket->sendData({1, 2, 3, 4}, 2s, 123456);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return delegate->received.size() == 2; }, 2s));
    EXPECT_EQ(delegate->received[0], UdpAnswerServer::answerTo({1, 2, 3, 4}, 0));
    EXPECT_EQ(delegate->sentTags, std::vector<long>{123456});
    EXPECT_EQ(delegate->lastFrom, "127.0.0.1:" + std::to_string(server.port()));
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
    EXPECT_NE(delegate->closeError->reason.find("refused"), std::string::npos) << delegate->closeError->reason;
}

// A 600 ms resource time-out, with or without waiting for connectivity.
http::SessionConfiguration offlineConfiguration(bool waitsForConnectivity) {
    http::SessionConfiguration configuration;
    configuration.timeoutIntervalForResource = 600ms;
    configuration.waitsForConnectivity = waitsForConnectivity;
    return configuration;
}

TEST(HttpSession, WaitsForConnectivityUntilTheResourceTimeout) {
    // Nothing but loopback exists here, so this address is unreachable.
    const std::string offline = "http://10.255.0.1/";
    std::optional<http::DataResponse> waited, immediate;
    http::Session waitingSession(offlineConfiguration(true));
    http::Session failingSession(offlineConfiguration(false));

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
    EXPECT_LT(failedAfter, waitedFor);  // at once, not at its time-out (the code above tells which)
    // It waits for the way out until its whole time-out has passed.
    ASSERT_TRUE(waited->error);
    EXPECT_EQ(waited->error->code, http::Error::Code::timedOut);
    EXPECT_GE(waitedFor, 600ms);
    EXPECT_LT(waitedFor, 2s);
}

TEST(HttpSession, Http2RequestsWaitForConnectivityUntilTheResourceTimeout) {
    // The same over HTTPS, which goes over HTTP/2: the waiting request times out.
    const std::string offline = "https://10.255.0.1/dns-query";
    std::optional<http::DataResponse> waited, immediate;
    http::Session waitingSession(offlineConfiguration(true));
    http::Session failingSession(offlineConfiguration(false));

    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration waitedFor{};
    waitingSession.upload({1, 2}, offline)->responseData([&](const http::DataResponse& r) {
        waited = r;
        waitedFor = std::chrono::steady_clock::now() - start;
    });
    failingSession.upload({1, 2}, offline)->responseData([&](const http::DataResponse& r) { immediate = r; });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return waited && immediate; }, 5s));
    ASSERT_TRUE(immediate->error);
    EXPECT_EQ(immediate->error->code, http::Error::Code::notConnectedToInternet);
    ASSERT_TRUE(waited->error);
    EXPECT_EQ(waited->error->code, http::Error::Code::timedOut);
    EXPECT_GE(waitedFor, 500ms);
    EXPECT_GE(waitingSession.connectionsOpened(), 2u);  // tried again meanwhile
}
