#pragma once
// Application flows that the system hands to a DNS proxy provider, and the
// endpoints they name. Completions run on a thread of the system, never on the
// main queue.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ne {

using Datagram = std::vector<std::uint8_t>;

class Endpoint {
public:
    virtual ~Endpoint() = default;
    virtual std::string description() const = 0;
};

class HostEndpoint : public Endpoint {
public:
    HostEndpoint(std::string hostname, std::string port)
        : hostname_(std::move(hostname)), port_(std::move(port)) {}
    static std::shared_ptr<HostEndpoint> make(std::string hostname, std::string port) {
        return std::make_shared<HostEndpoint>(std::move(hostname), std::move(port));
    }
    const std::string& hostname() const { return hostname_; }
    const std::string& port() const { return port_; }
    std::string description() const override { return hostname_ + ":" + port_; }

private:
    std::string hostname_;
    std::string port_;
};

using EndpointList = std::vector<std::shared_ptr<Endpoint>>;

struct FlowError {
    int code = 0;  // one of the flowError codes below
    std::string localizedDescription;
};

// What went wrong with a flow; the description gives the details.
inline constexpr int flowErrorNotSupported = 1;  // a kind of flow the system does not relay
inline constexpr int flowErrorAlreadyOpen = 2;
inline constexpr int flowErrorNotOpen = 3;
inline constexpr int flowErrorClosed = 4;      // the system has let go of the flow
inline constexpr int flowErrorSendFailed = 5;  // a datagram was refused; the description says why

struct FlowMetaData {
    std::string sourceAppSigningIdentifier;
};

class AppProxyFlow {
public:
    using Completion = std::function<void(std::optional<FlowError>)>;

    virtual ~AppProxyFlow() = default;
    virtual void openWithLocalEndpoint(std::shared_ptr<HostEndpoint> localEndpoint, Completion completion) = 0;

    const FlowMetaData& metaData() const { return metaData_; }
    const std::optional<std::string>& remoteHostname() const { return remoteHostname_; }
    virtual std::string debugDescription() const = 0;

protected:
    FlowMetaData metaData_;
    std::optional<std::string> remoteHostname_;
};

class AppProxyUDPFlow : public AppProxyFlow {
public:
    using ReadCompletion = std::function<void(std::optional<std::vector<Datagram>> datagrams,
                                              std::optional<EndpointList> remoteEndpoints,
                                              std::optional<FlowError> error)>;

    virtual std::shared_ptr<HostEndpoint> localEndpoint() const = 0;
    virtual void readDatagrams(ReadCompletion completion) = 0;
    virtual void writeDatagrams(std::vector<Datagram> datagrams, const EndpointList& sentByEndpoints,
                                Completion completion) = 0;
};

class AppProxyTCPFlow : public AppProxyFlow {
public:
    virtual std::shared_ptr<Endpoint> remoteEndpoint() const = 0;
};

}  // namespace ne
