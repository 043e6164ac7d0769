// The host that plays the system for a DNS proxy provider, under a burst of queries
// far faster than one datagram per wake-up could take.

#include "networkextension/DeviceResolver.h"
#include "networkextension/ProviderHost.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Answers every query with the query itself, through the flow as a provider would:
// from the host's own queue, or, like the real provider, from a queue of its own.
class EchoProvider : public ne::DNSProxyProviderBase {
public:
    explicit EchoProvider(dispatch::DispatchQueue* writer = nullptr) : writer_(writer) {}
    std::atomic<int> completions{0}, failures{0};

    void startProxy(std::optional<foundation::Dictionary>, StartCompletion completion) override { completion(std::nullopt); }
    void stopProxy(ne::ProviderStopReason, std::function<void()> completion) override { completion(); }
    bool handleNewFlow(std::shared_ptr<ne::AppProxyFlow> flow) override {
        auto udp = std::dynamic_pointer_cast<ne::AppProxyUDPFlow>(flow);
        if (!udp) return false;
        udp->openWithLocalEndpoint(udp->localEndpoint(), [this, udp](std::optional<ne::FlowError> error) {
            if (error) return;
            udp->readDatagrams([this, udp](auto datagrams, auto endpoints, auto) {
                auto write = [this, udp, datagrams = datagrams.value_or(std::vector<ne::Datagram>{}),
                              endpoints = endpoints.value_or(ne::EndpointList{})] {
                    udp->writeDatagrams(datagrams, endpoints, [this](std::optional<ne::FlowError> error) {
                        ++(error ? failures : completions);
                    });
                };
                if (writer_)
                    writer_->async(std::move(write));
                else
                    write();
            });
        });
        return true;
    }

private:
    dispatch::DispatchQueue* writer_;
};

// Flows go to a provider only once it has started.
void start(ne::ProviderHost& host) { host.startProvider(std::nullopt, [](auto) {}); }

// Sends `count` numbered queries at once to `address` and returns how many distinct
// ones were answered. The client's socket is connected, so it takes answers only from
// the address the queries were sent to.
int answeredOfBurst(ne::ProviderHost& host, int count, const std::string& address = "127.0.0.1") {
    sockaddr_storage server{};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&server);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&server);
    socklen_t length = sizeof *v4;
    if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(host.udpPort());
    } else if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(host.udpPort());
        length = sizeof *v6;
    }
    const int client = ::socket(server.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int buffer = 8 * 1024 * 1024;
    ::setsockopt(client, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    timeval wait{0, 200000};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::connect(client, reinterpret_cast<sockaddr*>(&server), length) != 0) return 0;

    std::vector<std::atomic<bool>> answered(count);
    std::atomic<int> answers{0};
    std::thread reader([&] {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        std::uint8_t answer[512];
        while (answers < count && std::chrono::steady_clock::now() < deadline) {
            if (::recv(client, answer, sizeof answer, 0) != 4) continue;
            const int number = answer[0] << 24 | answer[1] << 16 | answer[2] << 8 | answer[3];
            if (number >= 0 && number < count && !answered[number].exchange(true)) ++answers;
        }
    });
    for (int number = 0; number < count; ++number) {
        const std::uint8_t query[4] = {static_cast<std::uint8_t>(number >> 24), static_cast<std::uint8_t>(number >> 16),
                                       static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)};
        if (::send(client, query, sizeof query, 0) != 4) break;
    }
    reader.join();
    ::close(client);
    return answers;
}

}  // namespace

TEST(ProviderHostListener, BurstOfTenThousandQueriesIsAnsweredWhole) {
    auto provider = std::make_shared<EchoProvider>();
    ne::ProviderHost host(provider, {"127.0.0.1", 0, "127.0.0.2"});
    auto listening = host.listen();
    ASSERT_TRUE(listening) << listening.error().reason;
    start(host);
    EXPECT_EQ(answeredOfBurst(host, 10000), 10000);
}

