// The connection's rules: its turns to connect, its reads and writes, its time-outs and
// liveness, and its one way to end. The HTTP/2 session and its streams are in
// Http2Streams.cpp.
#include "http/Http2Connection.h"

#include <asio/connect.hpp>
#include <asio/ip/address.hpp>
#include <asio/post.hpp>

#include <algorithm>
#include <utility>

namespace http::detail {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Reading stops after this much in one turn, so a flood of answers cannot starve the
// queue's other work; the rest is read in the next turn.
constexpr std::size_t kReadPerTurn = 1024 * 1024;
// Rounds of reading and telling in one task.
constexpr int kReadRoundsPerTurn = 4;

// Frames are handed to TLS in batches of about this size.
constexpr std::size_t kWriteBatch = 64 * 1024;
constexpr auto kConnectivityRetry = 250ms;
// Streams open at once, whatever more the server allows: requests beyond wait in the
// connection's own queue, where expiring one costs nothing, not in nghttp2's, where
// resetting one is a search of that queue.
constexpr std::uint32_t kMostOpenStreams = 1024;
// A request sent after this long without a frame from the server asks for a PING, and
// a PING not answered within kPingTimeout closes the connection.
constexpr auto kQuietBeforePing = 1s;
constexpr auto kPingTimeout = 2s;

Error connectError(const std::error_code& error) {
    if (error == asio::error::network_unreachable || error == asio::error::host_unreachable ||
        error == asio::error::network_down)
        return makeError(Error::Code::notConnectedToInternet, error.message());
    if (error == asio::error::timed_out) return makeError(Error::Code::timedOut, error.message());
    return makeError(Error::Code::cannotConnectToHost, error.message());
}

}  // namespace

Http2Connection::Http2Connection(asio::io_context& context, URL origin, TransferOwner& owner, Setup setup)
    : context_(context), origin_(std::move(origin)), authority_(origin_.authority()), owner_(&owner),
      setup_(std::move(setup)), tls_(context), attemptTimer_(context), sweepTimer_(context), pingTimer_(context) {
    output_.reserve(2 * kWriteBatch);
}

Http2Connection::~Http2Connection() {
    if (session_) nghttp2_session_del(session_);
}

// ---- Requests in ----

void Http2Connection::submit(std::shared_ptr<DataRequest> request) {
    armSweep(request->deadline_);
    switch (state_) {
    case State::open:
        if (waiting_.empty() && openStreams_ < streamLimit()) {
            askForPingIfQuiet(request->deadline_ - setup_.timeout);
            submitStream(request);
        } else {
            wait(std::move(request));
        }
        scheduleFlush();
        return;
    case State::closed:
        finish(request, failure(request->url_, connectionLost("connection closed")));
        return;
    case State::idle:
        wait(std::move(request));
        connectInTurn();
        return;
    case State::waiting:
    case State::connecting:
        wait(std::move(request));
        return;
    }
}

void Http2Connection::wait(std::shared_ptr<DataRequest> request) {
    // In the order of their deadlines, so that the sweep looks at the front only: a
    // request sent again after a refusal may be older than those waiting.
    if (waiting_.empty() || waiting_.back()->deadline_ <= request->deadline_) {
        waiting_.push_back(std::move(request));
        return;
    }
    const auto later = std::upper_bound(waiting_.begin(), waiting_.end(), request->deadline_,
                                        [](auto deadline, const auto& other) { return deadline < other->deadline_; });
    waiting_.insert(later, std::move(request));
}

std::uint32_t Http2Connection::streamLimit() const {
    return std::min(nghttp2_session_get_remote_settings(session_, NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS),
                    kMostOpenStreams);
}

void Http2Connection::handOverWaiting() {
    if (waiting_.empty() || !owner_) return;
    std::vector<std::shared_ptr<DataRequest>> requests(std::make_move_iterator(waiting_.begin()),
                                                       std::make_move_iterator(waiting_.end()));
    waiting_.clear();
    owner_->reroute(std::move(requests), false);
}

void Http2Connection::startWaitingStreams() {
    if (waiting_.empty()) return;
    const std::uint32_t limit = streamLimit();
    while (!waiting_.empty() && openStreams_ < limit && state_ == State::open) {
        auto request = std::move(waiting_.front());
        waiting_.pop_front();
        submitStream(request);
    }
}

void Http2Connection::finish(const std::shared_ptr<DataRequest>& request, DataResponse response) {
    request->done_ = true;
    if (owner_) owner_->finished(request, std::move(response));
}

