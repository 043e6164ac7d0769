#include "dispatch/Dispatch.h"
#include "http/Session.h"
#include "http/Transfer.h"
#include "LoopbackListener.h"

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
// with a canned reply (or, when silent, never) and remembers the last request.
class LoopbackServer {
public:
    explicit LoopbackServer(const std::string& reply, bool silent = false) : reply_(reply), silent_(silent) {
        listener_ = listenOnLoopback(8, port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::string lastRequest() {
        std::lock_guard lock(mutex_);
        return lastRequest_;
    }

private:
    void serve() {
        for (int client; !stopping_ && (client = ::accept(listener_, nullptr, nullptr)) >= 0; ::close(client)) {
            // The request is complete once the client has been quiet for 100 ms.
            timeval quiet{0, 100000};
            ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &quiet, sizeof quiet);
            std::string request;
            char buffer[4096];
            for (ssize_t n; (n = ::read(client, buffer, sizeof buffer)) > 0;) request.append(buffer, n);
            {
                std::lock_guard lock(mutex_);
                lastRequest_ = request;
            }
            if (!silent_) (void)!::write(client, reply_.data(), reply_.size());
            while (silent_ && !stopping_ && ::read(client, buffer, sizeof buffer) != 0) {}
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

}  // namespace

TEST(HttpSession, UploadSendsBodyAndHeadersAndDeliversTheAnswerOnTheMainQueue) {
    LoopbackServer server(
        "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nX-Brimvale-Cookie: abc\r\nConnection: close\r\n\r\n\x01\x00\x02"s);
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    auto request = session.upload({0x12, 0x34, 0x00}, server.url("/dns-query"), "POST",
                                  {{"Content-type", "application/dns-udpwireformat"},
                                   {"Content-length", "3"},
                                   {"X-Brimvale-Cookie", ""},
                                   {"X-Brimvale-Username", "eve\r\nX-Injected: 1"}});
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
    EXPECT_NE(sent.find("\r\nX-Brimvale-Username: eveX-Injected: 1\r\n"), std::string::npos) << sent;
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

TEST(HttpSession, FailuresWithoutAResponse) {
    http::SessionConfiguration configuration;
    configuration.timeoutIntervalForResource = 300ms;
    configuration.waitsForConnectivity = true;
    http::Session session(configuration);

    const std::string closed = LoopbackServer("").url();  // nothing listens there any more
    auto refused = await(*session.request(closed));
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

TEST(HttpSession, HeaderValueWithAControlCharacterFailsItsResponseAsOverHttp2) {
    // Such a value (a cookie) would go out again with later requests.
    http::Session session(http::SessionConfiguration::defaultConfiguration());
    for (const std::string& value : {"ck\x01\x7f\rXy"s, "ck\x7f"s, "a\rb"s, "\x1b[2J"s}) {
        LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-Before: 1\r\nX-Brimvale-Cookie: " + value +
                              "\r\nConnection: close\r\n\r\nok");
        auto refused = await(*session.request(server.url()));
        ASSERT_TRUE(refused && refused->error);
        EXPECT_EQ(refused->error->code, http::Error::Code::networkConnectionLost);
        ASSERT_TRUE(refused->response);
        EXPECT_EQ(refused->response->statusCode, 200);
        EXPECT_EQ(refused->response->headerField("X-Before"), "1");
        EXPECT_FALSE(refused->response->valueForHTTPHeaderField("X-Brimvale-Cookie"));
        EXPECT_FALSE(refused->data);
    }
    // Tabs and octets beyond ASCII are parts of a value; the blanks around it are not.
    LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-Brimvale-Cookie: \ta\tb\xe9 \t\r\n"
                          "Connection: close\r\n\r\nok"s);
    auto taken = await(*session.request(server.url()));
    ASSERT_TRUE(taken && taken->isSuccess()) << taken->error->detail;
    EXPECT_EQ(taken->response->valueForHTTPHeaderField("X-Brimvale-Cookie"), "a\tb\xe9");
}

TEST(HttpSession, URLsAreReadIntoTheirPartsAndBadOnesFailAsBadURLs) {
    const auto parts = [](const std::string& text) {
        const auto url = http::detail::parseURL(text);
        return url ? url->scheme + " " + url->host + " " + std::to_string(url->port) + " " + url->path : "bad";
    };
    EXPECT_EQ(parts("HTTPS://Dns.Example:8443/dns-query?dns=AAAB#top"), "https Dns.Example 8443 /dns-query?dns=AAAB");
    EXPECT_EQ(parts("http://[::1]/a/../b"), "http ::1 80 /a/../b");
    EXPECT_EQ(parts("https://host"), "https host 443 /");
    EXPECT_EQ(parts("https://host?x"), "https host 443 /?x");
    EXPECT_EQ(parts("https://a_b.example.:/x?"), "https a_b.example. 443 /x?");
    for (const char* bad : {"ftp://host/", "host/x", "https://", "https:///x", "https:/host/", "https://u:p@host/",
                            "https://@host/", "https://host:0/", "https://host:65536/", "https://host:8x/",
                            "https://[::1/"})
        EXPECT_EQ(parts(bad), "bad") << bad;

    http::Session session(http::SessionConfiguration::defaultConfiguration());
    auto refused = await(*session.request("https:///dns-query"));
    ASSERT_TRUE(refused && refused->error);
    EXPECT_EQ(refused->error->code, http::Error::Code::badURL);
}
