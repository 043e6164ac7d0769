#include "Velmora/DNSProxyProvider.h"

#include "Velmora/shared/AppVersion.h"
#include "Velmora/shared/SharedIdentifiers.h"
#include "Velmora/ConfigurationValues.h"
#include "Velmora/HexDump.h"
#include "Velmora/Loggers.h"
#include "Velmora/Reachability.h"
#include "Velmora/dns/MessageReader.hpp"
#include "foundation/ProcessInfo.h"

#include <algorithm>
#include <chrono>

namespace {

dispatch::DispatchQueue& mainQueue() { return dispatch::DispatchQueue::main(); }

std::int64_t secondsSince1970() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

constexpr const char* cookieHeader = "X-Brimvale-Cookie";
constexpr const char* dnsContentType = "application/dns-udpwireformat";
// Queries of up to this many lengths share their prepared headers.
constexpr std::size_t maxCachedQueryLengths = 512;

bool debugEnabled() { return oslog::isEnabled(oslog::Level::debug); }

// Queries on the HTTPS road at once, and the octets of the queries on each road
// (net::mostQueryBytesInFlight): a flood from the device waits in the kernel's socket
// buffer and is dropped there, not held here. Far above what the filtering service
// takes within a query's time-out.
constexpr std::size_t mostHttpsInFlight = 10000;
using net::mostQueryBytesInFlight;

}  // namespace

std::string describeOptional(const std::optional<std::string>& text) {
    return text ? "Optional(\"" + *text + "\")" : "nil";
}

// ---- Life cycle ----

std::shared_ptr<DNSProxyProvider> DNSProxyProvider::make() {
    auto provider = std::make_shared<DNSProxyProvider>();
    mainQueue().async([provider] {
        provider->startNetworkMonitor();
        provider->scheduledReportingCheck();
    });
    return provider;
}

DNSProxyProvider::DNSProxyProvider()
    : version_(appVersionString(true)),
      defaults_(shared::appGroupSuite),
      sessionConfig_(http::SessionConfiguration::defaultConfiguration()),
      headerNamesIgnoreCase_(foundation::isOperatingSystemAtLeast({13, 0, 0})),
      passthroughLimit_(net::queryDescriptorBudget()),
      verdictFailures_(verdictFlowLogger()),
      flowWriteFailures_(std::make_shared<oslog::FailureLog>(dnsFlowLogger())),
      connections_(std::vector<ConnectionReport>{}),
      lastReportSent_(secondsSince1970()) {
    extLogger().info("Network extension - init");
    sessionConfig_.connectionProxyDictionary = http::SessionConfiguration::ProxySettings{false};
    sessionConfig_.timeoutIntervalForResource = std::chrono::duration<double>(2.0);
    sessionConfig_.waitsForConnectivity = true;
    alamofireManager_ = makeSession();
    alamofireProbeManager_ = makeSession();
    systemDNSFallbackServer_ = fallbackDNSServer_;
}

DNSProxyProvider::~DNSProxyProvider() = default;

std::shared_ptr<http::Session> DNSProxyProvider::makeSession() const {
    return std::make_shared<http::Session>(sessionConfig_);
}

void DNSProxyProvider::startProxy(std::optional<foundation::Dictionary> options, StartCompletion completion) {
    mainQueue().async([self = shared_from_this(), options = std::move(options), completion = std::move(completion)] {
        extLogger().info("Starting proxy");
        extLogger().debug("Options passed: %{public}s", options ? foundation::describe(*options) : "nil");
        if (!options) {
            extLogger().error("Issues unwrapping proxy configuration options");
            // Tell the system, which would otherwise wait for the start forever.
            completion(ne::ProviderError{1, "Issues unwrapping proxy configuration options"});
            return;
        }
        ne::ProviderConfiguration payload;
        if (auto vendorData = options->find(shared::vendorDataKey); vendorData != options->end()) {
            if (const auto* dictionary = vendorData->second.dictionary()) payload = foundation::textEntries(*dictionary);
        }
        self->updateUserDefaults(payload);
        self->cookie_ = "";
        completion(std::nullopt);
    });
}