// A wildcard listener answers each query from the address it was sent to, also when
// queries to several addresses share its batches.
TEST(ProviderHostListener, WildcardListenerAnswersFromEachQueriedAddress) {
    ASSERT_EQ(std::system("ip address add fd00::22/128 dev lo nodad"), 0);
    for (const std::string wildcard : {"0.0.0.0", "::"}) {
        auto provider = std::make_shared<EchoProvider>();
        ne::ProviderHost host(provider, {wildcard, 0, "127.0.0.2"});
        auto listening = host.listen();
        ASSERT_TRUE(listening) << listening.error().reason;
        start(host);
        std::vector<std::string> addresses{"127.0.0.1", "127.0.0.22"};
        if (wildcard == "::") addresses.insert(addresses.end(), {"::1", "fd00::22"});
        std::vector<int> answered(addresses.size());
        std::vector<std::thread> clients;
        for (size_t i = 0; i < addresses.size(); ++i)
            clients.emplace_back([&, i] { answered[i] = answeredOfBurst(host, 2000, addresses[i]); });
        for (auto& client : clients) client.join();
        for (size_t i = 0; i < addresses.size(); ++i)
            EXPECT_EQ(answered[i], 2000) << "listening on " << wildcard << ", queried at " << addresses[i];
    }
}

namespace {

// True when the client's query is answered within 2 s.
bool answeredFrom(int client) {
    timeval wait{2, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    std::uint8_t answer[16];
    return ::send(client, "ping", 4, 0) == 4 && ::recv(client, answer, sizeof answer, 0) == 4;
}

sockaddr_storage socketAddress(const std::string& address, std::uint16_t port) {
    sockaddr_storage result{};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&result);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&result);
    if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
    } else if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
    }
    return result;
}

// A socket bound to `source` and connected to `server`, or -1.
int connectedClient(const std::string& source, const std::string& server, std::uint16_t port) {
    auto from = socketAddress(source, 0), to = socketAddress(server, port);
    const socklen_t length = from.ss_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    const int client = ::socket(from.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (::bind(client, reinterpret_cast<sockaddr*>(&from), length) != 0 ||
        ::connect(client, reinterpret_cast<sockaddr*>(&to), length) != 0) {
        ::close(client);
        return -1;
    }
    return client;
}

}  // namespace

// On a wildcard listener, a query that came in over one link is answered over the
// route back to its client, which here leaves over another link, as on a host with
// asymmetric routes: the query's link is not forced on the answer.
TEST(ProviderHostListener, WildcardListenerAnswersOverTheRouteBackNotTheQuerysLink) {
    auto provider = std::make_shared<EchoProvider>();
    ne::ProviderHost host(provider, {"::", 0, "127.0.0.2"});
    auto listening = host.listen();
    ASSERT_TRUE(listening) << listening.error().reason;
    start(host);
    for (const char* setting : {"all", "default"})
        std::ofstream(std::string("/proc/sys/net/ipv4/conf/") + setting + "/rp_filter") << 0;

    // The clients' namespace: queries leave over q1 (to q0 here), answers come in over r1
    // (from r0 here). q1 answers no address resolution, so nothing sent to q0's link
    // reaches the clients.
    const std::string clientSide =
        "ip link set lo up && ip address add fd00:2::2/128 dev lo nodad && ip address add 10.2.0.2/32 dev lo && "
        "ip link add q1 address 02:00:00:00:00:02 type veth peer name q0 address 02:00:00:00:00:01 netns " +
        std::to_string(::getpid()) +
        " && ip link add r1 address 02:00:00:00:00:04 type veth peer name r0 address 02:00:00:00:00:03 netns " +
        std::to_string(::getpid()) +
        " && ip link set q1 up arp off && ip link set r1 up"
        " && ip route add fd00:1::1/128 dev q1 src fd00:2::2 && ip route add 10.1.0.1/32 dev q1 src 10.2.0.2"
        " && ip neighbour add fd00:1::1 lladdr 02:00:00:00:00:01 dev q1"
        " && ip neighbour add 10.1.0.1 lladdr 02:00:00:00:00:01 dev q1";
    auto madeClients = std::async(std::launch::async, [&]() -> std::vector<int> {
        // This thread alone moves to a new namespace; what it starts and makes stays there.
        if (::unshare(CLONE_NEWNET) != 0 || std::system(clientSide.c_str()) != 0) return {};
        return {connectedClient("fd00:2::2", "fd00:1::1", host.udpPort()),
                connectedClient("10.2.0.2", "10.1.0.1", host.udpPort())};
    });
    const auto clients = madeClients.get();
    ASSERT_EQ(clients.size(), 2u);
    ASSERT_EQ(std::system("ip address add fd00:1::1/128 dev q0 nodad && ip address add 10.1.0.1/32 dev q0"
                          " && ip link set q0 up && ip link set r0 up"
                          " && ip route add fd00:2::2/128 dev r0 && ip route add 10.2.0.2/32 dev r0"
                          " && ip neighbour add fd00:2::2 lladdr 02:00:00:00:00:04 dev r0"
                          " && ip neighbour add 10.2.0.2 lladdr 02:00:00:00:00:04 dev r0"),
              0);
    for (size_t i = 0; i < clients.size(); ++i) {
        ASSERT_GE(clients[i], 0);
        EXPECT_TRUE(answeredFrom(clients[i])) << (i == 0 ? "IPv6 query" : "IPv4 query, as a mapped address");
        ::close(clients[i]);
    }
}

