#pragma once
// Fakes and helpers for tests of the provider: flows that record what is written to
// them, query datagrams, and a provider that records its HTTPS road and reports.

#include "Velmora/DNSProxyProvider.h"
#include "dispatch/Dispatch.h"
#include "log/Log.h"
#include "../integration/UdpAnswerServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace enginetest {

using namespace std::chrono_literals;

// Threads of this process now.
inline std::size_t threadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

// A query for `name` (dotted, without the final dot) of type A.
inline ne::Datagram makeQuery(const std::string& name, std::uint16_t id = 0x1234) {
    ne::Datagram query = {static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id), 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0};
    std::size_t start = 0;
    while (start < name.size()) {
        auto dot = name.find('.', start);
        if (dot == std::string::npos) dot = name.size();
        query.push_back(static_cast<std::uint8_t>(dot - start));
        query.insert(query.end(), name.begin() + static_cast<long>(start), name.begin() + static_cast<long>(dot));
        start = dot + 1;
    }
    query.insert(query.end(), {0, 0, 1, 0, 1});
    return query;
}

class FakeUDPFlow : public ne::AppProxyUDPFlow {
public:
    explicit FakeUDPFlow(std::vector<ne::Datagram> datagrams, std::optional<ne::EndpointList> endpoints = ne::EndpointList{},
                         std::string signingIdentifier = "com.example.app", std::optional<std::string> remoteHost = {})
        : datagrams_(std::move(datagrams)), endpoints_(std::move(endpoints)) {
        metaData_.sourceAppSigningIdentifier = std::move(signingIdentifier);
        remoteHostname_ = std::move(remoteHost);
    }

    std::shared_ptr<ne::HostEndpoint> localEndpoint() const override { return ne::HostEndpoint::make("127.0.0.1", "53"); }
    void openWithLocalEndpoint(std::shared_ptr<ne::HostEndpoint>, Completion completion) override {
        ++opens;
        completion(openError);
    }
    void readDatagrams(ReadCompletion completion) override {
        ++reads;
        completion(datagrams_, endpoints_, std::nullopt);
    }
    void writeDatagrams(std::vector<ne::Datagram> datagrams, const ne::EndpointList&, Completion completion) override {
        if (writeError) return completion(writeError);
        {
            std::lock_guard lock(mutex_);
            written_.insert(written_.end(), datagrams.begin(), datagrams.end());
        }
        completion(std::nullopt);
    }
    std::string debugDescription() const override { return description; }

    std::vector<ne::Datagram> written() const {
        std::lock_guard lock(mutex_);
        return written_;
    }

    std::atomic<int> opens{0};
    std::atomic<int> reads{0};
    std::optional<ne::FlowError> openError;
    std::optional<ne::FlowError> writeError;  // every write fails with it, writing nothing
    std::string description = "fake UDP flow";

private:
    std::vector<ne::Datagram> datagrams_;
    std::optional<ne::EndpointList> endpoints_;
    mutable std::mutex mutex_;
    std::vector<ne::Datagram> written_;
};

class FakeTCPFlow : public ne::AppProxyTCPFlow {
public:
    void openWithLocalEndpoint(std::shared_ptr<ne::HostEndpoint>, Completion completion) override {
        ++opens;
        completion(std::nullopt);
    }
    std::shared_ptr<ne::Endpoint> remoteEndpoint() const override { return ne::HostEndpoint::make("127.0.0.1", "53"); }
    std::string debugDescription() const override { return "fake TCP flow"; }
    std::atomic<int> opens{0};
};

// A provider whose HTTPS road and reports are recorded instead of taken.
class RecordingProvider : public DNSProxyProvider {
public:
    void forwardQueryOverHttps(const ne::Datagram& query, std::optional<ne::EndpointList> endpoints,
                               std::shared_ptr<ne::AppProxyUDPFlow> flow) override {
        if (!recordForwarding) {
            DNSProxyProvider::forwardQueryOverHttps(query, std::move(endpoints), std::move(flow));
            return;
        }
        forwarded.push_back(query);
    }
    void recordConnectionReport(const http::DataResponse& response, std::int64_t requestBytes) override {
        reports.emplace_back(response, requestBytes);
    }

    bool recordForwarding = true;
    std::vector<ne::Datagram> forwarded;
    std::vector<std::pair<http::DataResponse, std::int64_t>> reports;
};

// Every test gets a state folder of its own.
class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brimvale-engine-XXXXXX";
        state_ = mkdtemp(pattern);
        setenv("BRIMVALE_STATE_DIR", state_.c_str(), 1);
        oslog::setMinimumLevel(oslog::Level::debug);
        provider_ = std::make_shared<RecordingProvider>();
    }
    void TearDown() override {
        provider_.reset();
        dispatch::drainMain();
        std::filesystem::remove_all(state_);
    }

    // Starts the provider with this configuration and waits for the completion.
    std::optional<ne::ProviderError> start(std::optional<std::map<std::string, std::string>> configuration) {
        std::optional<foundation::Dictionary> options;
        if (configuration) {
            foundation::Dictionary vendorData;
            for (const auto& [key, value] : *configuration) vendorData[key] = value;
            options = foundation::Dictionary{{"VendorData", vendorData}};
        }
        bool done = false;
        std::optional<ne::ProviderError> outcome;
        provider_->startProxy(options, [&](std::optional<ne::ProviderError> error) {
            outcome = error;
            done = true;
        });
        EXPECT_TRUE(dispatch::runMainUntil([&] { return done; }, 5s));
        return outcome;
    }

    static std::map<std::string, std::string> fullConfiguration() {
        return {{"deviceName", "Brimvale"}, {"serverAddress", "dns.brimvale.example"},
                {"macAddress", "aa:bb:cc:dd:ee:ff"}, {"deviceId", "dev-1"},
                {"userName", "alice"}, {"region", "syd-1"}, {"bypassDomains", ""}};
    }

    std::filesystem::path state_;
    oslog::MemorySink log_;
    std::shared_ptr<RecordingProvider> provider_;
};

}  // namespace enginetest