void DNSProxyProvider::stopProxy(ne::ProviderStopReason, std::function<void()> completion) {
    mainQueue().async([completion = std::move(completion)] {
        extLogger().info("Stopping proxy");
        completion();
    });
}

void DNSProxyProvider::sleep(std::function<void()> completion) {
    mainQueue().async([completion = std::move(completion)] {
        extLogger().info("Sleeping proxy");
        completion();
    });
}

void DNSProxyProvider::wake() {
    mainQueue().async([] { extLogger().info("Waking proxy"); });
}

// ---- Configuration intake ----

void DNSProxyProvider::updateUserDefaults(const ne::ProviderConfiguration& payload) {
    extConfigLogger().info("Updating user defaults from config payload");
    takeConfiguration(writeConfiguration(payload));
}

foundation::Dictionary DNSProxyProvider::writeConfiguration(const ne::ProviderConfiguration& payload) {
    // The store keeps the values as given, whatever the provider cannot use of them:
    // the host app shows and saves them again, and a value taken out would read as a
    // fresh install.
    foundation::Dictionary stored;
    std::vector<std::string> missing;
    for (const char* key : shared::providerConfigurationKeys) {
        auto found = payload.find(key);
        if (key == shared::key::userName)
            stored[key] = found == payload.end() || found->second.empty() ? "user@ios" : found->second;
        else if (found != payload.end())
            stored[key] = found->second;
        else
            missing.emplace_back(key);
    }
    // One write for all keys; a store that refuses it must not change what the
    // provider runs with, so the fields take the values given, not read back.
    foundation::StoreError error;
    if (!defaults_.update(stored, missing, &error))
        extConfigLogger().error("Failed to write the configuration to the settings store: %{public}s", error.message);
    return stored;
}

namespace {

void refuseValue(const char* key, const std::string& problem) {
    extConfigLogger().error("Refused the configuration's \"%{public}s\": %{public}s", key, problem);
}

std::optional<std::string> givenValue(const foundation::Dictionary& stored, const char* key) {
    auto found = stored.find(key);
    return found == stored.end() ? std::nullopt : foundation::textValue(found->second);
}

// A value that no header can carry leaves its field absent.
std::optional<std::string> headerSafeValue(const foundation::Dictionary& stored, const char* key) {
    auto value = givenValue(stored, key);
    if (!value) return std::nullopt;
    if (auto problem = headerValueProblem(*value)) {
        refuseValue(key, *problem);
        return std::nullopt;
    }
    return value;
}

}  // namespace

void DNSProxyProvider::takeConfiguration(const foundation::Dictionary& stored) {
    // The fields take what their uses can: checked here once, so that no query pays for it.
    serverAddress_.reset();
    if (auto server = givenValue(stored, shared::key::serverAddress)) {
        std::string problem;
        serverAddress_ = serverAddressForRoad(*server, &problem);
        if (!serverAddress_) refuseValue(shared::key::serverAddress, problem);
    }
    macAddress_ = headerSafeValue(stored, shared::key::macAddress);
    deviceId_ = headerSafeValue(stored, shared::key::deviceId);
    userName_ = headerSafeValue(stored, shared::key::userName).value_or("user@ios");
    region_ = headerSafeValue(stored, shared::key::region);
    // Only the uploads need a region that names a host; its header takes it as given.
    if (region_ && !region_->empty() && !isHostName(*region_))
        refuseValue(shared::key::region,
                    "it cannot name the report host (host labels joined by dots): it goes in its header, reports wait");
    // Bypass entries go in no header and no URL; the log escapes what they hold.
    bypassDomains_ = givenValue(stored, shared::key::bypassDomains);
    parseBypassDomains();
}