// Answers written on another queue come alone or many at a time; both are sent, and
// each write's completion is told once.
TEST(ProviderHostListener, BurstAnsweredFromAnotherQueueIsAnsweredWhole) {
    dispatch::DispatchQueue writer("writer");
    auto provider = std::make_shared<EchoProvider>(&writer);
    ne::ProviderHost host(provider, {"127.0.0.1", 0, "127.0.0.2"});
    auto listening = host.listen();
    ASSERT_TRUE(listening) << listening.error().reason;
    start(host);
    EXPECT_EQ(answeredOfBurst(host, 10000), 10000);
    // A lone answer, when the writer has nothing else to send.
    EXPECT_EQ(answeredOfBurst(host, 1), 1);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (provider->completions < 10001 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(provider->completions, 10001);
    EXPECT_EQ(provider->failures, 0);
}

// The extension's host process listens on the main queue, where the provider works: a
// burst is answered whole from there, and the host is let go on that queue.
TEST(ProviderHostListener, HostOnTheMainQueueAnswersABurstWholeAndLetsItsPortGo) {
    auto provider = std::make_shared<EchoProvider>();
    ne::ProviderHostOptions options{"127.0.0.1", 0, "127.0.0.2"};
    options.queue = &dispatch::DispatchQueue::main();
    auto host = std::make_unique<ne::ProviderHost>(provider, options);
    auto listening = host->listen();
    ASSERT_TRUE(listening) << listening.error().reason;
    start(*host);
    auto answered = std::async(std::launch::async, [&] { return answeredOfBurst(*host, 10000); });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return answered.wait_for(0s) == std::future_status::ready; }, 15s));
    EXPECT_EQ(answered.get(), 10000);
    EXPECT_TRUE(dispatch::runMainUntil([&] { return provider->completions == 10000; }, 2s));
    EXPECT_EQ(provider->failures, 0);

    const auto port = host->udpPort();
    dispatch::DispatchQueue::main().async([&] { host.reset(); });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return !host; }, 2s));
    ne::ProviderHost again(provider, {"127.0.0.1", port, "127.0.0.2"});
    listening = again.listen();
    EXPECT_TRUE(listening) << listening.error().reason;
}

namespace {

// Takes every flow and hands it to the test.
class KeepingProvider : public ne::DNSProxyProviderBase {
public:
    void startProxy(std::optional<foundation::Dictionary>, StartCompletion completion) override { completion(std::nullopt); }
    void stopProxy(ne::ProviderStopReason, std::function<void()> completion) override { completion(); }
    bool handleNewFlow(std::shared_ptr<ne::AppProxyFlow> flow) override {
        if (auto udp = std::dynamic_pointer_cast<ne::AppProxyUDPFlow>(flow)) flows.set_value(udp);
        return true;
    }
    std::promise<std::shared_ptr<ne::AppProxyUDPFlow>> flows;
};

// The code a completion was given (0 for none), told through a future.
struct Outcome {
    std::promise<int> code;
    ne::AppProxyFlow::Completion completion() {
        return [this](std::optional<ne::FlowError> error) { code.set_value(error ? error->code : 0); };
    }
    int get() {
        auto future = code.get_future();
        return future.wait_for(5s) == std::future_status::ready ? future.get() : -1;
    }
};

}  // namespace

