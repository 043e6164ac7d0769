// HTTP transfers that share a session's reused handles: nothing of one request may
// reach another, and overrides added while a session lives apply to its next requests.

#include "dispatch/Dispatch.h"
#include "http/Session.h"
#include "LoopbackListener.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Answers each request on its own connection and records the request as sent.
class RecordingServer {
public:
    RecordingServer() {
        listener_ = listenOnLoopback(64, port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~RecordingServer() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    int port() const { return port_; }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
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
            const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
            (void)!::write(client, reply.data(), reply.size());
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

http::Bytes bytes(const std::string& text) { return http::Bytes(text.begin(), text.end()); }

std::optional<http::DataResponse> await(const std::shared_ptr<http::DataRequest>& request) {
    std::optional<http::DataResponse> result;
    request->responseData([&](const http::DataResponse& response) { result = response; });
    dispatch::runMainUntil([&] { return result.has_value(); }, 10s);
    return result;
}

}  // namespace

TEST(HttpTransfers, AReusedHandleCarriesNothingOfTheRequestBefore) {
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
