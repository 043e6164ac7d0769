// The HTTP/2 client against a server that misbehaves on purpose: answers beyond their
// bounds end only their own stream, refused and GOAWAY'd streams go again once, and a
// failing server sees a few connections, not a flood.

#include "http/Http2Connection.h"
#include "http/HttpTestSupport.h"

#include <dlfcn.h>
#include <malloc.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using Code = http::Error::Code;

namespace {

const std::string h2Server =
    (std::filesystem::path(__FILE__).parent_path() / "../../integration/servers/h2_server.py").string();
const std::string origin = "https://doh.test:8443";

// The test server in `mode`; the log it keeps is read by count().
struct H2Server : TlsServer {
    explicit H2Server(const std::string& mode, const std::string& options = "")
        : TlsServer("doh.test", 8443, "/usr/bin/python3 " + h2Server + " --port 8443 --cert cert.pem --key key.pem "
                                      "--log log --mode " + mode + " " + options) {}
    // Lines of the server's log that are exactly `line`: "connection", "stream /path".
    std::size_t count(const std::string& line) const { return countLines(path("log"), line); }
};

// A DNS query as the engine sends it.
std::shared_ptr<http::DataRequest> query(http::Session& session, const std::string& body = "query") {
    return session.upload(bytes(body), origin + "/dns-query", "POST");
}

::testing::AssertionResult answered(const std::optional<http::DataResponse>& result) {
    if (!result) return ::testing::AssertionFailure() << "no response in time";
    if (result->error)
        return ::testing::AssertionFailure() << result->error->localizedDescription << " " << result->error->detail;
    return ::testing::AssertionSuccess();
}

// Queries sent at once, each with its number, and their responses.
std::vector<std::optional<http::DataResponse>> queriesAtOnce(http::Session& session, int count) {
    std::vector<std::shared_ptr<http::DataRequest>> requests;
    for (int i = 0; i < count; ++i) requests.push_back(query(session, "query " + std::to_string(i)));
    std::vector<std::optional<http::DataResponse>> results;
    for (const auto& request : requests) results.push_back(await(request));
    return results;
}

// Queries made one after another for `length`, `perTick` every `tick`; runs until all
// have ended and gives their responses.
std::vector<http::DataResponse> steadyQueries(http::Session& session, std::chrono::milliseconds length,
                                              std::chrono::milliseconds tick, int perTick = 1) {
    return steadyRequests([&] { return query(session); }, length, tick, perTick);
}

// TLS that asks to write during a read every so many reads, as it does when the server
// asks for a new handshake while the socket is full: the real SSL_read, wrapped for the
// tests of this program (which run one at a time, each in a process of its own).
std::atomic<int> wantWriteEveryReads{0};
thread_local bool wantWriteTold = false;

// Each test starts the test server in the mode it needs, and a session.
class Http2Test : public ::testing::Test {
protected:
    // The session's requests time out after `timeout`. Both exist afterwards, the server
    // started or not.
    void start(const std::string& mode, std::chrono::milliseconds timeout, const std::string& options = "") {
        http::SessionConfiguration configuration;
        configuration.timeoutIntervalForResource = timeout;
        session_.emplace(configuration);
        server_.emplace(mode, options);
        ASSERT_TRUE(server_->started());
    }
    H2Server& server() { return *server_; }
    http::Session& session() { return *session_; }

private:
    std::optional<H2Server> server_;
    std::optional<http::Session> session_;  // goes first
};

class Http2Recovery : public Http2Test {};
class Http2Storms : public Http2Test {};

}  // namespace

extern "C" int SSL_read(SSL* ssl, void* buffer, int size) {
    static const auto real = reinterpret_cast<int (*)(SSL*, void*, int)>(dlsym(RTLD_NEXT, "SSL_read"));
    static std::atomic<int> reads{0};
    const int every = wantWriteEveryReads;
    wantWriteTold = every > 0 && ++reads % every == 0;
    return wantWriteTold ? -1 : real(ssl, buffer, size);
}

extern "C" int SSL_get_error(const SSL* ssl, int result) {
    static const auto real = reinterpret_cast<int (*)(const SSL*, int)>(dlsym(RTLD_NEXT, "SSL_get_error"));
    return std::exchange(wantWriteTold, false) ? SSL_ERROR_WANT_WRITE : real(ssl, result);
}