// Each failure has its own code, apart from the system's error numbers; a flow that
// outlives its host fails at once, without the host's queue.
TEST(ProviderHostFlows, FailuresCarryTheirNamedCodes) {
    auto provider = std::make_shared<KeepingProvider>();
    auto host = std::make_unique<ne::ProviderHost>(provider, ne::ProviderHostOptions{"127.0.0.1", 0, "127.0.0.2"});
    auto listening = host->listen();
    ASSERT_TRUE(listening) << listening.error().reason;
    start(*host);
    const int client = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in server{AF_INET, htons(host->udpPort()), {htonl(INADDR_LOOPBACK)}, {}};
    ASSERT_EQ(::sendto(client, "q", 1, 0, reinterpret_cast<sockaddr*>(&server), sizeof server), 1);
    ::close(client);
    auto flows = provider->flows.get_future();
    ASSERT_EQ(flows.wait_for(5s), std::future_status::ready);
    auto flow = flows.get();

    Outcome unopenedWrite, open, reopen, tooLarge;
    flow->writeDatagrams({{1}}, {}, unopenedWrite.completion());
    EXPECT_EQ(unopenedWrite.get(), ne::flowErrorNotOpen);
    flow->openWithLocalEndpoint(nullptr, open.completion());
    EXPECT_EQ(open.get(), 0);
    flow->openWithLocalEndpoint(nullptr, reopen.completion());
    EXPECT_EQ(reopen.get(), ne::flowErrorAlreadyOpen);
    // More than a UDP datagram can carry: the system refuses it with EMSGSIZE.
    flow->writeDatagrams({ne::Datagram(70000)}, {}, tooLarge.completion());
    EXPECT_EQ(tooLarge.get(), ne::flowErrorSendFailed);

    host.reset();
    Outcome openAfter, readAfter, writeAfter;
    flow->openWithLocalEndpoint(nullptr, openAfter.completion());
    flow->readDatagrams([&](auto, auto, std::optional<ne::FlowError> error) {
        readAfter.code.set_value(error ? error->code : 0);
    });
    flow->writeDatagrams({{1}}, {}, writeAfter.completion());
    EXPECT_EQ(openAfter.get(), ne::flowErrorClosed);
    EXPECT_EQ(readAfter.get(), ne::flowErrorClosed);
    EXPECT_EQ(writeAfter.get(), ne::flowErrorClosed);
}

// With no provider running, a datagram that reaches a query's socket before the
// resolver's answer and does not answer it (another ID, another question) is passed
// over: each client gets the resolver's answer, its name in another case or not.
TEST(DeviceRoad, DatagramsThatDoNotAnswerTheQueryLeaveItWaitingForTheAnswer) {
    const int resolver = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, htons(53), {htonl(INADDR_LOOPBACK)}, {}};
    ASSERT_EQ(::bind(resolver, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    timeval wait{0, 100000};
    ::setsockopt(resolver, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    std::atomic<bool> stop{false};
    std::thread forger([&] {
        std::uint8_t buffer[512];
        while (!stop) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t size = ::recvfrom(resolver, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (size < 17) continue;
            ne::Datagram answer(buffer, buffer + size);
            answer[2] |= 0x80;
            auto otherId = answer, otherQuestion = answer, upperCase = answer;
            otherId[1] ^= 0xff;
            otherQuestion[13] ^= 0x01;
            for (std::size_t i = 13; i < upperCase.size() - 5; ++i)
                if (upperCase[i] >= 'a' && upperCase[i] <= 'z') upperCase[i] -= 'a' - 'A';
            for (const auto* reply : {&otherId, &otherQuestion, &upperCase})
                ::sendto(resolver, reply->data(), reply->size(), 0, reinterpret_cast<sockaddr*>(&from), length);
        }
    });

    ne::DeviceResolver device(dispatch::DispatchQueue::main(), "127.0.0.1", ne::hostLogger());
    constexpr int kClients = 20;
    std::vector<std::optional<ne::Datagram>> answers(kClients);
    int answered = 0;
    for (int client = 0; client < kClients; ++client) {
        // A query for "name.test" of type A, class IN, with the client's ID.
        ne::Datagram query = {0, static_cast<std::uint8_t>(client), 1, 0, 0, 1, 0, 0, 0, 0, 0, 0,
                              4, 'n', 'a', 'm', 'e', 4, 't', 'e', 's', 't', 0, 0, 1, 0, 1};
        device.resolve(query, [&, client](ne::Datagram answer) {
            answers[client] = std::move(answer);
            ++answered;
        });
    }
    dispatch::runMainUntil([&] { return answered == kClients; }, 10s);
    stop = true;
    forger.join();
    ::close(resolver);
    ASSERT_EQ(answered, kClients);
    for (int client = 0; client < kClients; ++client) {
        EXPECT_EQ((*answers[client])[1], client);
        EXPECT_EQ((*answers[client])[13], 'N') << "client " << client << " took a datagram that did not answer it";
    }
}
