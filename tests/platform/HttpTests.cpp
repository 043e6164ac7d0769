#include "dispatch/Dispatch.h"
#include "http/Session.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

// A one-connection-at-a-time HTTP/1.1 server on loopback that answers each request
// with a canned reply and remembers the last request it read.
class LoopbackServer {
public:
    explicit LoopbackServer(const std::string& reply, bool silent = false) : reply_(reply), silent_(silent) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        ::listen(listener_, 8);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::string lastRequest() {
        std::lock_guard lock(mutex_);
        return lastRequest_;
    }

private:
    void serve() {
        while (!stopping_) {
            int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) return;
            std::string request;
            char buffer[4096];
            // Read the head, then as many body bytes as Content-Length names.
            while (request.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = ::read(client, buffer, sizeof buffer);
                if (n <= 0) break;
                request.append(buffer, n);
            }
            size_t head = request.find("\r\n\r\n");
            size_t lengthAt = request.find("ontent-length: ");
            if (head != std::string::npos && lengthAt != std::string::npos) {
                size_t want = head + 4 + std::stoul(request.substr(lengthAt + 15));
                while (request.size() < want) {
                    ssize_t n = ::read(client, buffer, sizeof buffer);
                    if (n <= 0) break;
                    request.append(buffer, n);
                }
            }
            {
                std::lock_guard lock(mutex_);
                lastRequest_ = request;
            }
            if (silent_) {
                while (!stopping_ && ::read(client, buffer, sizeof buffer) > 0) {}
            } else {
                (void)!::write(client, reply_.data(), reply_.size());
            }
            ::close(client);
        }
    }

    std::string reply_;
    bool silent_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::string lastRequest_;
    std::thread thread_;
};

std::optional<http::DataResponse> await(http::DataRequest& request) {
    std::optional<http::DataResponse> result;
    request.responseData([&](const http::DataResponse& response) { result = response; });
    dispatch::runMainUntil([&] { return result.has_value(); }, 10s);
    return result;
}

int unusedPort() {
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

}  // namespace

TEST(HttpSession, UploadSendsBodyAndHeadersAndDeliversTheAnswerOnTheMainQueue) {
    LoopbackServer server(
        "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nX-Brimvale-Cookie: abc\r\nConnection: close\r\n\r\n\x01\x00\x02"s);
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    auto request = session.upload({0x12, 0x34, 0x00}, server.url("/dns-query"), "POST",
                                  {{"Content-type", "application/dns-udpwireformat"},
                                   {"Content-length", "3"},
                                   {"X-Brimvale-Cookie", ""}});
    bool onMain = false;
    std::optional<http::DataResponse> result;
    request->validate().responseData([&](const http::DataResponse& response) {
        onMain = dispatch::DispatchQueue::main().isCurrent();
        result = response;
    });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return result.has_value(); }, 10s));
    EXPECT_TRUE(onMain);
    ASSERT_TRUE(result->isSuccess()) << result->error->detail;
    ASSERT_TRUE(result->response);
    EXPECT_EQ(result->response->statusCode, 200);
    EXPECT_EQ(result->response->valueForHTTPHeaderField("x-brimvale-cookie"), "abc");
    EXPECT_EQ(result->response->headerField("X-Brimvale-Cookie"), "abc");
    EXPECT_FALSE(result->response->headerField("x-brimvale-cookie"));
    EXPECT_EQ(*result->data, (http::Bytes{1, 0, 2}));

    const std::string sent = server.lastRequest();
    EXPECT_TRUE(sent.starts_with("POST /dns-query HTTP/1.1\r\n")) << sent;
    EXPECT_NE(sent.find("\r\nContent-type: application/dns-udpwireformat\r\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("\r\nContent-length: 3\r\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("\r\nX-Brimvale-Cookie:"), std::string::npos) << sent;  // sent although empty
    EXPECT_EQ(sent.find("Content-Type: application/x-www-form-urlencoded"), std::string::npos) << sent;
    EXPECT_TRUE(sent.ends_with(std::string("\r\n\r\n\x12\x34\x00", 7)));
}