void DNSProxyProvider::parseBypassDomains() {
    if (!bypassDomains_ || bypassDomains_->empty()) {
        extConfigLogger().debug("No bypass domains in config");
        return;
    }
    std::vector<std::string> domains;
    std::string::size_type start = 0;
    for (;;) {
        auto comma = bypassDomains_->find(',', start);
        domains.push_back(bypassDomains_->substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    bypassDomainsArray_ = std::move(domains);
    std::string list = "[";
    for (std::size_t i = 0; i < bypassDomainsArray_.size(); ++i)
        list += (i ? ", \"" : "\"") + bypassDomainsArray_[i] + "\"";
    extConfigLogger().debug("Parsed bypass domains: %{public}s", list + "]");
}

// ---- Flow admission and dispatch ----

bool DNSProxyProvider::flowRequiresTermination(const ne::AppProxyFlow& flow) {
    return flow.metaData().sourceAppSigningIdentifier == "com.apple.mDNSResponder" &&
           flow.remoteHostname() == "_dns.resolver.arpa.";
}

bool DNSProxyProvider::handleNewFlow(std::shared_ptr<ne::AppProxyFlow> flow) {
    if (debugEnabled()) dnsFlowLogger().debug("Handling new flow: %{public}s", flow->debugDescription());
    if (foundation::isOperatingSystemAtLeast({14, 2, 0}) && flowRequiresTermination(*flow)) {
        extLogger().info("New flow requires termination, originating process: %{public}s, remoteHost: %{public}s",
                         flow->metaData().sourceAppSigningIdentifier, flow->remoteHostname().value_or("unknown"));
        return false;
    }
    if (std::dynamic_pointer_cast<ne::AppProxyTCPFlow>(flow)) {
        dnsFlowLogger().error("TCP DNS not implemented yet");
        return false;
    }
    if (auto udp = std::dynamic_pointer_cast<ne::AppProxyUDPFlow>(flow)) {
        openFlow(std::move(udp));
        return true;
    }
    return false;
}

void DNSProxyProvider::openFlow(std::shared_ptr<ne::AppProxyUDPFlow> flow) {
    auto local = flow->localEndpoint();
    flow->openWithLocalEndpoint(local, [self = shared_from_this(), flow](std::optional<ne::FlowError> error) {
        self->onFlowOpened(error, flow);
    });
}

void DNSProxyProvider::onFlowOpened(const std::optional<ne::FlowError>& error,
                                    std::shared_ptr<ne::AppProxyUDPFlow> flow) {
    if (error) {
        dnsFlowLogger().error("Error opening flow: %{public}s, error: %{public}s", flow->debugDescription(),
                              error->localizedDescription);
        oslog::nsLog(error->localizedDescription);
        return;
    }
    flow->readDatagrams([self = shared_from_this(), flow](std::optional<std::vector<ne::Datagram>> datagrams,
                                                          std::optional<ne::EndpointList> endpoints,
                                                          std::optional<ne::FlowError> readError) {
        self->onDatagramsRead(std::move(datagrams), std::move(endpoints), std::move(readError), flow);
    });
}

void DNSProxyProvider::onDatagramsRead(std::optional<std::vector<ne::Datagram>> datagrams,
                                       std::optional<ne::EndpointList> endpoints, std::optional<ne::FlowError> error,
                                       std::shared_ptr<ne::AppProxyUDPFlow> flow) {
    if (error) {
        dnsFlowLogger().error("Error reading from flow: %{public}s", error->localizedDescription);
        oslog::nsLog(error->localizedDescription);
        return;
    }
    // A read without a datagram leaves nothing to answer.
    if (!datagrams || datagrams->empty()) return;
    ne::Datagram query = std::move(datagrams->front());
    if (debugEnabled())
        dnsFlowLogger().debug("DNS Request [%{public}d bytes] : %{public}s", query.size(), datagramDump(query));
    // Read on the main queue itself, behind no earlier query: sent on at once, with no
    // lock taken, as the host on the main queue reads every query.
    if (arrivingCount_.load(std::memory_order_acquire) == 0 && mainQueue().isCurrent())
        return dispatchQuery(query, std::move(endpoints), std::move(flow));
    bool first = false;
    {
        std::lock_guard lock(arrivingMutex_);
        first = arriving_.empty();
        arriving_.push_back({std::move(query), std::move(endpoints), std::move(flow)});
        arrivingCount_.store(arriving_.size(), std::memory_order_release);
    }
    // The main queue takes every query that came meanwhile in one task: it is woken
    // once per batch, not once per query.
    if (first) mainQueue().async([self = shared_from_this()] { self->dispatchArrived(); });
}

void DNSProxyProvider::dispatchArrived() {
    std::vector<ArrivedQuery> arrived;
    {
        std::lock_guard lock(arrivingMutex_);
        arrived.swap(arriving_);
        arrivingCount_.store(0, std::memory_order_release);
    }
    for (auto& [query, endpoints, flow] : arrived) dispatchQuery(query, std::move(endpoints), std::move(flow));
}

void DNSProxyProvider::dispatchQuery(const ne::Datagram& query, std::optional<ne::EndpointList> endpoints,
                                     std::shared_ptr<ne::AppProxyUDPFlow> flow) {
    if (filtering_ && !matchesBypassDomain(query)) {
        if (hasForwardingConfiguration()) {
            forwardQueryOverHttps(query, std::move(endpoints), std::move(flow));
            return;
        }
        dnsFlowLogger().error("Configuration incomplete for filtering, passing the query through to the system resolver");
    }
    passThrough(query, std::move(endpoints), std::move(flow));
}

bool DNSProxyProvider::hasForwardingConfiguration() const {
    return serverAddress_ && macAddress_ && deviceId_ && userName_;
}

bool DNSProxyProvider::matchesBypassDomain(const ne::Datagram& datagram) {
    if (!bypassDomains_ || bypassDomains_->empty()) return false;
    std::string name;
    try {
        auto message = velmora::dns::deserializeMessage(datagram);
        if (message.questions.empty()) return false;
        name = message.questions.front().name;
    } catch (const velmora::dns::DecodeError&) {
        return false;
    }
    if (!name.empty()) name.pop_back();  // the trailing dot; the root name becomes ""
    for (const std::string& domain : bypassDomainsArray_) {
        if (domain == name) {
            passthroughFlowLogger().debug("Matched bypass domain: %{public}s, will use system DNS settings", domain);
            return true;
        }
    }
    return false;
}

// ---- HTTPS forwarding and the cookie ----

http::HTTPHeaders DNSProxyProvider::requestHeaders(std::size_t bodySize) const {
    // Only the length changes from query to query, over a few hundred values: the
    // headers are built again when the cookie or an identity value has changed since
    // the last query, and shared by the queries of one length.
    auto& cache = forwarding_;
    if (!cache.built || cache.cookie != cookie_ || cache.macAddress != macAddress_ || cache.deviceId != deviceId_ ||
        cache.userName != userName_ || cache.region != region_) {
        cache.built = true;
        cache.cookie = cookie_;
        cache.macAddress = macAddress_;
        cache.deviceId = deviceId_;
        cache.userName = userName_;
        cache.region = region_;
        cache.bySize.clear();
        cache.headers = {
            {"Accept", dnsContentType},
            {"Content-type", dnsContentType},
            {"Content-length", ""},
            {cookieHeader, cookie_.value_or("")},
            {"X-Brimvale-ClientID", macAddress_.value_or("")},
            {"X-Brimvale-ApplianceID", deviceId_.value_or("")},
            {"X-Brimvale-Username", userName_.value_or("")},
            {"X-Brimvale-ApiRegion", region_.value_or("")},
        };
    }
    if (auto found = cache.bySize.find(bodySize); found != cache.bySize.end()) return found->second;
    http::HTTPHeaders headers = cache.headers;
    headers.set("Content-length", std::to_string(bodySize));
    if (cache.bySize.size() < maxCachedQueryLengths) cache.bySize.emplace(bodySize, headers);
    return headers;
}

void DNSProxyProvider::forwardQueryOverHttps(const ne::Datagram& query, std::optional<ne::EndpointList> endpoints,
                                             std::shared_ptr<ne::AppProxyUDPFlow> flow) {
    if (httpsInFlight_.queries >= mostHttpsInFlight || httpsInFlight_.bytes + query.size() > mostQueryBytesInFlight) {
        dropQuery(httpsDrops_, httpsInFlight_);
        return;
    }
    auto headers = requestHeaders(query.size());
    if (debugEnabled()) verdictFlowLogger().debug("Request headers: %{public}s", http::describe(headers));
    if (!alamofireManager_) return;
    if (forwarding_.server != serverAddress_ || forwarding_.url.empty()) {
        forwarding_.server = serverAddress_;
        forwarding_.url = "https://" + serverAddress_.value_or("") + "/dns-query";
    }
    ++httpsInFlight_.queries;
    httpsInFlight_.bytes += query.size();
    alamofireManager_->upload(query, forwarding_.url, "POST", std::move(headers))
        ->validate()
        .responseData([self = shared_from_this(), flow = std::move(flow), endpoints = std::move(endpoints),
                       querySize = query.size()](const http::DataResponse& response) {
            self->handleVerdictResponse(response, flow, endpoints, querySize);
        });
}

void DNSProxyProvider::handleVerdictResponse(const http::DataResponse& response,
                                             std::shared_ptr<ne::AppProxyUDPFlow> flow,
                                             const std::optional<ne::EndpointList>& endpoints, std::size_t querySize) {
    --httpsInFlight_.queries;
    httpsInFlight_.bytes -= querySize;
    if (debugEnabled()) {
        verdictFlowLogger().debug("Response headers: %{public}s",
                                  response.response ? response.response->headersDescription() : "nil");
    }
    if (headerNamesIgnoreCase_) {
        updateCookie(response.response ? response.response->valueForHTTPHeaderField(cookieHeader) : std::nullopt);
    } else if (response.response) {
        if (auto value = response.response->headerField(cookieHeader)) updateCookie(value);
    }

    const long status = response.response ? response.response->statusCode : constUnknownResponse_;
    if (response.error) {
        verdictFailures_.add(oslog::format("Failed when getting verdict response: (%{public}d), error: %{public}s",
                                           {status, response.error->localizedDescription}));
    } else if (!response.data || response.data->empty()) {
        // Nothing to hand back; the application's resolver will time out as on a failure.
        verdictFailures_.add(oslog::format("Failed when getting verdict response: (%{public}d), error: %{public}s",
                                           {status, "empty response body"}));
    } else {
        const ne::Datagram& answer = *response.data;
        if (debugEnabled()) {
            dnsFlowLogger().debug("DNS response : [%{public}d bytes] : %{public}s", answer.size(),
                                  datagramDump(answer));
        }
        static const ne::EndpointList none;
        flow->writeDatagrams({answer}, endpoints ? *endpoints : none,
                             [failures = flowWriteFailures_, flow](std::optional<ne::FlowError> error) {
                                 handleWriteCompletion(error, *flow, *failures);
                             });
    }
    recordConnectionReport(response, static_cast<std::int64_t>(querySize));
}

void DNSProxyProvider::handleWriteCompletion(const std::optional<ne::FlowError>& error,
                                             const ne::AppProxyUDPFlow& flow, oslog::FailureLog& failures) {
    if (error) {
        // Each flow describes itself apart: a flood of failed writes, such as answers
        // too large for a datagram, is counted rather than written line by line.
        failures.add(oslog::format("Failed to write datagrams to the flow: %{public}s, error: %{public}s",
                                   {flow.debugDescription(), error->localizedDescription}));
    } else {
        dnsFlowLogger().debug("Wrote datagrams back to the flow");
    }
}

void DNSProxyProvider::updateCookie(const std::optional<std::string>& newCookie) {
    if (!newCookie) return;
    // Every answer comes here: its texts are made only for a debug log.
    const bool debug = debugEnabled();
    if (debug) {
        cookieLogger().debug("Current cookie : %{public}s", describeOptional(cookie_));
        cookieLogger().debug("New cookie     : %{public}s", *newCookie);
    }
    if (!cookie_) return;
    if (*cookie_ != *newCookie) {
        cookieLogger().info("Cookie changed!");
        if (debug)
            cookieLogger().debug("Resetting now from: '%{public}s' to '%{public}s'", describeOptional(cookie_),
                                 *newCookie);
        cookie_ = *newCookie;
    } else {
        cookieLogger().debug("Cookie unchanged");
    }
}

// ---- Passthrough and the resolver set ----

void DNSProxyProvider::passThrough(const ne::Datagram& query, std::optional<ne::EndpointList> endpoints,
                                   std::shared_ptr<ne::AppProxyUDPFlow> flow) {
    if (!SystemResolver::makeRoom(passthroughLimit_, mostQueryBytesInFlight, query.size())) {
        dropQuery(passthroughDrops_,
                  {SystemResolver::awaitingFirstAnswerCount(), SystemResolver::awaitingFirstAnswerBytes()});
        return;
    }
    auto resolver = SystemResolver::make(query, std::move(endpoints), std::move(flow), systemDNSFallbackServer_);
    resolver->sendQuery();
    cacheSystemResolver(std::move(resolver));
}

void DNSProxyProvider::dropQuery(Drops& drops, InFlight inFlight) {
    if (drops.count++ > 0) return;
    drops.inFlight = inFlight;
    mainQueue().asyncAfter(std::chrono::seconds(1), [weak = weak_from_this(), &drops] {
        auto self = weak.lock();
        if (!self) return;
        const bool https = &drops == &self->httpsDrops_;
        (https ? verdictFlowLogger() : passthroughFlowLogger())
            .error("Dropped %{public}d %{public}s queries: %{public}d already waiting for an answer, %{public}d octets",
                   drops.count, https ? "HTTPS" : "passthrough", drops.inFlight.queries, drops.inFlight.bytes);
        drops.count = 0;
    });
}

void DNSProxyProvider::cacheSystemResolver(std::shared_ptr<SystemResolver> resolver) {
    if (dnsConnections_.size() >= static_cast<std::size_t>(constSystemDNSCacheLimit_)) {
        // Resolvers still waiting for their first answer keep themselves alive, and
        // the one that found the set full is kept in the emptied set.
        passthroughFlowLogger().debug("System DNS cache maxed out. Clearing now");
        dnsConnections_.clear();
    }
    dnsConnections_.insert(std::move(resolver));
    passthroughFlowLogger().debug("System DNS cache: %{public}d", dnsConnections_.size());
}

void DNSProxyProvider::clearSystemDNSCache() {
    passthroughFlowLogger().debug("Clearing system DNS cache..");
    dnsConnections_.clear();
    std::weak_ptr<DNSProxyProvider> weak = weak_from_this();
    mainQueue().async([weak] {
        if (auto self = weak.lock())
            self->respawnSession(self->alamofireManager_,
                                 "Gracefully ending current URLSession for DNS tasks and respawning..");
    });
    mainQueue().async([weak] {
        if (auto self = weak.lock())
            self->respawnSession(self->alamofireProbeManager_,
                                 "Gracefully ending current URLSession for probe tasks and respawning..");
    });
}

void DNSProxyProvider::respawnSession(std::shared_ptr<http::Session>& session, const std::string& message) {
    connectionLogger().debug("%{public}s", message);
    if (session) session->finishTasksAndInvalidate();
    session = makeSession();
}
