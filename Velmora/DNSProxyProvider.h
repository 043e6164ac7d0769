#pragma once
// The extension's DNS proxy provider: the whole state of the DNS proxy engine and
// the road of every DNS query. All of its state lives on the main queue; the entry
// points, which the system calls on threads of its own, hand their work over to it.
//
// One query's objects: the flow and its datagram come from the system's thread and
// wait in `arriving_` until the main queue takes the batch; one read on the main queue
// itself, with none waiting before it, goes on at once. On the HTTPS road the
// request lives from forwardQueryOverHttps until its response handler has run on the
// main queue (answered, failed or timed out after 2 s), its report until the upload
// that sends it. On the passthrough road the SystemResolver lives while the resolver
// set holds it, and at least until its first answer or the end of its 2 s wait.

#include "Velmora/ConnectionReport.h"
#include "Velmora/SystemResolver.h"
#include "foundation/UserDefaults.h"
#include "http/Session.h"
#include "log/Log.h"
#include "networkextension/DNSProxyProviderBase.h"

#include <asio/steady_timer.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class Reachability;

class DNSProxyProvider : public ne::DNSProxyProviderBase, public std::enable_shared_from_this<DNSProxyProvider> {
public:
    using ResolverSet = std::unordered_set<std::shared_ptr<SystemResolver>>;

    // ---- Life cycle and the system's entry points (DNSProxyProvider.cpp) ----
    // The entry points may be called on any thread; each hands its work to the main queue.

    // Constructs the provider and starts its network monitor and report cycle on the
    // main queue, as the system's construction of the provider does.
    static std::shared_ptr<DNSProxyProvider> make();
    // Construction without the cycles; make() starts them.
    DNSProxyProvider();
    ~DNSProxyProvider() override;

    void startProxy(std::optional<foundation::Dictionary> options, StartCompletion completion) override;
    void stopProxy(ne::ProviderStopReason reason, std::function<void()> completion) override;
    void sleep(std::function<void()> completion) override;
    void wake() override;
    bool handleNewFlow(std::shared_ptr<ne::AppProxyFlow> flow) override;

    // ---- Configuration intake (DNSProxyProvider.cpp) ----
    virtual void updateUserDefaults(const ne::ProviderConfiguration& payload);
    // The store takes the payload as given; returns what it was given.
    foundation::Dictionary writeConfiguration(const ne::ProviderConfiguration& payload);
    // The fields take from what was stored what their uses can, and log what they refuse.
    void takeConfiguration(const foundation::Dictionary& stored);
    virtual void parseBypassDomains();

    // ---- The road of a query (DNSProxyProvider.cpp): admission, HTTPS, passthrough ----
    virtual void openFlow(std::shared_ptr<ne::AppProxyUDPFlow> flow);
    virtual void forwardQueryOverHttps(const ne::Datagram& query, std::optional<ne::EndpointList> endpoints,
                                       std::shared_ptr<ne::AppProxyUDPFlow> flow);
    virtual void updateCookie(const std::optional<std::string>& newCookie);
    virtual void clearSystemDNSCache();
    virtual void cacheSystemResolver(std::shared_ptr<SystemResolver> resolver);
    static bool flowRequiresTermination(const ne::AppProxyFlow& flow);
    bool matchesBypassDomain(const ne::Datagram& datagram);
    void onFlowOpened(const std::optional<ne::FlowError>& error, std::shared_ptr<ne::AppProxyUDPFlow> flow);
    void onDatagramsRead(std::optional<std::vector<ne::Datagram>> datagrams, std::optional<ne::EndpointList> endpoints,
                         std::optional<ne::FlowError> error, std::shared_ptr<ne::AppProxyUDPFlow> flow);
    void handleVerdictResponse(const http::DataResponse& response, std::shared_ptr<ne::AppProxyUDPFlow> flow,
                               const std::optional<ne::EndpointList>& endpoints, std::size_t querySize);
    static void handleWriteCompletion(const std::optional<ne::FlowError>& error, const ne::AppProxyUDPFlow& flow,
                                      oslog::FailureLog& failures);
    void respawnSession(std::shared_ptr<http::Session>& session, const std::string& message);
    // True when the configuration holds what an HTTPS exchange needs.
    bool hasForwardingConfiguration() const;
    // The eight request headers of one HTTPS exchange.
    http::HTTPHeaders requestHeaders(std::size_t bodySize) const;

