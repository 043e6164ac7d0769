// UDP sockets whose input and output run on threads of their own: every result is
// told on the owner's queue, to the right socket, and never after the socket is gone.

#include "dispatch/Dispatch.h"
#include "net/UdpSocket.h"
#include "../../integration/UdpAnswerServer.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

namespace {

class CountingDelegate : public net::UdpSocketDelegate {
public:
    void udpSocketDidSendDataWithTag(net::UdpSocket&, long) override {
        offQueue += !dispatch::DispatchQueue::main().isCurrent();
        ++sent;
    }
    void udpSocketDidReceiveData(net::UdpSocket&, const net::Datagram& data, const std::string&) override {
        offQueue += !dispatch::DispatchQueue::main().isCurrent();
        // The send is told before its answer.
        answeredBeforeSent += sent == 0;
        received.push_back(data);
    }
    void udpSocketDidClose(net::UdpSocket&, const std::optional<std::string>& error) override {
        ++closed;
        closeError = error.value_or("");
    }

    int sent = 0;
    int closed = 0;
    int offQueue = 0;
    int answeredBeforeSent = 0;
    std::string closeError;
    std::vector<net::Datagram> received;
};

net::Datagram query(int number) {
    return {static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number), 0x01, 0x00, 0x00};
}

}  // namespace

TEST(UdpSocketChannel, ManySocketsEachGetTheirOwnAnswersOnTheOwnersQueue) {
    UdpAnswerServer server(0);
    constexpr int count = 200;
    std::vector<std::shared_ptr<CountingDelegate>> delegates;
    std::vector<std::shared_ptr<net::UdpSocket>> sockets;
    for (int i = 0; i < count; ++i) {
        delegates.push_back(std::make_shared<CountingDelegate>());
        sockets.push_back(net::UdpSocket::make(delegates.back(), dispatch::DispatchQueue::main()));
        ASSERT_TRUE(sockets.back()->connectToHost("127.0.0.1", server.port()));
        ASSERT_TRUE(sockets.back()->beginReceiving());
        sockets.back()->sendData(query(i), 2s, 100000 + i);
    }
    auto allAnswered = [&] {
        for (const auto& delegate : delegates)
            if (delegate->received.empty()) return false;
        return true;
    };
    ASSERT_TRUE(dispatch::runMainUntil(allAnswered, 5s));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(delegates[i]->received, std::vector<net::Datagram>{UdpAnswerServer::answerTo(query(i), 0)});
        EXPECT_EQ(delegates[i]->sent, 1);
        EXPECT_EQ(delegates[i]->offQueue, 0);
        EXPECT_EQ(delegates[i]->answeredBeforeSent, 0);
    }
}

TEST(UdpSocketChannel, ClosedOrDroppedSocketsTellNothingMore) {
    UdpAnswerServer server(0, 1, 50ms);
    auto closedDelegate = std::make_shared<CountingDelegate>();
    auto droppedDelegate = std::make_shared<CountingDelegate>();
    auto closing = net::UdpSocket::make(closedDelegate, dispatch::DispatchQueue::main());
    auto dropped = net::UdpSocket::make(droppedDelegate, dispatch::DispatchQueue::main());
    for (auto* socket : {&closing, &dropped}) {
        ASSERT_TRUE((*socket)->connectToHost("127.0.0.1", server.port()));
        ASSERT_TRUE((*socket)->beginReceiving());
        (*socket)->sendData(query(7), 2s, 123456);
    }
    closing->close();
    dropped.reset();
    // The answers come after 50 ms; give them time to arrive and be dropped.
    ASSERT_TRUE(dispatch::runMainUntil([&] { return server.queries().size() == 2; }, 2s));
    dispatch::runMainFor(150ms);
    EXPECT_EQ(closedDelegate->closed, 1);
    EXPECT_TRUE(closedDelegate->received.empty());
    EXPECT_TRUE(droppedDelegate->received.empty());
    EXPECT_EQ(droppedDelegate->closed, 0);
    EXPECT_FALSE(closing->connectToHost("127.0.0.1", server.port()));
}

TEST(UdpSocketChannel, UnreachableAddressClosesTheSocketWithTheError) {
    // Only loopback exists in the test's namespace, so no route leads there.
    auto delegate = std::make_shared<CountingDelegate>();
    auto socket = net::UdpSocket::make(delegate, dispatch::DispatchQueue::main());
    ASSERT_TRUE(socket->connectToHost("192.0.2.1", 53));
    ASSERT_TRUE(socket->beginReceiving());
    socket->sendData(query(1), 2s, 100001);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return delegate->closed == 1; }, 2s));
    EXPECT_NE(delegate->closeError.find("unreachable"), std::string::npos) << delegate->closeError;
    EXPECT_EQ(delegate->sent, 0);
    EXPECT_TRUE(socket->isClosed());
}
