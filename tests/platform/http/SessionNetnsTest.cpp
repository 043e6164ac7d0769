// HTTP transfers of one session: nothing of one request may reach another, overrides
// added while a session lives apply to its next requests, and an HTTPS server without
// HTTP/2 is reached over HTTP/1.1 with its answers whole.

#include "dispatch/Dispatch.h"
#include "http/Session.h"
#include "LoopbackListener.h"
#include "http/HttpTestSupport.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Answers each request on its own connection with `reply` and then `floodSize` octets
// more, as fast as the client takes them; records each request as sent, and how much of
// the flood the last client took before it left.
class RecordingServer {
public:
    explicit RecordingServer(std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok",
                             std::size_t floodSize = 0)
        : reply_(std::move(reply)), floodSize_(floodSize) {
        listener_ = listenOnLoopback(64, port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~RecordingServer() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    int port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // Of the last connection, once it is over.
    std::optional<std::size_t> floodWritten() {
        std::lock_guard lock(mutex_);
        return floodWritten_;
    }

private:
    void serve() {
        for (int client; (client = ::accept(listener_, nullptr, nullptr)) >= 0; ::close(client)) {
            std::string request;
            char buffer[4096];
            size_t end = std::string::npos;
            size_t bodySize = 0;
            while (end == std::string::npos || request.size() < end + 4 + bodySize) {
                ssize_t n = ::read(client, buffer, sizeof buffer);
                if (n <= 0) break;
                request.append(buffer, static_cast<size_t>(n));
                end = request.find("\r\n\r\n");
                if (auto length = request.find("Content-Length: "); length != std::string::npos && length < end)
                    bodySize = std::stoul(request.substr(length + 16));
            }
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            std::size_t flooded = 0;
            if (::send(client, reply_.data(), reply_.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(reply_.size())) {
                const std::string chunk(64 * 1024, 'x');
                for (ssize_t n = 0; flooded < floodSize_; flooded += static_cast<std::size_t>(n))
                    if ((n = ::send(client, chunk.data(), std::min(chunk.size(), floodSize_ - flooded), MSG_NOSIGNAL)) <= 0)
                        break;
            }
            std::lock_guard lock(mutex_);
            floodWritten_ = flooded;
        }
    }

    std::string reply_;
    std::size_t floodSize_;
    int listener_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::optional<std::size_t> floodWritten_;
    std::thread thread_;
};

}  // namespace

TEST(HttpTransfers, ARequestCarriesNothingOfTheOneBefore) {
    RecordingServer server;
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    auto posted = await(session.upload(bytes("first body"), url, "POST", {{"X-First", "1"}}));
    ASSERT_TRUE(posted && posted->isSuccess()) << posted->error->detail;
    auto fetched = await(session.request(url, "GET", {{"X-Second", "2"}}));
    ASSERT_TRUE(fetched && fetched->isSuccess()) << fetched->error->detail;

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].starts_with("POST / HTTP/1.1\r\n")) << requests[0];
    EXPECT_TRUE(requests[0].ends_with("\r\n\r\nfirst body")) << requests[0];
    EXPECT_TRUE(requests[1].starts_with("GET / HTTP/1.1\r\n")) << requests[1];
    EXPECT_NE(requests[1].find("\r\nX-Second: 2\r\n"), std::string::npos) << requests[1];
    EXPECT_EQ(requests[1].find("X-First"), std::string::npos) << requests[1];
    EXPECT_EQ(requests[1].find("first body"), std::string::npos) << requests[1];
    EXPECT_TRUE(requests[1].ends_with("\r\n\r\n")) << requests[1];
}

