#include "networkextension/DeviceResolver.h"

#include "net/UdpSocket.h"

#include <algorithm>

namespace ne {

namespace {

constexpr std::size_t kHeader = 12;

// Where a query's first question ends, or its header's end when it has none that can be
// read plainly (no question, or a name by pointer, which no real query holds).
std::size_t endOfQuestion(const Datagram& query) {
    if (query.size() < kHeader || (query[4] == 0 && query[5] == 0)) return std::min(query.size(), kHeader);
    std::size_t at = kHeader;
    while (at < query.size() && query[at] != 0) {
        if (query[at] > 63) return kHeader;
        at += 1 + query[at];
    }
    at += 1 + 4;  // the root label, then type and class
    return at <= query.size() ? at : kHeader;
}

// Whether `reply` answers the query that `asked` begins: its ID, the QR bit, and the
// same first question, the name in any case (resolvers may change it). An error without
// the question is taken too, as resolvers send for queries they cannot read.
bool answers(const Datagram& asked, const Datagram& reply) {
    if (asked.size() < kHeader) return true;  // nothing to match an answer by
    if (reply.size() < kHeader) return false;
    if (reply[0] != asked[0] || reply[1] != asked[1] || !(reply[2] & 0x80)) return false;
    if (asked.size() == kHeader) return true;
    if (reply[4] == 0 && reply[5] == 0) return (reply[3] & 0x0f) != 0;
    if (reply.size() < asked.size()) return false;
    auto folded = [](std::uint8_t c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    const std::size_t nameEnd = asked.size() - 4;
    for (std::size_t i = kHeader; i < asked.size(); ++i) {
        const bool same = i < nameEnd ? folded(asked[i]) == folded(reply[i]) : asked[i] == reply[i];
        if (!same) return false;
    }
    return true;
}

}  // namespace

// One query: its socket, and where its answer goes. Kept alive by its wait.
class DeviceResolver::Query final : public net::UdpSocketDelegate,
                                    public net::AnswerWaits::Waiter,
                                    public std::enable_shared_from_this<Query> {
public:
    Query(net::AnswerWaits& waits, Answer answer) : waits_(waits), answer_(std::move(answer)) {}

    void send(dispatch::DispatchQueue& queue, const std::string& resolver, Datagram query) {
        asked_.assign(query.begin(), query.begin() + static_cast<std::ptrdiff_t>(endOfQuestion(query)));
        socket_ = net::UdpSocket::make(weak_from_this(), queue);
        waits_.begin(shared_from_this(), query.size());
        // A socket that cannot be set up closes with its reason, which ends the wait.
        if (socket_->connectToHost(resolver, net::dnsPort) && socket_->beginReceiving())
            socket_->sendData(std::move(query), net::answerWait, 0);
        else
            finish();
    }

    // A datagram that does not answer the query, stray or forged, leaves it waiting for
    // the resolver's answer.
    void udpSocketDidReceiveData(net::UdpSocket&, const net::Datagram& data, const std::string&) override {
        if (!awaitingAnswer() || !answers(asked_, data)) return;
        auto answer = std::move(answer_);
        finish();
        answer(data);
    }
    void udpSocketDidClose(net::UdpSocket&, const std::optional<net::Error>&) override { finish(); }

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
    Datagram asked_;  // the query's header and first question
    std::shared_ptr<net::UdpSocket> socket_;
};

DeviceResolver::DeviceResolver(dispatch::DispatchQueue& queue, std::string resolverAddress,
                               const oslog::Logger& logger)
    : queue_(queue), resolverAddress_(std::move(resolverAddress)), waits_(queue, net::answerWait),
      mostInFlight_(net::queryDescriptorBudget()), drops_(logger) {}

DeviceResolver::~DeviceResolver() = default;

void DeviceResolver::resolve(Datagram query, Answer answer) {
    if (resolverAddress_.empty()) return drops_.add("Dropped a query with no provider running: no system resolver");
    if (!waits_.makeRoom(mostInFlight_, net::mostQueryBytesInFlight, query.size())) {
        return drops_.add("Dropped a query with no provider running: " + std::to_string(waits_.count()) +
                          " already waiting for an answer, " + std::to_string(waits_.bytes()) + " octets");
    }
    std::make_shared<Query>(waits_, std::move(answer))->send(queue_, resolverAddress_, std::move(query));
}

}  // namespace ne
