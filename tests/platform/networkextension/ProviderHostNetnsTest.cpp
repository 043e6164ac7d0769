// The host that plays the system for a DNS proxy provider, under a burst of queries
// far faster than one datagram per wake-up could take.

#include "networkextension/ProviderHost.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Answers every query with the query itself, through the flow as a provider would.
class EchoProvider : public ne::DNSProxyProvider {
public:
    void startProxy(std::optional<foundation::Dictionary>, StartCompletion completion) override { completion(std::nullopt); }
    void stopProxy(ne::ProviderStopReason, std::function<void()> completion) override { completion(); }
    bool handleNewFlow(std::shared_ptr<ne::AppProxyFlow> flow) override {
        auto udp = std::dynamic_pointer_cast<ne::AppProxyUDPFlow>(flow);
        if (!udp) return false;
        udp->openWithLocalEndpoint(udp->localEndpoint(), [udp](std::optional<ne::FlowError> error) {
            if (error) return;
            udp->readDatagrams([udp](auto datagrams, auto endpoints, auto) {
                udp->writeDatagrams(datagrams.value_or(std::vector<ne::Datagram>{}), endpoints.value_or(ne::EndpointList{}),
                                   [](std::optional<ne::FlowError>) {});
            });
        });
        return true;
    }
};

}  // namespace

TEST(ProviderHostListener, BurstOfTenThousandQueriesIsAnsweredWhole) {
    constexpr int count = 10000;
    auto provider = std::make_shared<EchoProvider>();
    ne::ProviderHost host(provider, {"127.0.0.1", 0, "127.0.0.2"});
    std::string error;
    ASSERT_TRUE(host.listen(&error)) << error;

    const int client = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int buffer = 8 * 1024 * 1024;
    ::setsockopt(client, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    timeval wait{0, 200000};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in server{AF_INET, htons(host.udpPort()), {htonl(INADDR_LOOPBACK)}, {}};
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&server), sizeof server), 0);

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
        ASSERT_EQ(::send(client, query, sizeof query, 0), 4);
    }
    reader.join();
    ::close(client);
    EXPECT_EQ(answers, count);
}