TEST_F(Http2Recovery, AnswerBeyondItsBoundsFailsItsStreamOnlyAndTheConnectionGoesOn) {
    start("answer", 5s);
    const std::vector<std::string> beyond = {"/body/endless", "/body/65536", "/announce/65536", "/headers/40000"};
    std::vector<std::shared_ptr<http::DataRequest>> requests;
    for (const auto& path : beyond) requests.push_back(session().request(origin + path));
    auto meanwhile = query(session());
    for (std::size_t i = 0; i < beyond.size(); ++i) {
        auto result = await(requests[i]);
        ASSERT_TRUE(result && result->error) << beyond[i];
        EXPECT_EQ(result->error->code, Code::dataLengthExceedsMaximum) << beyond[i];
        ASSERT_TRUE(result->response) << beyond[i];
        EXPECT_EQ(result->response->statusCode, 200);
        EXPECT_FALSE(result->data) << beyond[i];
    }
    for (const auto& request : {meanwhile, query(session(), "again")}) {
        auto result = await(request);
        ASSERT_TRUE(answered(result));
        EXPECT_EQ(result->data->size(), 5u);
    }
    // The largest DNS message still arrives whole.
    auto largest = await(session().request(origin + "/body/65535"));
    ASSERT_TRUE(answered(largest));
    EXPECT_EQ(largest->data->size(), 65535u);
    EXPECT_EQ(session().connectionsOpened(), 1u);
    EXPECT_EQ(server().count("connection"), 1u);
}

TEST_F(Http2Recovery, RefusedStreamGoesAgainOnceNotInALoop) {
    start("answer", 2s);
    ASSERT_TRUE(answered(await(session().request(origin + "/refuse-once"))));
    auto always = await(session().request(origin + "/refuse"));
    ASSERT_TRUE(always && always->error);
    EXPECT_EQ(always->error->code, Code::networkConnectionLost);
    EXPECT_EQ(server().count("stream /refuse-once"), 2u);
    EXPECT_EQ(server().count("stream /refuse"), 2u);
    EXPECT_EQ(server().count("connection"), 1u);
}

TEST_F(Http2Recovery, GoawayMovesTheStreamsItDidNotTakeToTheNextConnection) {
    start("goaway-first", 3s);
    for (const auto& result : queriesAtOnce(session(), 4)) ASSERT_TRUE(answered(result));
    EXPECT_EQ(server().count("connection"), 2u);
}

TEST_F(Http2Recovery, ServerClosingMidStreamFailsTheStreamAndTheNextRequestGetsANewConnection) {
    start("answer", 3s);
    auto cut = await(session().request(origin + "/close"));
    ASSERT_TRUE(cut && cut->error);
    EXPECT_EQ(cut->error->code, Code::networkConnectionLost);
    ASSERT_TRUE(cut->response);
    EXPECT_EQ(cut->response->statusCode, 200);
    ASSERT_TRUE(answered(await(query(session()))));
    EXPECT_EQ(server().count("connection"), 2u);
}

TEST_F(Http2Recovery, StreamIdentifiersRunningOutMoveTheRequestsToANewConnection) {
    start("answer", 3s);
    // Room for three streams only.
    http::detail::setFirstStreamIdentifier(0x7ffffffb);
    auto first = await(query(session()));
    http::detail::setFirstStreamIdentifier(1);
    ASSERT_TRUE(answered(first));
    for (const auto& result : queriesAtOnce(session(), 4)) ASSERT_TRUE(answered(result));
    EXPECT_EQ(server().count("connection"), 2u);
}

TEST_F(Http2Recovery, TlsAskingToWriteDuringAReadIsWaitedFor) {
    start("answer", 5s);
    wantWriteEveryReads = 3;
    const auto results = queriesAtOnce(session(), 200);
    wantWriteEveryReads = 0;
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(answered(results[i]));
        EXPECT_EQ(std::string(results[i]->data->begin(), results[i]->data->end()), "query " + std::to_string(i));
    }
    EXPECT_EQ(server().count("connection"), 1u);
}

TEST_F(Http2Storms, ServerEndingEveryConnectionWithGoawaySeesFewConnections) {
    start("goaway", 500ms);
    for (const auto& response : steadyQueries(session(), 2500ms, 10ms)) {
        ASSERT_TRUE(response.error);
        EXPECT_TRUE(response.error->code == Code::networkConnectionLost || response.error->code == Code::timedOut)
            << response.error->localizedDescription;
    }
    EXPECT_LE(server().count("connection"), 12u);
}

TEST_F(Http2Storms, ServerThatNeverStartsTlsSeesFewConnections) {
    start("no-tls", 300ms);
    // 2,000 queries a second.
    for (const auto& response : steadyQueries(session(), 2500ms, 5ms, 10)) {
        ASSERT_TRUE(response.error);
        EXPECT_EQ(response.error->code, Code::timedOut);
    }
    EXPECT_LE(server().count("connection"), 12u);
}