TEST(HttpSession, ValidationFailsStatusesOutsideTwoHundredsButKeepsTheResponse) {
    LoopbackServer server("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\nConnection: close\r\n\r\ngone");
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    auto validated = await(session.request(server.url())->validate());
    ASSERT_TRUE(validated);
    ASSERT_TRUE(validated->error);
    EXPECT_EQ(validated->error->code, http::Error::Code::unacceptableStatusCode);
    EXPECT_EQ(validated->error->localizedDescription, "Response status code was unacceptable: 404.");
    EXPECT_EQ(validated->response->statusCode, 404);
    EXPECT_EQ(std::string(validated->data->begin(), validated->data->end()), "gone");

    auto unvalidated = await(*session.request(server.url()));
    ASSERT_TRUE(unvalidated);
    EXPECT_TRUE(unvalidated->isSuccess());
}

TEST(HttpSession, JsonHandlerParsesFragmentsAndReportsBadJson) {
    LoopbackServer number("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\n42");
    LoopbackServer text("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    std::optional<http::JSONResponse> good, bad;
    session.request(number.url())->responseJSON([&](const http::JSONResponse& r) { good = r; });
    session.request(text.url())->responseJSON([&](const http::JSONResponse& r) { bad = r; });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return good && bad; }, 10s));
    EXPECT_EQ(good->value, nlohmann::json(42));
    EXPECT_FALSE(bad->value);
    ASSERT_TRUE(bad->error);
    EXPECT_EQ(bad->response->statusCode, 200);
}

TEST(HttpSession, FailuresWithoutAResponse) {
    http::SessionConfiguration configuration;
    configuration.timeoutIntervalForResource = 300ms;
    configuration.waitsForConnectivity = true;
    http::Session session(configuration);

    auto refused = await(*session.request("http://127.0.0.1:" + std::to_string(unusedPort()) + "/"));
    ASSERT_TRUE(refused && refused->error);
    EXPECT_EQ(refused->error->code, http::Error::Code::cannotConnectToHost);
    EXPECT_FALSE(refused->response);

    LoopbackServer silent("", true);
    const auto start = std::chrono::steady_clock::now();
    auto timedOut = await(*session.request(silent.url()));
    ASSERT_TRUE(timedOut && timedOut->error);
    EXPECT_EQ(timedOut->error->code, http::Error::Code::timedOut);
    EXPECT_EQ(timedOut->error->localizedDescription, "The request timed out.");
    EXPECT_FALSE(timedOut->response);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST(HttpSession, InvalidatedSessionFinishesRunningRequestsAndRefusesNewOnes) {
    LoopbackServer server("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
    auto session = std::make_unique<http::Session>(http::SessionConfiguration::defaultConfiguration());
    std::optional<http::DataResponse> running, late;
    session->request(server.url())->responseData([&](const http::DataResponse& r) { running = r; });
    session->finishTasksAndInvalidate();
    session->request(server.url())->responseData([&](const http::DataResponse& r) { late = r; });
    session.reset();
    ASSERT_TRUE(dispatch::runMainUntil([&] { return running && late; }, 10s));
    EXPECT_TRUE(running->isSuccess());
    EXPECT_EQ(running->response->statusCode, 204);
    ASSERT_TRUE(late->error);
    EXPECT_EQ(late->error->code, http::Error::Code::cancelled);
}

TEST(HttpSession, ResolveOverridePointsAHostNameAtLoopback) {
    LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    const std::string port = server.url().substr(std::string("http://127.0.0.1:").size(),
                                                 server.url().size() - std::string("http://127.0.0.1:/").size());
    http::setResolveOverrides({"probe.brimvale.example:" + port + ":127.0.0.1"});
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    auto result = await(*session.request("http://probe.brimvale.example:" + port, "GET", {{"Connection", "close"}}));
    http::setResolveOverrides({});
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->isSuccess()) << result->error->detail;
    EXPECT_NE(server.lastRequest().find("Host: probe.brimvale.example:" + port), std::string::npos);
    EXPECT_NE(server.lastRequest().find("Connection: close"), std::string::npos);
}