// ---- Connecting ----

void Http2Connection::connectInTurn() {
    const auto turn = setup_.attempts->notBefore;
    if (Clock::now() < turn) {
        waitForTurn(turn);
        return;
    }
    connect();
}

void Http2Connection::waitForTurn(Clock::time_point turn) {
    state_ = State::waiting;
    attemptTimer_.expires_at(turn);
    attemptTimer_.async_wait([self = shared_from_this()](const std::error_code& error) {
        if (error || self->state_ != State::waiting) return;
        // Requests that timed out meanwhile are gone; the next one starts the attempt.
        if (self->waiting_.empty())
            self->state_ = State::idle;
        else
            self->connect();
    });
}

void Http2Connection::connect() {
    state_ = State::connecting;
    attemptTimer_.expires_after(setup_.timeout);
    attemptTimer_.async_wait([self = shared_from_this()](const std::error_code& error) {
        // Not set up within a request's time-out (a server that accepts and never
        // answers): the requests still waiting go to the next connection, which waits
        // its turn.
        if (!error && self->state_ == State::connecting)
            self->tearDown(makeError(Error::Code::timedOut), Waiting::toNextConnection);
    });
    const Hooks hooks = currentHooks();
    std::string host = origin_.host;
    if (auto address = overriddenAddress(hooks, origin_.host, origin_.port)) host = *address;
    std::error_code error;
    const auto address = asio::ip::make_address(host, error);
    if (!error) {
        connectTo(std::vector<asio::ip::tcp::endpoint>{{address, origin_.port}});
        return;
    }
    // Names are resolved off the queue (asio's resolver thread), so it never blocks.
    resolver_ = std::make_shared<asio::ip::tcp::resolver>(context_);
    resolver_->async_resolve(host, std::to_string(origin_.port),
                             [self = shared_from_this(), resolver = resolver_](
                                 const std::error_code& resolveError, asio::ip::tcp::resolver::results_type results) {
                                 if (self->state_ != State::connecting) return;
                                 if (resolveError || results.empty()) {
                                     self->connectFailed(makeError(Error::Code::cannotFindHost,
                                                                   resolveError ? resolveError.message() : "no address"));
                                     return;
                                 }
                                 self->connectTo(results);
                             });
}

template <class Endpoints>
void Http2Connection::connectTo(const Endpoints& endpoints) {
    if (owner_) owner_->connectionOpened();
    asio::async_connect(tls_.socket(), endpoints,
                        [self = shared_from_this()](const std::error_code& error, const asio::ip::tcp::endpoint&) {
                            if (self->state_ != State::connecting) return;
                            if (error) {
                                self->connectFailed(connectError(error));
                                return;
                            }
                            self->tls_.handshake(self->origin_.host, [self](const std::optional<Error>& failure) {
                                if (self->state_ != State::connecting) return;
                                if (failure)
                                    self->connectFailed(*failure);
                                else
                                    self->opened();
                            });
                        });
}

void Http2Connection::connectFailed(const Error& error) {
    logConnectionFailure(authority_, error);
    if (error.code == Error::Code::notConnectedToInternet && setup_.waitsForConnectivity && !retired_ &&
        !waiting_.empty()) {
        // No way out yet: try again shortly; the requests time out meanwhile if it stays so.
        tls_.close();
        waitForTurn(Clock::now() + kConnectivityRetry);
        return;
    }
    tearDown(error);
}

void Http2Connection::opened() {
    if (!tls_.choseHttp2()) {
        tearDown(connectionLost("The server does not speak HTTP/2."), Waiting::toHttp1);
        return;
    }
    if (!startSession()) return;
    state_ = State::open;
    attemptTimer_.cancel();
    lastHeard_ = Clock::now();
    startWaitingStreams();
    scheduleFlush();
    waitReadable();
}

// ---- Reading ----

void Http2Connection::waitReadable() {
    if (readWaiting_) return;
    readWaiting_ = true;
    tls_.socket().async_wait(asio::ip::tcp::socket::wait_read,
                             [self = shared_from_this()](const std::error_code& error) {
                                 self->readWaiting_ = false;
                                 if (error || self->state_ != State::open) return;
                                 self->onReadable();
                             });
}