TEST_F(Http2Storms, QueriesAreAnsweredSoonAfterTheServerIsGoodAgain) {
    // The first four connections end with GOAWAY; waits of 50, 100, 200 and 400 ms follow.
    start("goaway", 1s, "--bad 4");
    const auto start = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> firstAnswer;
    std::size_t sent = 0, ended = 0, sentAfterThat = 0, answeredAfterThat = 0;
    while (std::chrono::steady_clock::now() < start + 2500ms) {
        const bool after = firstAnswer.has_value();
        ++sent;
        sentAfterThat += after;
        query(session())->responseData([&, after](const http::DataResponse& r) {
            ++ended;
            if (r.isSuccess() && !firstAnswer) firstAnswer = std::chrono::steady_clock::now();
            answeredAfterThat += after && r.isSuccess();
        });
        dispatch::runMainFor(50ms);
    }
    ASSERT_TRUE(dispatch::runMainUntil([&] { return ended == sent; }, 3s));
    ASSERT_TRUE(firstAnswer);
    EXPECT_LT(*firstAnswer - start, 1750ms);
    EXPECT_EQ(answeredAfterThat, sentAfterThat);
    EXPECT_EQ(server().count("connection"), 5u);
}

// A connection error the client finds (one test per mode: the TLS context of a process
// keeps the first certificate it trusted at a path).
class Http2ConnectionError : public Http2Test, public ::testing::WithParamInterface<const char*> {};

TEST_P(Http2ConnectionError, ClosesTheConnectionAndTheNextQueryGetsANewOne) {
    start(GetParam(), 3s, "--bad 1");
    auto first = await(query(session()));
    ASSERT_TRUE(first && first->error);
    EXPECT_EQ(first->error->code, Code::networkConnectionLost) << first->error->detail;
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(answered(await(query(session()))));
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s);
    EXPECT_EQ(server().count("connection"), 2u);
}
INSTANTIATE_TEST_SUITE_P(Frames, Http2ConnectionError, ::testing::Values("push-promise", "window-overflow"));

TEST_F(Http2Recovery, ConnectionThatFallsSilentIsLeftAfterAFewTimeOuts) {
    start("fall-silent", 1s, "--bad 1");
    ASSERT_TRUE(answered(await(query(session()))));
    // A query every 100 ms: the first three after the silence time out, then a new
    // connection answers the rest.
    const auto responses = steadyQueries(session(), 2500ms, 100ms);
    std::size_t timedOut = 0;
    for (const auto& response : responses) timedOut += response.error && response.error->code == Code::timedOut;
    EXPECT_LE(timedOut, 12u);
    ASSERT_FALSE(responses.empty());
    EXPECT_TRUE(responses.back().isSuccess());
    EXPECT_EQ(server().count("connection"), 2u);
}

TEST_F(Http2Recovery, ConnectionThatAcknowledgesPingsButAnswersNoStreamIsLeftAfterAFewTimeOuts) {
    start("hung", 2s, "--bad 1");
    std::vector<std::optional<http::DataResponse>> responses(8);
    for (std::size_t i = 0; i < responses.size(); ++i) {
        query(session())->responseData([&responses, i](const http::DataResponse& response) { responses[i] = response; });
        dispatch::runMainFor(1s);
    }
    dispatch::runMainUntil([&] { return std::ranges::all_of(responses, [](const auto& r) { return r.has_value(); }); }, 5s);
    // At a query a second, those sent from 5 s on are answered, by a new connection.
    for (std::size_t i = 5; i < responses.size(); ++i) EXPECT_TRUE(responses[i] && responses[i]->isSuccess()) << i;
    EXPECT_EQ(server().count("connection"), 2u);
}

// A request to a path of the server's that answers `delay` after it came.
std::shared_ptr<http::DataRequest> delayed(http::Session& session, std::chrono::milliseconds delay) {
    return session.upload(bytes("query"), origin + "/delay/" + std::to_string(delay.count()), "POST");
}

TEST_F(Http2Recovery, SlowServerKeepsItsConnectionWhileItAnswersStreams) {
    // Every 250 ms one request the server answers in 1 s and three it answers too late:
    // the late ones time out together, and the connection stays, answers and all.
    start("answer", 2s);
    std::vector<http::DataResponse> inTime;
    std::size_t sent = 0, ended = 0;
    for (const auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end; ++sent) {
        delayed(session(), 1000ms)->responseData([&](const http::DataResponse& r) {
            inTime.push_back(r);
            ++ended;
        });
        for (int i = 0; i < 3; ++i) delayed(session(), 2600ms)->responseData([&](const auto&) { ++ended; });
        dispatch::runMainFor(250ms);
    }
    dispatch::runMainUntil([&] { return ended == 4 * sent; }, 15s);
    ASSERT_EQ(inTime.size(), sent);
    for (const auto& response : inTime) EXPECT_TRUE(response.isSuccess()) << response.error->detail;
    EXPECT_EQ(server().count("connection"), 1u);
}

