#pragma once
// Passes one DNS query through to a DNS server over UDP and writes every datagram
// that comes back to the query's flow. Lives on the main queue.

#include "net/AnswerWaits.h"
#include "net/UdpSocket.h"
#include "networkextension/Flow.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

class SystemResolver : public net::UdpSocketDelegate,
                       public net::AnswerWaits::Waiter,
                       public std::enable_shared_from_this<SystemResolver> {
public:
    static constexpr std::uint16_t port = net::dnsPort;
    static constexpr std::chrono::milliseconds sendTimeout{2000};
    // How long a resolver keeps itself alive for its first answer, whoever else holds it.
    static constexpr std::chrono::milliseconds firstAnswerWait = net::answerWait;

    SystemResolver() = delete;
    ~SystemResolver() override;
    // Creates the resolver and its socket; call on the main queue.
    static std::shared_ptr<SystemResolver> make(ne::Datagram data, std::optional<ne::EndpointList> endpoints,
                                                std::shared_ptr<ne::AppProxyUDPFlow> flow,
                                                std::optional<std::string> fallbackServer);

    const std::shared_ptr<net::UdpSocket>& passthroughSocket() const { return passthroughSocket_; }
    void setPassthroughSocket(std::shared_ptr<net::UdpSocket> socket) { passthroughSocket_ = std::move(socket); }
    const std::optional<ne::Datagram>& data() const { return data_; }
    void setData(std::optional<ne::Datagram> data) { data_ = std::move(data); }
    const std::optional<ne::EndpointList>& endpoints() const { return endpoints_; }
    void setEndpoints(std::optional<ne::EndpointList> endpoints) { endpoints_ = std::move(endpoints); }
    const std::shared_ptr<ne::AppProxyUDPFlow>& flow() const { return flow_; }
    void setFlow(std::shared_ptr<ne::AppProxyUDPFlow> flow) { flow_ = std::move(flow); }
    const std::optional<std::string>& fallbackServer() const { return fallbackServer_; }
    void setFallbackServer(std::optional<std::string> server) { fallbackServer_ = std::move(server); }

    void udpSocketDidSendDataWithTag(net::UdpSocket& socket, long tag) override;
    void udpSocketDidReceiveData(net::UdpSocket& socket, const net::Datagram& data,
                                 const std::string& fromAddress) override;
    void udpSocketDidClose(net::UdpSocket& socket, const std::optional<net::Error>& error) override;

    virtual void sendQuery();
    virtual void writeResponse(const ne::Datagram& datagram);
    virtual std::string selectServer();

    // True while the resolver keeps itself alive for its first answer.
    bool awaitingFirstAnswer() const { return awaitingAnswer(); }
    // Ends that wait; the caller holds a reference.
    void stopAwaitingFirstAnswer();
    // Resolvers of the process waiting for their first answer: the passthrough queries in flight.
    static std::size_t awaitingFirstAnswerCount();
    // The octets of their queries.
    static std::size_t awaitingFirstAnswerBytes();
    // Whether one more query of `size` octets fits within the limits on the road's open
    // sockets and on the octets of the queries awaiting their first answer. At the
    // limits, sockets kept open for late answers close first, oldest first; then the
    // oldest waits that have lasted a while end (each counts as a dropped query, as the
    // new one would).
    static bool makeRoom(std::size_t mostSockets, std::size_t mostBytes, std::size_t size);

protected:
    SystemResolver(ne::Datagram data, std::optional<ne::EndpointList> endpoints,
                   std::shared_ptr<ne::AppProxyUDPFlow> flow, std::optional<std::string> fallbackServer);

private:
    // The wait for the first answer ended without one.
    void waitEnded() override;
    // Counts the socket, open for later answers, among those that give way to new queries.
    void keepSocket();
    void closeKeptSocket();
    void handleReceivedDatagram(const ne::Datagram& datagram);
    void handleSocketClosed(const std::optional<net::Error>& error);

    std::shared_ptr<net::UdpSocket> passthroughSocket_;
    std::optional<ne::Datagram> data_;
    std::optional<ne::EndpointList> endpoints_;
    std::shared_ptr<ne::AppProxyUDPFlow> flow_;
    std::optional<std::string> fallbackServer_;
    bool kept_ = false;  // counted among the sockets kept for later answers
};

// A send tag drawn uniformly from 100000 to 999999 by the system's secure source.
long randomSendTag();