Http2Connection::Read Http2Connection::readSocket(std::size_t& total) {
    ssize_t refusal = 0;
    auto end = tls_.readAvailable(kReadPerTurn, total, [this, &refusal](std::span<const std::uint8_t> data) {
        refusal = nghttp2_session_mem_recv(session_, data.data(), data.size());
        return refusal >= 0;
    });
    using Status = TlsStream::ReadEnd::Status;
    switch (end.status) {
    case Status::empty: return Read::empty;
    case Status::shortRead: return Read::shortRead;
    case Status::budgetUsed: return Read::turnFull;
    case Status::refused: end.reason = nghttp2_strerror(static_cast<int>(refusal)); break;
    case Status::wantWrite:
    case Status::ended: break;
    }
    tellClosedStreams();
    if (end.status == Status::wantWrite) {
        readWaitsForWrite_ = true;
        waitWritable();
    } else {
        tearDown(connectionLost(std::move(end.reason)));
    }
    return Read::ended;
}

void Http2Connection::onReadable() {
    auto self = shared_from_this();  // a handler may let go of the connection
    std::size_t total = 0;
    // Telling the answers takes a while, and more come meanwhile: the socket is read
    // again after they are told, a few times per task, so that the slots those free
    // are not left idle until the queue's other work is done.
    for (int round = 0;; ++round) {
        const std::size_t before = total;
        const std::uint64_t framesBefore = framesReceived_;
        const Read read = readSocket(total);
        if (read == Read::ended) return;
        if (framesReceived_ != framesBefore) lastHeard_ = Clock::now();
        // The stream slots these answers freed go to waiting requests before the answers'
        // handlers run, so the server works on them meanwhile: the connection carries as
        // much as its round trip allows.
        flush();
        tellClosedStreams();
        if (state_ != State::open) return;
        if (read == Read::turnFull) {
            // A flood of answers: the rest is read after the queue's other work.
            asio::post(context_, [self] {
                if (self->state_ == State::open) self->onReadable();
            });
            return;
        }
        if (read == Read::shortRead || total == before || round + 1 == kReadRoundsPerTurn) break;
    }
    // Watched again after the work this read queued, so the answers leave first.
    asio::post(context_, [self] {
        if (self->state_ == State::open) self->waitReadable();
    });
}

// ---- Writing ----

void Http2Connection::scheduleFlush() {
    if (flushScheduled_) return;
    flushScheduled_ = true;
    // Runs after the work already queued in this turn, so its requests go out together.
    asio::post(context_, [self = shared_from_this()] { self->flush(); });
}

void Http2Connection::flush() {
    flushScheduled_ = false;
    if (state_ != State::open || writeWaiting_) return;
    startWaitingStreams();  // whose handlers may have ended the connection
    if (state_ != State::open || !writeFrames()) return;
    // Streams reset by us close once their reset is written.
    tellClosedStreams();
    // nghttp2 wants neither once the connection is over: the server's GOAWAY has been
    // answered, or ours (after an error in what the server sent) is written.
    if (state_ == State::open && written_ == output_.size() && !nghttp2_session_want_read(session_) &&
        !nghttp2_session_want_write(session_))
        tearDown(connectionLost("The server ended the connection."));
}

bool Http2Connection::writeFrames() {
    for (;;) {
        if (written_ == output_.size() && !frameBatch()) return false;
        if (output_.empty()) return true;
        const auto written = tls_.write(output_.data() + written_, output_.size() - written_);
        switch (written.status) {
        case TlsStream::Written::Status::some: written_ += written.count; break;
        case TlsStream::Written::Status::wantWrite: waitWritable(); return true;
        case TlsStream::Written::Status::wantRead: return true;  // the next read flushes again
        case TlsStream::Written::Status::failed: tearDown(connectionLost(written.reason)); return false;
        }
    }
}

bool Http2Connection::frameBatch() {
    output_.clear();
    written_ = 0;
    while (output_.size() < kWriteBatch) {
        const std::uint8_t* data = nullptr;
        const auto count = nghttp2_session_mem_send(session_, &data);
        if (count < 0) {
            tearDown(connectionLost(nghttp2_strerror(static_cast<int>(count))));
            return false;
        }
        if (count == 0) break;
        output_.insert(output_.end(), data, data + count);
    }
    return true;
}

void Http2Connection::waitWritable() {
    if (writeWaiting_) return;
    writeWaiting_ = true;
    tls_.socket().async_wait(asio::ip::tcp::socket::wait_write,
                             [self = shared_from_this()](const std::error_code& error) {
                                 self->writeWaiting_ = false;
                                 if (error || self->state_ != State::open) return;
                                 if (std::exchange(self->readWaitsForWrite_, false)) self->onReadable();
                                 self->flush();
                             });
}