TEST_F(Http2Recovery, RetiredConnectionsStreamsRunToTheirDeadlinesAndNewOnesTakeAnother) {
    // The first stream times out with nothing answered meanwhile: the connection takes
    // no new stream, yet the one it carries is answered in its time.
    start("answer", 2s);
    auto unanswered = delayed(session(), 10000ms);
    dispatch::runMainFor(1500ms);
    auto carried = delayed(session(), 1000ms);
    auto first = await(unanswered);
    ASSERT_TRUE(first && first->error);
    EXPECT_EQ(first->error->code, Code::timedOut);
    EXPECT_TRUE(answered(await(query(session()))));
    EXPECT_TRUE(answered(await(carried)));
    EXPECT_EQ(server().count("connection"), 2u);
}

TEST_F(Http2Recovery, RequestMadeWhileTimedOutOnesEndDelaysNoOtherTimeOut) {
    // A timed-out request's handler makes a new one on the same connection, whose
    // deadline is later than that of the request sent between them.
    start("answer", 3s);
    std::optional<http::DataResponse> followUp;
    delayed(session(), 10000ms)->responseData([&](const http::DataResponse&) {
        delayed(session(), 10000ms)->responseData([&](const http::DataResponse& r) { followUp = r; });
    });
    dispatch::runMainFor(100ms);
    auto answeredMeanwhile = delayed(session(), 300ms);  // keeps the connection serving
    dispatch::runMainFor(900ms);
    const auto sent = std::chrono::steady_clock::now();
    auto between = await(delayed(session(), 10000ms), 10s);
    const auto waited = std::chrono::steady_clock::now() - sent;
    ASSERT_TRUE(between && between->error);
    EXPECT_EQ(between->error->code, Code::timedOut);
    EXPECT_LT(waited, 4s) << "timed out at the later request's deadline";
    EXPECT_TRUE(answered(await(answeredMeanwhile)));
    dispatch::runMainUntil([&] { return followUp.has_value(); }, 10s);
}

TEST_F(Http2Recovery, QueryAfterAQuietSpellAsksForAPingAndAnUnansweredOneEndsTheConnection) {
    start("fall-silent", 6s, "--bad 1");
    ASSERT_TRUE(answered(await(query(session()))));
    dispatch::runMainFor(1200ms);
    const auto sent = std::chrono::steady_clock::now();
    auto unanswered = await(query(session()));
    ASSERT_TRUE(unanswered && unanswered->error);
    EXPECT_EQ(unanswered->error->code, Code::networkConnectionLost);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 3s);
    ASSERT_TRUE(answered(await(query(session()))));
    EXPECT_EQ(server().count("connection"), 2u);
}

TEST_F(Http2Recovery, AnyCompleteAnswerEndsTheWaitsBetweenConnections) {
    // Each connection answers one request with 403 and closes: the next connects at once.
    start("answer-close", 2s, "--status 403");
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 8; ++i) {
        auto result = await(query(session()));
        ASSERT_TRUE(result && result->response) << i;
        EXPECT_EQ(result->response->statusCode, 403) << i;
    }
    // Waits of 50 ms doubling would make these take more than 6 s.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1500ms);
}

namespace {
// A sanitizer keeps freed memory back for a while, so resident size says nothing there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool residentSizeTells = false;
#elif defined(__has_feature)
constexpr bool residentSizeTells = !__has_feature(address_sanitizer) && !__has_feature(thread_sanitizer);
#else
constexpr bool residentSizeTells = true;
#endif

// Resident size once the allocator has given back what it holds free.
std::size_t residentBytes() {
    ::malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}
}  // namespace

TEST_F(Http2Storms, RequestsWaitingForAStreamTimeOutAndLeaveNothingBehind) {
    start("no-streams", 300ms);
    const auto began = std::chrono::steady_clock::now();
    ASSERT_TRUE(await(query(session())));  // the connection is open, its settings known
    const std::size_t before = residentBytes();
    for (int round = 0; round < 3; ++round) {
        const auto results = queriesAtOnce(session(), 8000);
        for (const auto& result : results) {
            ASSERT_TRUE(result && result->error);
            EXPECT_EQ(result->error->code, Code::timedOut) << result->error->detail;
        }
        if (residentSizeTells) {
            EXPECT_LT(residentBytes(), before + 10 * 1024 * 1024) << "round " << round;
        }
    }
    // The streams a new connection frames before the server's settings arrive are
    // never answered, and it is left for another once one has waited a whole time-out.
    EXPECT_LE(server().count("connection"), 1 + (std::chrono::steady_clock::now() - began) / 300ms);
}