TEST(HttpTransfers, ConcurrentRequestsKeepTheirOwnHeadersAndBodies) {
    RecordingServer server;
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    constexpr int count = 20;
    std::atomic<int> succeeded{0}, done{0};
    for (int i = 0; i < count; ++i) {
        const std::string number = std::to_string(i);
        session.upload(bytes("body-" + number), url, "POST", {{"X-Number", number}, {"X-Empty", ""}})
            ->responseData([&](const http::DataResponse& response) {
                succeeded += response.isSuccess();
                ++done;
            });
    }
    ASSERT_TRUE(dispatch::runMainUntil([&] { return done == count; }, 10s));
    EXPECT_EQ(succeeded, count);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), static_cast<size_t>(count));
    for (const auto& request : requests) {
        auto at = request.find("\r\nX-Number: ");
        ASSERT_NE(at, std::string::npos) << request;
        const std::string number = request.substr(at + 12, request.find("\r\n", at + 2) - at - 12);
        EXPECT_TRUE(request.ends_with("\r\n\r\nbody-" + number)) << request;
        EXPECT_NE(request.find("\r\nX-Empty:"), std::string::npos) << request;
    }
}

TEST(HttpTransfers, OverridesAddedWhileASessionLivesApplyToItsNextRequests) {
    RecordingServer server;
    const std::string port = std::to_string(server.port());
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    http::setResolveOverrides({"first.invalid:" + port + ":127.0.0.1"});
    auto first = await(session.request("http://first.invalid:" + port + "/"));
    http::addResolveOverride("second.invalid:" + port + ":127.0.0.1");
    auto second = await(session.request("http://second.invalid:" + port + "/"));
    http::setResolveOverrides({});
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->isSuccess()) << first->error->detail;
    EXPECT_TRUE(second->isSuccess()) << second->error->detail;
}

TEST(HttpTransfers, AnswerBeyondItsBoundsEndsTheTransferAndKeepsItsStatus) {
    // Anyone on the network can answer the probe: far more than any socket holds.
    constexpr std::size_t flood = 64 << 20;
    http::SessionConfiguration configuration;
    configuration.timeoutIntervalForResource = 10s;
    http::Session session(configuration);
    auto expectCutShort = [](const std::optional<http::DataResponse>& result, long status) {
        ASSERT_TRUE(result && result->error);
        EXPECT_EQ(result->error->code, http::Error::Code::dataLengthExceedsMaximum) << result->error->detail;
        ASSERT_TRUE(result->response);
        EXPECT_EQ(result->response->statusCode, status);
        if (result->data) {
            EXPECT_LE(result->data->size(), 65535u);
        }
    };
    for (const long status : {200L, 404L}) {
        RecordingServer server("HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: application/json\r\n\r\n", flood);
        std::optional<http::JSONResponse> probe;
        session.request(server.url(), "GET", {{"Connection", "close"}})->validate().responseJSON(
            [&](const http::JSONResponse& response) { probe = response; });
        ASSERT_TRUE(dispatch::runMainUntil([&] { return probe.has_value(); }, 10s));
        expectCutShort(probe, status);
        ASSERT_TRUE(dispatch::runMainUntil([&] { return server.floodWritten().has_value(); }, 5s));
        EXPECT_LT(*server.floodWritten(), flood);
    }
    {
        RecordingServer server("HTTP/1.1 200 OK\r\n\r\n", flood);
        expectCutShort(await(session.upload(bytes("{\"items\":[]}"), server.url(), "POST",
                                            {{"Content-Type", "application/json"}})),
                       200);
        ASSERT_TRUE(dispatch::runMainUntil([&] { return server.floodWritten().has_value(); }, 5s));
        EXPECT_LT(*server.floodWritten(), flood);
    }
    {
        std::string head = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < 4000; ++i) head += "X-Filler-" + std::to_string(i) + ": " + std::string(40, 'f') + "\r\n";
        RecordingServer server(head + "\r\n");
        auto result = await(session.request(server.url()));
        expectCutShort(result, 200);
        EXPECT_LT(result->response->headerFields.size(), 1000u);
    }
}

namespace {
const std::string collector =
    (std::filesystem::path(__FILE__).parent_path() / "../../integration/servers/collector.py").string();
}  // namespace

