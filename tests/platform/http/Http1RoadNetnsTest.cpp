// The HTTP/1.1 road against an HTTPS server that offers nothing else: a server that
// fails sees one attempt at a time with waits between them, not a connection per
// request; a good one sees a few connections however many requests come at once; and
// answers come again soon after a failing server is good again.

#include "http/CurlTransfers.h"
#include "http/HttpTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Code = http::Error::Code;

namespace {

const std::string http1Server =
    (std::filesystem::path(__FILE__).parent_path() / "../../integration/servers/http1_server.py").string();
const std::string origin = "https://doh.test:8443";

// The test server, in a mode the test may change: "answer", "close" or "silent".
struct Http1Server : TlsServer {
    explicit Http1Server(const std::string& mode)
        : TlsServer("doh.test", 8443, "/usr/bin/python3 " + http1Server + " --port 8443 --cert cert.pem --key key.pem "
                                      "--log log --mode-file mode") {
        setMode(mode);
    }
    void setMode(const std::string& mode) { std::ofstream(path("mode")) << mode; }
    // Connections it accepted that the client sent something on.
    std::size_t connections() const {
        return countLines(path("log"), "connection");
    }
};

std::shared_ptr<http::DataRequest> query(http::Session& session, const std::string& body = "query") {
    return session.upload(bytes(body), origin + "/dns-query", "POST");
}

// Queries made for `length`, `perTick` every `tick`; runs until all have ended and
// gives their responses.
std::vector<http::DataResponse> steadyQueries(http::Session& session, std::chrono::milliseconds length,
                                              std::chrono::milliseconds tick, int perTick) {
    return steadyRequests([&] { return query(session); }, length, tick, perTick);
}

class Http1Road : public ::testing::Test {
protected:
    void start(const std::string& mode, std::chrono::milliseconds timeout) {
        http::SessionConfiguration configuration;
        configuration.timeoutIntervalForResource = timeout;
        session_.emplace(configuration);
        server_.emplace(mode);
        ASSERT_TRUE(server_->started());
    }
    Http1Server& server() { return *server_; }
    http::Session& session() { return *session_; }

private:
    std::optional<Http1Server> server_;
    std::optional<http::Session> session_;  // goes first
};

}  // namespace

TEST_F(Http1Road, ServerClosingEveryConnectionSeesOneAttemptAtATimeWithWaitsBetween) {
    start("close", 300ms);
    // 2,000 queries a second; each ends within its time-out, most while waiting.
    for (const auto& response : steadyQueries(session(), 2500ms, 5ms, 10)) ASSERT_TRUE(response.error);
    // The HTTP/2 attempt that learnt the server has nothing else, then waits of 50 ms
    // doubling.
    EXPECT_LE(server().connections(), 12u);
}

TEST_F(Http1Road, ServerThatNeverAnswersSeesOneAttemptAtATime) {
    start("silent", 300ms);
    const auto started = Clock::now();
    for (const auto& response : steadyQueries(session(), 2500ms, 5ms, 10)) {
        ASSERT_TRUE(response.error);
        EXPECT_EQ(response.error->code, Code::timedOut) << response.error->detail;
    }
    // No request outlives its time-out by much, waiting or not.
    EXPECT_LT(Clock::now() - started, 2500ms + 300ms + 2s);
    EXPECT_LE(server().connections(), 12u);
}

TEST_F(Http1Road, ManyRequestsAtOnceShareAFewConnections) {
    start("answer", 5s);
    std::vector<std::shared_ptr<http::DataRequest>> requests;
    for (int i = 0; i < 200; ++i) requests.push_back(query(session(), "query " + std::to_string(i)));
    for (int i = 0; i < 200; ++i) {
        const auto result = await(requests[i]);
        ASSERT_TRUE(result && result->isSuccess()) << i;
        EXPECT_EQ(std::string(result->data->begin(), result->data->end()), "query " + std::to_string(i));
    }
    EXPECT_LE(server().connections(), 1 + http::detail::CurlTransfers::kTransfersPerOrigin);
}

TEST_F(Http1Road, QueriesAreAnsweredSoonAfterTheServerIsGoodAgain) {
    start("close", 1s);
    const auto started = Clock::now();
    const auto good = started + 1s;
    std::optional<Clock::time_point> firstAnswer;
    std::size_t connectionsWhileFailing = 0;
    std::size_t sent = 0, ended = 0, sentAfterThat = 0, answeredAfterThat = 0;
    while (Clock::now() < started + 4s) {
        if (Clock::now() >= good) server().setMode("answer");
        const bool after = firstAnswer.has_value();
        ++sent;
        sentAfterThat += after;
        query(session())->responseData([&, after](const http::DataResponse& r) {
            ++ended;
            if (r.isSuccess() && !firstAnswer) {
                firstAnswer = Clock::now();
                connectionsWhileFailing = server().connections();
            }
            answeredAfterThat += after && r.isSuccess();
        });
        dispatch::runMainFor(20ms);
    }
    ASSERT_TRUE(dispatch::runMainUntil([&] { return ended == sent; }, 3s));
    ASSERT_TRUE(firstAnswer);
    // Within the longest wait between attempts.
    EXPECT_LT(*firstAnswer - good, 3500ms);
    EXPECT_GT(sentAfterThat, 0u);
    EXPECT_EQ(answeredAfterThat, sentAfterThat);
    EXPECT_LE(connectionsWhileFailing, 12u);
    EXPECT_LE(server().connections() - connectionsWhileFailing, http::detail::CurlTransfers::kTransfersPerOrigin);
}
