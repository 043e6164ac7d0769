#include "networkextension/DeviceResolver.h"

#include "net/UdpSocket.h"

namespace ne {

namespace {

constexpr std::uint16_t kDnsPort = 53;
constexpr auto kAnswerWait = std::chrono::seconds(2);
constexpr std::size_t kMostBytesInFlight = 16 << 20;

}  // namespace

// One query: its socket, and where its answer goes. Kept alive by its wait.
class DeviceResolver::Query final : public net::UdpSocketDelegate,
                                    public net::AnswerWaits::Waiter,
                                    public std::enable_shared_from_this<Query> {
public:
    Query(net::AnswerWaits& waits, Answer answer) : waits_(waits), answer_(std::move(answer)) {}

    void send(dispatch::DispatchQueue& queue, const std::string& resolver, Datagram query) {
        socket_ = net::UdpSocket::make(weak_from_this(), queue);
        waits_.begin(shared_from_this(), query.size());
        // A socket that cannot be set up closes with its reason, which ends the wait.
        if (socket_->connectToHost(resolver, kDnsPort) && socket_->beginReceiving())
            socket_->sendData(std::move(query), kAnswerWait, 0);
        else
            finish();
    }

    void udpSocketDidReceiveData(net::UdpSocket&, const net::Datagram& data, const std::string&) override {
        if (!awaitingAnswer()) return;
        auto answer = std::move(answer_);
        finish();
        answer(data);
    }
    void udpSocketDidClose(net::UdpSocket&, const std::optional<std::string>&) override { finish(); }

private:
    void waitEnded() override { socket_->close(); }

    // The socket goes with the wait: the device takes one answer per query.
    void finish() {
        auto keep = shared_from_this();
        waits_.end(*this);
        if (socket_) socket_->close();
    }

    net::AnswerWaits& waits_;
    Answer answer_;
    std::shared_ptr<net::UdpSocket> socket_;
};

DeviceResolver::DeviceResolver(dispatch::DispatchQueue& queue, std::string resolverAddress,
                               const oslog::Logger& logger)
    : queue_(queue), resolverAddress_(std::move(resolverAddress)), waits_(queue, kAnswerWait),
      mostInFlight_(net::queryDescriptorBudget()), drops_(logger) {}

DeviceResolver::~DeviceResolver() = default;

void DeviceResolver::resolve(Datagram query, Answer answer) {
    if (resolverAddress_.empty()) return drops_.add("Dropped a query with no provider running: no system resolver");
    if (!waits_.makeRoom(mostInFlight_, kMostBytesInFlight, query.size())) {
        return drops_.add("Dropped a query with no provider running: " + std::to_string(waits_.count()) +
                          " already waiting for an answer, " + std::to_string(waits_.bytes()) + " octets");
    }
    std::make_shared<Query>(waits_, std::move(answer))->send(queue_, resolverAddress_, std::move(query));
}

}  // namespace ne