// ---- Ending ----

void Http2Connection::retire() {
    if (retired_) return;
    retired_ = true;
    if (!answered_) setup_.attempts->failed();
    if (owner_) owner_->retired(*this);
}

void Http2Connection::tearDown(const Error& error, Waiting waiting) {
    if (state_ == State::closed) return;
    state_ = State::closed;
    retire();
    tls_.close();
    if (resolver_) resolver_->cancel();
    attemptTimer_.cancel();
    sweepTimer_.cancel();
    pingTimer_.cancel();
    openStreams_ = 0;
    auto streams = std::move(streams_);
    streams_.clear();
    // The streams' entries were nghttp2's user data: both go together.
    if (session_) nghttp2_session_del(std::exchange(session_, nullptr));
    std::vector<std::shared_ptr<DataRequest>> requests(std::make_move_iterator(waiting_.begin()),
                                                       std::make_move_iterator(waiting_.end()));
    waiting_.clear();
    for (auto& [id, request, answersBefore] : streams) {
        if (!request || request->done_) continue;
        finish(request, received(*request, error, request->gotBody_));
    }
    if (waiting == Waiting::fail) {
        for (const auto& request : requests) finish(request, failure(request->url_, error));
    } else if (owner_ && !requests.empty()) {
        owner_->reroute(std::move(requests), waiting == Waiting::toHttp1);
    }
}

void Http2Connection::cancel(const Error& error) {
    tearDown(error);
    owner_ = nullptr;
}

// ---- Time-outs: one timer for the whole connection ----

void Http2Connection::armSweep(Clock::time_point deadline) {
    if (sweepArmed_ && sweepAt_ <= deadline) return;
    sweepArmed_ = true;
    sweepAt_ = deadline;
    // Setting the time cancels a later wait, whose handler then does nothing.
    sweepTimer_.expires_at(deadline);
    sweepTimer_.async_wait([self = shared_from_this()](const std::error_code& error) {
        if (error) return;
        self->sweepArmed_ = false;
        self->sweep();
    });
}

void Http2Connection::sweep() {
    // Requests wait, and streams open, in the order of their deadlines, so the expired
    // ones are at the front: each costs the same, however many are behind it.
    const auto now = Clock::now();
    std::vector<std::shared_ptr<DataRequest>> expired;
    while (!waiting_.empty() && waiting_.front()->deadline_ <= now) {
        expired.push_back(std::move(waiting_.front()));
        waiting_.pop_front();
    }
    const std::size_t waitingExpired = expired.size();
    const std::uint64_t answers = answers_;
    auto next = waiting_.empty() ? Clock::time_point::max() : waiting_.front()->deadline_;
    bool stoppedServing = false;
    for (const auto& [id, request, answersBefore] : streams_) {
        if (!request || request->done_) continue;
        if (request->deadline_ > now) {
            next = std::min(next, request->deadline_);
            break;
        }
        // The stream stays until nghttp2 closes it, after the reset is written.
        nghttp2_submit_rst_stream(session_, NGHTTP2_FLAG_NONE, id, NGHTTP2_CANCEL);
        expired.push_back(request);
        // It waited a whole time-out, and no stream was answered meanwhile.
        if (answers == answersBefore) stoppedServing = true;
    }
    if (expired.size() > waitingExpired) scheduleFlush();
    // Retired first, so that what the handlers ask for next goes to a new connection.
    if (stoppedServing) {
        retire();
        handOverWaiting();
    }
    for (const auto& request : expired) finish(request, failure(request->url_, makeError(Error::Code::timedOut)));
    if (state_ != State::closed && next != Clock::time_point::max()) armSweep(next);
}

// ---- Liveness ----

void Http2Connection::askForPingIfQuiet(Clock::time_point requestMade) {
    if (awaitingPing_ || requestMade - lastHeard_ < kQuietBeforePing) return;
    if (nghttp2_submit_ping(session_, NGHTTP2_FLAG_NONE, nullptr) != 0) return;
    awaitingPing_ = true;
    pingTimer_.expires_after(kPingTimeout);
    pingTimer_.async_wait([self = shared_from_this()](const std::error_code& error) {
        if (!error && self->awaitingPing_ && self->state_ == State::open)
            self->tearDown(connectionLost("The server did not answer a ping."));
    });
}

}  // namespace http::detail