    // ---- Network monitoring and the safe-network probe (DNSProxyProviderMonitoring.cpp) ----
    virtual void startNetworkMonitor();
    virtual void scheduledProbeFired();
    virtual void sendSafeNetworkProbe();
    void handleReachable(Reachability& reachability);
    void handleUnreachable(Reachability& reachability);
    void fireProbeAfterEvent();
    void handleProbeResponse(const http::JSONResponse& response);

    // ---- Connection reports and their upload (DNSProxyProviderReporting.cpp) ----
    virtual void recordConnectionReport(const http::DataResponse& response, std::int64_t requestBytes);
    virtual void scheduledReportingCheck();
    virtual void reportIfDue();
    static bool shouldSendReports(const std::optional<std::vector<ConnectionReport>>& reports, std::int64_t elapsedSeconds);
    // Encodes and posts off the main queue.
    void sendConnectionReports(std::vector<ConnectionReport> reports, const std::string& url);
    void handleReportResponse(const http::DataResponse& response);
    // Reports held for upload, at most; the oldest go first.
    static constexpr std::size_t reportCap = 10000;

    // ---- Fields, read (and, where a caller sets them, written) on the main queue ----
    int constUnknownResponse() const { return constUnknownResponse_; }
    foundation::UserDefaults& defaults() { return defaults_; }
    const std::shared_ptr<http::Session>& alamofireManager() const { return alamofireManager_; }
    const ResolverSet& dnsConnections() const { return dnsConnections_; }
    void setDnsConnections(ResolverSet connections) { dnsConnections_ = std::move(connections); }
    const std::optional<std::string>& serverAddress() const { return serverAddress_; }
    const std::optional<std::string>& macAddress() const { return macAddress_; }
    void setMacAddress(std::optional<std::string> value) { macAddress_ = std::move(value); }
    const std::optional<std::string>& deviceId() const { return deviceId_; }
    void setDeviceId(std::optional<std::string> value) { deviceId_ = std::move(value); }
    const std::optional<std::string>& userName() const { return userName_; }
    void setUserName(std::optional<std::string> value) { userName_ = std::move(value); }
    const std::optional<std::string>& cookie() const { return cookie_; }
    void setCookie(std::optional<std::string> value) { cookie_ = std::move(value); }
    const std::optional<std::string>& region() const { return region_; }
    void setRegion(std::optional<std::string> value) { region_ = std::move(value); }
    const std::vector<std::string>& bypassDomainsArray() const { return bypassDomainsArray_; }
    bool filtering() const { return filtering_; }
    void setFiltering(bool on) { filtering_ = on; }
    const std::optional<std::vector<ConnectionReport>>& connections() const { return connections_; }
    void setConnections(std::optional<std::vector<ConnectionReport>> reports) { connections_ = std::move(reports); }
    std::int64_t lastReportSent() const { return lastReportSent_; }
    void setLastReportSent(std::int64_t seconds) { lastReportSent_ = seconds; }

private:
    // Queries read on the system's threads, waiting for the main queue.
    struct ArrivedQuery {
        ne::Datagram query;
        std::optional<ne::EndpointList> endpoints;
        std::shared_ptr<ne::AppProxyUDPFlow> flow;
    };
    void dispatchArrived();
    // The road of one query, chosen on the main queue.
    void dispatchQuery(const ne::Datagram& query, std::optional<ne::EndpointList> endpoints,
                       std::shared_ptr<ne::AppProxyUDPFlow> flow);
    void passThrough(const ne::Datagram& query, std::optional<ne::EndpointList> endpoints,
                     std::shared_ptr<ne::AppProxyUDPFlow> flow);
    // Queries a road carries at once, and their octets.
    struct InFlight {
        std::size_t queries = 0;
        std::size_t bytes = 0;
    };
    // Queries dropped over a road's limits since the last log line, and what was in
    // flight at the first of them.
    struct Drops {
        std::size_t count = 0;
        InFlight inFlight;
    };
    // A query dropped over its road's limits: counted, and the count logged once a
    // second while queries are dropped.
    void dropQuery(Drops& drops, InFlight inFlight);
    std::shared_ptr<http::Session> makeSession() const;