TEST(HttpTransfers, ServerWithoutHttp2IsReachedOverHttp1AndItsLargeAnswersArriveWhole) {
    // Larger than what curl reads at once, up to the largest DNS message.
    constexpr int replySize = 65535;
    TlsServer server("stats.test", 443, "python3 " + collector + " --cert cert.pem --key key.pem --out received "
                                        "--reply-size " + std::to_string(replySize));
    ASSERT_TRUE(server.started());
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    constexpr int count = 8;
    std::vector<std::optional<http::DataResponse>> results(count);
    for (int i = 0; i < count; ++i) {
        session.upload(bytes("{}"), "https://stats.test/device/-/extension", "POST", {{"Content-Type", "application/json"}})
            ->responseData([&results, i](const http::DataResponse& response) { results[i] = response; });
    }
    ASSERT_TRUE(dispatch::runMainUntil([&] {
        return std::all_of(results.begin(), results.end(), [](const auto& result) { return result.has_value(); });
    }, 10s));
    for (const auto& result : results) {
        ASSERT_TRUE(result->isSuccess()) << result->error->localizedDescription << " " << result->error->detail;
        EXPECT_EQ(result->data->size(), static_cast<std::size_t>(replySize));
    }
}

TEST(HttpTransfers, Http2ServerThatNeverAnswersTimesTheRequestsOut) {
    // TLS with HTTP/2 agreed, then silence.
    TlsServer server("silent.test", 8443, "sleep 30 | openssl s_server -quiet -accept 127.0.0.1:8443 -alpn h2 "
                                          "-cert cert.pem -key key.pem");
    ASSERT_TRUE(server.started());
    http::SessionConfiguration configuration;
    configuration.timeoutIntervalForResource = 400ms;
    http::Session session(configuration);
    std::optional<http::DataResponse> first, second;
    session.upload(bytes("query"), "https://silent.test:8443/dns-query")->responseData([&](const http::DataResponse& r) { first = r; });
    session.request("https://silent.test:8443/")->responseData([&](const http::DataResponse& r) { second = r; });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return first && second; }, 5s));
    for (const auto& result : {*first, *second}) {
        ASSERT_TRUE(result.error);
        EXPECT_EQ(result.error->code, http::Error::Code::timedOut);
        EXPECT_FALSE(result.response);
    }
    EXPECT_EQ(session.connectionsOpened(), 1u);
}

TEST(HttpTransfers, Http2ConnectionNotSetUpWithinTheTimeOutIsGivenUp) {
    // Accepts (the kernel completes the handshake) and never speaks TLS.
    int port = 0;
    const int listener = listenOnLoopback(16, port);
    http::SessionConfiguration configuration;
    configuration.timeoutIntervalForResource = 300ms;
    http::Session session(configuration);
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/dns-query";
    for (std::size_t attempt = 1; attempt <= 2; ++attempt) {
        auto result = await(session.upload(bytes("query"), url, "POST"));
        ASSERT_TRUE(result && result->error);
        EXPECT_EQ(result->error->code, http::Error::Code::timedOut);
        // The next request does not wait behind the connection that never came up.
        EXPECT_EQ(session.connectionsOpened(), attempt);
    }
    ::close(listener);
}

TEST(HttpTransfers, Http2ServerMustProveItsNameWithATrustedCertificate) {
    TlsServer server("silent.test", 8443, "sleep 30 | openssl s_server -quiet -accept 127.0.0.1:8443 -alpn h2 "
                                          "-cert cert.pem -key key.pem");
    ASSERT_TRUE(server.started());
    http::addResolveOverride("other.test:8443:127.0.0.1");
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    auto wrongName = await(session.request("https://other.test:8443/"), 5s);
    http::setCertificateAuthorityBundle("/dev/null");  // trusts nobody
    http::Session another(http::SessionConfiguration::defaultConfiguration());
    auto untrusted = await(another.request("https://silent.test:8443/"), 5s);
    http::setCertificateAuthorityBundle("/nonexistent/ca.pem");  // no trust store at all
    http::Session withoutTrust(http::SessionConfiguration::defaultConfiguration());
    auto noTrustStore = await(withoutTrust.request("https://silent.test:8443/"), 5s);
    for (const auto& result : {wrongName, untrusted, noTrustStore}) {
        ASSERT_TRUE(result && result->error);
        EXPECT_EQ(result->error->code, http::Error::Code::secureConnectionFailed) << result->error->detail;
        EXPECT_FALSE(result->response);
    }
}
