#pragma once
// The host's road for queries while no provider runs, as the device resolves with no
// DNS proxy: each query goes to the system-assigned resolver from a UDP socket of its
// own, and the first datagram that answers it (its ID and question) goes back
// unchanged. Bounded as a provider's passthrough road is: a query waits at most 2 s,
// and those in flight keep within the descriptors the process can spare and 16 MB; a
// query beyond is dropped and counted. Nothing is logged per query. Lives on the
// host's queue.

#include "log/Log.h"
#include "net/AnswerWaits.h"
#include "networkextension/Flow.h"

#include <functional>
#include <memory>
#include <string>

namespace ne {

class DeviceResolver {
public:
    using Answer = std::function<void(Datagram answer)>;

    DeviceResolver(dispatch::DispatchQueue& queue, std::string resolverAddress, const oslog::Logger& logger);
    ~DeviceResolver();
    DeviceResolver(const DeviceResolver&) = delete;
    DeviceResolver& operator=(const DeviceResolver&) = delete;

    // `answer` is called on the host's queue, at most once; never when the query
    // fails, times out or is dropped.
    void resolve(Datagram query, Answer answer);

private:
    class Query;

    dispatch::DispatchQueue& queue_;
    std::string resolverAddress_;
    net::AnswerWaits waits_;
    std::size_t mostInFlight_;
    oslog::FailureLog drops_;
};

}  // namespace ne