    // What every HTTPS exchange sends alike, kept from one query to the next together
    // with the values it was made from: the headers for each length of query.
    struct ForwardingCache {
        bool built = false;
        std::optional<std::string> cookie, macAddress, deviceId, userName, region;
        http::HTTPHeaders headers;
        std::unordered_map<std::size_t, http::HTTPHeaders> bySize;
        std::optional<std::string> server;
        std::string url;
    };
    mutable ForwardingCache forwarding_;

    // Fixed for the provider's life.
    const int constUnknownResponse_ = 418;
    const int constSystemDNSCacheLimit_ = 100;
    const std::string version_;
    foundation::UserDefaults defaults_;
    http::SessionConfiguration sessionConfig_;
    const std::string fallbackDNSServer_ = "1.0.0.1";
    // From system release 13 on, the cookie header's name is matched ignoring case.
    const bool headerNamesIgnoreCase_;
    // Each passthrough query holds a descriptor, while it waits for its first answer
    // and while the resolver set keeps its socket open for later ones.
    const std::size_t passthroughLimit_;
    Drops passthroughDrops_;
    InFlight httpsInFlight_;
    Drops httpsDrops_;
    // Failures a remote server or a flood can repeat per query, counted once a second:
    // the HTTPS exchange's, and the answer's write to its flow, whose completion holds
    // its log and not the provider (it may come on another queue).
    oslog::FailureLog verdictFailures_;
    const std::shared_ptr<oslog::FailureLog> flowWriteFailures_;
    // Sessions and passthrough resolvers.
    std::shared_ptr<http::Session> alamofireManager_;
    std::shared_ptr<http::Session> alamofireProbeManager_;
    ResolverSet dnsConnections_;
    std::optional<std::string> systemDNSFallbackServer_;
    // The configuration at each start as the provider uses it; the settings store keeps it as given.
    std::optional<std::string> serverAddress_;
    std::optional<std::string> macAddress_;
    std::optional<std::string> deviceId_;
    std::optional<std::string> userName_;
    std::optional<std::string> cookie_;
    std::optional<std::string> region_;
    std::optional<std::string> bypassDomains_;
    std::vector<std::string> bypassDomainsArray_;
    // Monitoring and reports.
    std::shared_ptr<asio::steady_timer> probeTimer_;  // never armed: the probe cycle re-arms itself
    std::shared_ptr<Reachability> reachability_;
    bool filtering_ = false;
    std::optional<std::vector<ConnectionReport>> connections_;  // at most reportCap
    // The one field the system's threads touch: guarded by its mutex, which a read on the
    // main queue takes only while queries from other threads wait (`arrivingCount_`).
    std::mutex arrivingMutex_;
    std::vector<ArrivedQuery> arriving_;
    std::atomic<std::size_t> arrivingCount_{0};
    std::size_t droppedReports_ = 0;
    std::int64_t lastReportSent_ = 0;
    // Encodes and posts upload batches; made at the first upload, joined with the provider.
    std::unique_ptr<dispatch::DispatchQueue> reportEncoder_;
};

// "Optional(\"text\")", or "nil" when absent.
std::string describeOptional(const std::optional<std::string>& text);
