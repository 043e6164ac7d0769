// Network monitoring and the safe-network probe. Everything here runs on the main
// queue; delayed tasks and callbacks hold the provider weakly, so that a provider
// that is let go ends its cycles instead of living on in them.

#include "Velmora/DNSProxyProvider.h"
#include "Velmora/Loggers.h"
#include "Velmora/Reachability.h"
#include "Velmora/dns/Utf8.hpp"

#include "dispatch/Dispatch.h"

#include <chrono>
#include <string>

namespace {

// The operator's probe host, over plain HTTP on the default port, without a path.
const char* const probeURL = "http://probe.brimvale.example";
constexpr std::chrono::milliseconds probeInterval{30000};
constexpr std::chrono::milliseconds probeRetryDelay{500};
constexpr std::chrono::milliseconds eventProbeDelay{500};

void afterOnMain(const std::shared_ptr<DNSProxyProvider>& provider, std::chrono::milliseconds delay,
                 void (DNSProxyProvider::*operation)()) {
    dispatch::DispatchQueue::main().asyncAfter(delay, [weak = std::weak_ptr<DNSProxyProvider>(provider), operation] {
        if (auto self = weak.lock()) ((*self).*operation)();
    });
}

std::string sessionDescription(const std::shared_ptr<http::Session>& session) {
    return session ? session->description() : "nil";
}

}  // namespace

void DNSProxyProvider::startNetworkMonitor() {
    std::shared_ptr<Reachability> watch;
    try {
        watch = Reachability::make(&dispatch::DispatchQueue::main());
    } catch (const ReachabilityError&) {
        // Without a watch the probe cycle still runs; only network events are lost.
        connectionLogger().error("Unable to start probe/reachability monitor");
    }
    reachability_ = watch;
    if (watch) {
        std::weak_ptr<DNSProxyProvider> weak = weak_from_this();
        watch->setWhenReachable([weak](Reachability& reachability) {
            if (auto self = weak.lock()) self->handleReachable(reachability);
        });
        watch->setWhenUnreachable([weak](Reachability& reachability) {
            if (auto self = weak.lock()) self->handleUnreachable(reachability);
        });
        try {
            watch->startNotifier();
        } catch (const ReachabilityError&) {
            connectionLogger().error("Unable to start probe/reachability monitor");
        }
    }
    scheduledProbeFired();
}

void DNSProxyProvider::handleReachable(Reachability& reachability) {
    const auto connection = reachability.connection();
    if (connection == Reachability::Connection::wifi) {
        connectionLogger().debug("Network event, Reachable via WiFi");
        clearSystemDNSCache();
    } else if (connection == Reachability::Connection::cellular) {
        connectionLogger().debug("Network event, Reachable via Cellular");
    }
    afterOnMain(shared_from_this(), eventProbeDelay, &DNSProxyProvider::fireProbeAfterEvent);
}

void DNSProxyProvider::handleUnreachable(Reachability&) {
    connectionLogger().debug("Network event, Not reachable!");
}

void DNSProxyProvider::fireProbeAfterEvent() {
    probeLogger().debug("Network event, firing probe now");
    sendSafeNetworkProbe();
}

void DNSProxyProvider::scheduledProbeFired() {
    probeLogger().debug("Scheduled safe network probe fired");
    sendSafeNetworkProbe();
    afterOnMain(shared_from_this(), probeInterval, &DNSProxyProvider::scheduledProbeFired);
}

void DNSProxyProvider::sendSafeNetworkProbe() {
    const http::HTTPHeaders headers{{"Connection", "close"}};
    if (!alamofireProbeManager_) return;
    std::weak_ptr<DNSProxyProvider> weak = weak_from_this();
    alamofireProbeManager_->request(probeURL, "GET", headers)->validate().responseJSON(
        [weak](const http::JSONResponse& response) {
            if (auto self = weak.lock()) self->handleProbeResponse(response);
        });
}

void DNSProxyProvider::handleProbeResponse(const http::JSONResponse& response) {
    if (!response.response) {
        probeLogger().debug("Probe sent but no network, retrying in 500 ms (manager: %{public}s), (probe manager: %{public}s)",
                            sessionDescription(alamofireManager_), sessionDescription(alamofireProbeManager_));
        afterOnMain(shared_from_this(), probeRetryDelay, &DNSProxyProvider::sendSafeNetworkProbe);
        filtering_ = true;
        return;
    }
    const auto status = std::to_string(response.response->statusCode);
    if (response.response->statusCode == 200) {
        probeLogger().debug("Probe returned: %{public}s, safe network", status);
        filtering_ = false;
    } else if (response.response->statusCode == 404) {
        std::string body;
        if (response.data) {
            const std::string_view text(reinterpret_cast<const char*>(response.data->data()), response.data->size());
            if (velmora::dns::isValidUtf8(text))
                body = text;
            else
                body.append("<").append(std::to_string(text.size())).append(" bytes, not UTF-8>");
        }
        probeLogger().debug("Probe returned: %{public}s - %{public}s", status, body);
        filtering_ = false;
    } else {
        probeLogger().debug("Probe returned: %{public}s, unsafe network", status);
        filtering_ = true;
    }
}
