#include "http/Http2Connection.h"

#include <asio/connect.hpp>
#include <asio/ip/address.hpp>
#include <asio/post.hpp>
#include <nghttp2/nghttp2.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <mutex>
#include <cstring>

namespace http::detail {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kReadChunk = 64 * 1024;
// Reading stops after this much in one turn, so a flood of answers cannot starve the
// queue's other work; the rest is read in the next turn.
constexpr std::size_t kReadPerTurn = 1024 * 1024;
// Rounds of reading and telling in one task.
constexpr int kReadRoundsPerTurn = 4;

// Frames are handed to TLS in batches of about this size.
constexpr std::size_t kWriteBatch = 64 * 1024;
constexpr auto kConnectivityRetry = 250ms;
// Answers may run far ahead of the reads that take them.
constexpr std::int32_t kStreamWindow = 1 << 20;
constexpr std::int32_t kConnectionWindow = 16 << 20;
// Streams open at once, whatever more the server allows: requests beyond wait in the
// connection's own queue, where expiring one costs nothing, not in nghttp2's, where
// resetting one is a search of that queue.
constexpr std::uint32_t kMostOpenStreams = 1024;
// A connection on which this many streams in a row timed out, with no stream answered
// meanwhile, has stopped serving: it is closed, and new requests take another. PING
// and SETTINGS frames do not count, as a server whose workers hung while its I/O loop
// lives still acknowledges them.
constexpr int kSilentTimeouts = 3;
// A request sent after this long without a frame from the server asks for a PING, and
// a PING not answered within kPingTimeout closes the connection.
constexpr auto kQuietBeforePing = 1s;
constexpr auto kPingTimeout = 2s;

std::string tlsErrorText() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return "TLS connection failed";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

// On every read of the socket under TLS: whether it gave less than was asked for.
long noteShortRead(BIO* bio, int operation, const char*, std::size_t length, int, long, int result,
                   std::size_t* processed) {
    if (operation == (BIO_CB_READ | BIO_CB_RETURN))
        *reinterpret_cast<bool*>(BIO_get_callback_arg(bio)) = result > 0 && processed && *processed < length;
    return result;
}

std::atomic<std::int32_t> firstStreamIdentifier{1};

bool isAddress(const std::string& host) {
    std::error_code error;
    asio::ip::make_address(host, error);
    return !error;
}

Error connectError(const std::error_code& error) {
    if (error == asio::error::network_unreachable || error == asio::error::host_unreachable ||
        error == asio::error::network_down)
        return makeError(Error::Code::notConnectedToInternet, error.message());
    if (error == asio::error::timed_out) return makeError(Error::Code::timedOut, error.message());
    return makeError(Error::Code::cannotConnectToHost, error.message());
}

Error connectionLost(std::string detail) { return makeError(Error::Code::networkConnectionLost, std::move(detail)); }

// Headers that belong to one HTTP/1.1 connection and have no place in HTTP/2.
bool isConnectionSpecific(std::string_view name) {
    switch (name.size()) {
    case 2: return name == "te";
    case 4: return name == "host";
    case 6: return name == "expect";
    case 7: return name == "upgrade";
    case 10: return name == "connection" || name == "keep-alive";
    case 16: return name == "proxy-connection";
    case 17: return name == "transfer-encoding";
    default: return false;
    }
}

using TlsContext = std::shared_ptr<SSL_CTX>;

TlsContext makeTlsContext(const std::string& caBundle, std::string& error) {
    ERR_clear_error();
    TlsContext tls(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    if (!tls) {
        error = tlsErrorText();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(tls.get(), TLS1_2_VERSION);
    SSL_CTX_set_verify(tls.get(), SSL_VERIFY_PEER, nullptr);
    const bool trusted = caBundle.empty() ? SSL_CTX_set_default_verify_paths(tls.get()) == 1
                                          : SSL_CTX_load_verify_locations(tls.get(), caBundle.c_str(), nullptr) == 1;
    if (!trusted) {
        error = tlsErrorText();
        return nullptr;
    }
    // A server that answers without HTTP/2 is handed to the HTTP/1.1 transport.
    static const unsigned char protocols[] = "\x02h2\x08http/1.1";
    SSL_CTX_set_alpn_protos(tls.get(), protocols, sizeof protocols - 1);
    SSL_CTX_set_mode(tls.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // TLS takes what the socket holds in one read, not each record in two; the reads go
    // on until both are empty.
    SSL_CTX_set_read_ahead(tls.get(), 1);
    SSL_CTX_set_default_read_buffer_len(tls.get(), kReadChunk);
    return tls;
}

// One client context for all connections, trusting the authorities of the test hook's
// bundle (the system's when there is none): loading a trust store takes a while. Made
// again only when the bundle changes; null, with the reason in `error`, when none can be.
TlsContext tlsContext(std::string& error) {
    struct Made {
        std::mutex mutex;
        bool made = false;
        std::string caBundle;
        TlsContext context;
        std::string error;
    };
    // Never destroyed: OpenSSL may be cleaned up at exit before static objects are.
    static Made* const made = new Made;
    std::string caBundle = currentHooks().caBundle;
    std::lock_guard lock(made->mutex);
    if (!made->made || caBundle != made->caBundle) {
        made->error.clear();
        made->context = makeTlsContext(caBundle, made->error);
        made->caBundle = std::move(caBundle);
        made->made = true;
    }
    error = made->error;
    return made->context;
}

}  // namespace

void setFirstStreamIdentifier(std::int32_t identifier) { firstStreamIdentifier = identifier; }

struct Http2Connection::Callbacks {
    static Http2Connection& of(void* user) { return *static_cast<Http2Connection*>(user); }

    static int onHeader(nghttp2_session*, const nghttp2_frame* frame, const std::uint8_t* name, std::size_t nameLength,
                        const std::uint8_t* value, std::size_t valueLength, std::uint8_t, void* user) {
        if (frame->hd.type == NGHTTP2_HEADERS)
            of(user).receivedHeader(frame->hd.stream_id,
                                    {reinterpret_cast<const char*>(name), nameLength},
                                    {reinterpret_cast<const char*>(value), valueLength});
        return 0;
    }
    static int onData(nghttp2_session*, std::uint8_t, std::int32_t id, const std::uint8_t* data, std::size_t length,
                      void* user) {
        of(user).receivedData(id, data, length);
        return 0;
    }
    static int onStreamClose(nghttp2_session*, std::int32_t id, std::uint32_t errorCode, void* user) {
        of(user).streamClosed(id, errorCode);
        return 0;
    }
    static int onFrame(nghttp2_session*, const nghttp2_frame* frame, void* user) {
        auto& connection = of(user);
        connection.heard();
        if (frame->hd.stream_id != 0) connection.timeoutsWithoutAnswer_ = 0;
        // The server ends the connection: new requests, and those waiting for a stream,
        // go to another one, and nghttp2 refuses the streams the server will not answer.
        if (frame->hd.type == NGHTTP2_GOAWAY) {
            connection.retire();
            connection.handOverWaiting();
        }
        return 0;
    }
    static ssize_t readBody(nghttp2_session*, std::int32_t id, std::uint8_t* buffer, std::size_t length,
                            std::uint32_t* flags, nghttp2_data_source*, void* user) {
        return of(user).bodyChunk(id, buffer, length, flags);
    }
};

Http2Connection::Http2Connection(asio::io_context& context, URL origin, TransferOwner& owner, Setup setup)
    : context_(context), origin_(std::move(origin)), authority_(origin_.authority()), owner_(&owner),
      setup_(std::move(setup)), socket_(context), attemptTimer_(context), sweepTimer_(context), pingTimer_(context) {
    // TLS writes to its socket directly: a server that has gone would otherwise end
    // the process with SIGPIPE instead of failing the connection.
    static const bool sigpipeIgnored = [] { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();
    (void)sigpipeIgnored;
    output_.reserve(2 * kWriteBatch);
}

Http2Connection::~Http2Connection() {
    if (session_) nghttp2_session_del(session_);
    if (ssl_) SSL_free(ssl_);
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
    case State::handshaking:
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

void Http2Connection::submitStream(const std::shared_ptr<DataRequest>& request) {
    const auto& headers = request->headers_;
    // Lower-case names (HTTP/2 wants them so) and clean values, in one buffer that
    // outlives the submission; nghttp2 copies what it frames. The buffers are reused.
    std::string& text = headerText_;
    std::size_t size = 0;
    for (const auto& [name, value] : headers) size += name.size() + value.size();
    text.resize(size);
    char* const start = text.data();
    char* out = start;
    auto& spans = headerSpans_;  // (start, length) of each name and value
    spans.clear();
    for (const auto& [name, value] : headers) {
        char* const nameStart = out;
        for (char c : name)
            if (c != '\r' && c != '\n') *out++ = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (isConnectionSpecific({nameStart, static_cast<std::size_t>(out - nameStart)})) {
            out = nameStart;
            continue;
        }
        spans.emplace_back(nameStart - start, out - nameStart);
        char* const valueStart = out;
        for (char c : value)
            if (c != '\r' && c != '\n') *out++ = c;
        spans.emplace_back(valueStart - start, out - valueStart);
    }
    auto& fields = headerFields_;
    fields.clear();
    auto add = [&fields](std::string_view name, std::string_view value) {
        fields.push_back({reinterpret_cast<std::uint8_t*>(const_cast<char*>(name.data())),
                          reinterpret_cast<std::uint8_t*>(const_cast<char*>(value.data())), name.size(), value.size(),
                          NGHTTP2_NV_FLAG_NONE});
    };
    add(":method", request->method_);
    add(":scheme", "https");
    add(":authority", authority_);
    add(":path", request->path_);
    for (std::size_t i = 0; i < spans.size(); i += 2)
        add(std::string_view(text).substr(spans[i].first, spans[i].second),
            std::string_view(text).substr(spans[i + 1].first, spans[i + 1].second));

    nghttp2_data_provider body{};
    body.read_callback = &Callbacks::readBody;
    const bool hasBody = request->method_ != "GET" || !request->body_.empty();
    request->bodySent_ = 0;
    request->headerBytes_ = 0;
    const std::int32_t id =
        nghttp2_submit_request(session_, nullptr, fields.data(), fields.size(), hasBody ? &body : nullptr, nullptr);
    if (id == NGHTTP2_ERR_STREAM_ID_NOT_AVAILABLE) {
        // Every stream identifier of this connection is used up: go on with a new one.
        retire();
        if (owner_) owner_->reroute({request}, false);
        return;
    }
    if (id < 0) {
        finish(request, failure(request->url_, connectionLost(nghttp2_strerror(id))));
        return;
    }
    if (streams_.empty()) firstStream_ = id;
    streams_.push_back(request);
    ++openStreams_;
}

long Http2Connection::bodyChunk(std::int32_t id, std::uint8_t* buffer, std::size_t length, std::uint32_t* flags) {
    auto request = stream(id);
    if (!request) return NGHTTP2_ERR_TEMPORAL_CALLBACK_FAILURE;
    const auto& body = request->body_;
    const std::size_t count = std::min(length, body.size() - request->bodySent_);
    std::memcpy(buffer, body.data() + request->bodySent_, count);
    request->bodySent_ += count;
    if (request->bodySent_ == body.size()) *flags |= NGHTTP2_DATA_FLAG_EOF;
    return static_cast<long>(count);
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
        if (!error && (self->state_ == State::connecting || self->state_ == State::handshaking)) self->giveUp();
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
    asio::async_connect(socket_, endpoints,
                        [self = shared_from_this()](const std::error_code& error, const asio::ip::tcp::endpoint&) {
                            if (self->state_ != State::connecting) return;
                            if (error) {
                                self->connectFailed(connectError(error));
                                return;
                            }
                            std::error_code ignored;
                            self->socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
                            self->socket_.non_blocking(true, ignored);

                            std::string tlsError;
                            const TlsContext tls = tlsContext(tlsError);
                            if (tls) {
                                ERR_clear_error();
                                self->ssl_ = SSL_new(tls.get());  // which holds on to the context
                                if (!self->ssl_) tlsError = tlsErrorText();
                            }
                            if (!self->ssl_) {
                                self->connectFailed(makeError(Error::Code::secureConnectionFailed, tlsError));
                                return;
                            }
                            SSL_set_fd(self->ssl_, self->socket_.native_handle());
                            BIO* socketBio = SSL_get_rbio(self->ssl_);
                            BIO_set_callback_arg(socketBio, reinterpret_cast<char*>(&self->socketEmptied_));
                            BIO_set_callback_ex(socketBio, noteShortRead);
                            const std::string& host = self->origin_.host;
                            if (isAddress(host)) {
                                X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(self->ssl_), host.c_str());
                            } else {
                                SSL_set_tlsext_host_name(self->ssl_, host.c_str());
                                SSL_set1_host(self->ssl_, host.c_str());
                            }
                            SSL_set_connect_state(self->ssl_);
                            self->state_ = State::handshaking;
                            self->handshake();
                        });
}

void Http2Connection::handshake() {
    ERR_clear_error();
    const int result = SSL_do_handshake(ssl_);
    if (result == 1) {
        const unsigned char* protocol = nullptr;
        unsigned length = 0;
        SSL_get0_alpn_selected(ssl_, &protocol, &length);
        if (length != 2 || std::memcmp(protocol, "h2", 2) != 0) {
            auto requests = std::vector<std::shared_ptr<DataRequest>>(waiting_.begin(), waiting_.end());
            waiting_.clear();
            state_ = State::closed;
            close();
            retire();
            if (owner_) owner_->reroute(std::move(requests), true);
            return;
        }
        if (!startSession()) return;
        state_ = State::open;
        attemptTimer_.cancel();
        lastHeard_ = Clock::now();
        startWaitingStreams();
        scheduleFlush();
        waitReadable();
        return;
    }
    const int error = SSL_get_error(ssl_, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        socket_.async_wait(error == SSL_ERROR_WANT_READ ? asio::ip::tcp::socket::wait_read
                                                        : asio::ip::tcp::socket::wait_write,
                           [self = shared_from_this()](const std::error_code& waitError) {
                               if (self->state_ != State::handshaking) return;
                               if (waitError) {
                                   self->connectFailed(connectionLost(waitError.message()));
                                   return;
                               }
                               self->handshake();
                           });
        return;
    }
    const long verification = SSL_get_verify_result(ssl_);
    connectFailed(makeError(Error::Code::secureConnectionFailed,
                            verification != X509_V_OK ? X509_verify_cert_error_string(verification) : tlsErrorText()));
}

bool Http2Connection::startSession() {
    nghttp2_session_callbacks* callbacks = nullptr;
    nghttp2_session_callbacks_new(&callbacks);
    nghttp2_session_callbacks_set_on_header_callback(callbacks, &Callbacks::onHeader);
    nghttp2_session_callbacks_set_on_data_chunk_recv_callback(callbacks, &Callbacks::onData);
    nghttp2_session_callbacks_set_on_stream_close_callback(callbacks, &Callbacks::onStreamClose);
    nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, &Callbacks::onFrame);
    const int created = nghttp2_session_client_new(&session_, callbacks, this);
    nghttp2_session_callbacks_del(callbacks);
    if (created != 0) {
        connectFailed(connectionLost(nghttp2_strerror(created)));
        return false;
    }
    const nghttp2_settings_entry settings[] = {
        {NGHTTP2_SETTINGS_ENABLE_PUSH, 0},
        {NGHTTP2_SETTINGS_INITIAL_WINDOW_SIZE, static_cast<std::uint32_t>(kStreamWindow)},
    };
    nghttp2_submit_settings(session_, NGHTTP2_FLAG_NONE, settings, std::size(settings));
    if (const std::int32_t first = firstStreamIdentifier; first > 1) nghttp2_session_set_next_stream_id(session_, first);
    nghttp2_session_set_local_window_size(session_, NGHTTP2_FLAG_NONE, 0, kConnectionWindow);
    return true;
}

void Http2Connection::connectFailed(const Error& error) {
    logConnectionFailure(authority_, error);
    close();
    if (error.code == Error::Code::notConnectedToInternet && setup_.waitsForConnectivity && !retired_ &&
        !waiting_.empty()) {
        // No way out yet: try again shortly; the requests time out meanwhile if it stays so.
        waitForTurn(Clock::now() + kConnectivityRetry);
        return;
    }
    state_ = State::closed;
    retire();
    auto waiting = std::move(waiting_);
    waiting_.clear();
    for (const auto& request : waiting) finish(request, failure(request->url_, error));
}

void Http2Connection::giveUp() {
    // Not set up within a request's time-out (a server that accepts and never answers):
    // the requests still waiting go to the next connection, which waits its turn.
    state_ = State::closed;
    close();
    if (resolver_) resolver_->cancel();
    retire();
    std::vector<std::shared_ptr<DataRequest>> rest(waiting_.begin(), waiting_.end());
    waiting_.clear();
    if (owner_ && !rest.empty()) owner_->reroute(std::move(rest), false);
}

void Http2Connection::close() {
    std::error_code ignored;
    socket_.close(ignored);
    if (ssl_) {
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
}

// ---- Reading ----

void Http2Connection::waitReadable() {
    if (readWaiting_) return;
    readWaiting_ = true;
    socket_.async_wait(asio::ip::tcp::socket::wait_read, [self = shared_from_this()](const std::error_code& error) {
        self->readWaiting_ = false;
        if (error || self->state_ != State::open) return;
        self->onReadable();
    });
}

Http2Connection::Read Http2Connection::readSocket(std::size_t& total) {
    thread_local std::vector<std::uint8_t> buffer(kReadChunk);
    // The socket wakes its waiter only when new data arrives, so everything TLS and the
    // socket hold is read now, until the socket is known to be empty: TLS asks for more,
    // or the socket gave it less than it asked for (told by the BIO callback). In the
    // second case the wait that follows looks at the socket again, which spares the
    // read that would say so.
    socketEmptied_ = false;
    while (total < kReadPerTurn) {
        ERR_clear_error();
        const int count = SSL_read(ssl_, buffer.data(), static_cast<int>(buffer.size()));
        if (count > 0) {
            const auto taken = nghttp2_session_mem_recv(session_, buffer.data(), static_cast<std::size_t>(count));
            if (taken < 0) {
                tellClosedStreams();
                fail(connectionLost(nghttp2_strerror(static_cast<int>(taken))));
                return Read::ended;
            }
            total += static_cast<std::size_t>(count);
            if (socketEmptied_ && !SSL_has_pending(ssl_)) return Read::shortRead;
            continue;
        }
        const int error = SSL_get_error(ssl_, count);
        if (error == SSL_ERROR_WANT_READ) return Read::empty;
        tellClosedStreams();
        if (error == SSL_ERROR_WANT_WRITE) {
            readNeedsWrite_ = true;
            waitWritable();
            return Read::ended;
        }
        fail(connectionLost(error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && errno == 0)
                                ? "The server closed the connection."
                                : tlsErrorText()));
        return Read::ended;
    }
    return Read::turnFull;
}

void Http2Connection::onReadable() {
    auto self = shared_from_this();  // a handler may let go of the connection
    std::size_t total = 0;
    // Telling the answers takes a while, and more come meanwhile: the socket is read
    // again after they are told, a few times per task, so that the slots those free
    // are not left idle until the queue's other work is done.
    for (int round = 0;; ++round) {
        const std::size_t before = total;
        const Read read = readSocket(total);
        if (read == Read::ended) return;
        if (heardInRead_) {
            heardInRead_ = false;
            lastHeard_ = Clock::now();
        }
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

void Http2Connection::receivedHeader(std::int32_t id, std::string_view name, std::string_view value) {
    auto request = stream(id);
    if (!request || request->done_) return;
    request->headerBytes_ += name.size() + value.size() + kHeaderFieldOverhead;
    if (request->headerBytes_ > kLargestHeaders) {
        endTooLarge(id);
        return;
    }
    if (name == "content-length") {
        std::size_t announced = 0;
        for (char c : value) {
            if (c < '0' || c > '9' || announced > kLargestBody) break;
            announced = announced * 10 + static_cast<std::size_t>(c - '0');
        }
        if (announced > kLargestBody) {
            endTooLarge(id);
            return;
        }
    }
    auto& response = request->receiving_;
    if (response.headerFields.empty()) response.headerFields.reserve(8);
    if (name == ":status") {
        // An informational answer (1xx) is followed by the final one, which replaces it.
        response.headerFields.clear();
        response.statusCode = 0;
        for (char c : value)
            if (c >= '0' && c <= '9') response.statusCode = response.statusCode * 10 + (c - '0');
        return;
    }
    response.headerFields.emplace_back(name, value);
}

void Http2Connection::receivedData(std::int32_t id, const std::uint8_t* data, std::size_t length) {
    auto request = stream(id);
    if (!request || request->done_) return;
    if (request->received_.size() + length > kLargestBody) {
        endTooLarge(id);
        return;
    }
    request->received_.insert(request->received_.end(), data, data + length);
    request->gotBody_ = true;
}

void Http2Connection::streamClosed(std::int32_t id, std::uint32_t errorCode) {
    auto* found = slot(id);
    if (!found || !*found) return;
    auto request = std::move(*found);
    dropClosedStreams();
    --openStreams_;
    if (!waiting_.empty()) scheduleFlush();  // which starts the next waiting request
    if (request->done_) return;  // timed out or ended before
    if (errorCode == NGHTTP2_REFUSED_STREAM && !request->refusedOnce_) {
        // The server did not work on it: it may go again, once.
        request->refusedOnce_ = true;
        refused_.push_back(std::move(request));
        return;
    }
    DataResponse response{request->url_, {}, {}, {}};
    const bool answered = errorCode == NGHTTP2_NO_ERROR && request->receiving_.statusCode != 0;
    if (answered && !answered_) {
        // Any complete answer, whatever its status, shows that the server is up.
        answered_ = true;
        setup_.attempts->answered();
    }
    if (request->receiving_.statusCode != 0) response.response = std::move(request->receiving_);
    if (answered || request->gotBody_) response.data = std::move(request->received_);
    if (!answered) response.error = connectionLost(nghttp2_http2_strerror(errorCode));
    closed_.emplace_back(std::move(request), std::move(response));
}

void Http2Connection::endTooLarge(std::int32_t id) {
    // Nothing beyond the bounds is kept: the stream ends as a failed exchange and is
    // reset, and the connection and its other streams go on.
    auto& request = *slot(id);
    request->done_ = true;
    DataResponse response{request->url_, {}, {}, makeError(Error::Code::dataLengthExceedsMaximum)};
    if (request->receiving_.statusCode != 0) response.response = std::move(request->receiving_);
    request->received_ = {};
    closed_.emplace_back(request, std::move(response));
    nghttp2_submit_rst_stream(session_, NGHTTP2_FLAG_NONE, id, NGHTTP2_CANCEL);
}

void Http2Connection::tellClosedStreams() {
    // Told after nghttp2 has returned, so that handlers may make new requests. The
    // lists keep their room from one read to the next.
    while (!closed_.empty() || !refused_.empty()) {
        std::vector<std::pair<std::shared_ptr<DataRequest>, DataResponse>> closed;
        closed.swap(closed_);
        std::vector<std::shared_ptr<DataRequest>> refused;
        refused.swap(refused_);
        for (auto& [request, response] : closed) finish(request, std::move(response));
        if (!refused.empty()) {
            for (const auto& request : refused) request->done_ = true;
            if (owner_) owner_->reroute(std::move(refused), false);
        }
        closed.clear();
        if (closed_.empty()) closed_.swap(closed);
    }
}

std::shared_ptr<DataRequest>* Http2Connection::slot(std::int32_t id) {
    const auto index = static_cast<std::size_t>((id - firstStream_) / 2);
    if (id < firstStream_ || index >= streams_.size()) return nullptr;
    return &streams_[index];
}

DataRequest* Http2Connection::stream(std::int32_t id) {
    auto* found = slot(id);
    return found ? found->get() : nullptr;
}

void Http2Connection::dropClosedStreams() {
    while (!streams_.empty() && !streams_.front()) {
        streams_.pop_front();
        firstStream_ += 2;
    }
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
    startWaitingStreams();
    for (;;) {
        if (written_ == output_.size()) {
            output_.clear();
            written_ = 0;
            while (output_.size() < kWriteBatch) {
                const std::uint8_t* data = nullptr;
                const auto count = nghttp2_session_mem_send(session_, &data);
                if (count < 0) {
                    fail(connectionLost(nghttp2_strerror(static_cast<int>(count))));
                    return;
                }
                if (count == 0) break;
                output_.insert(output_.end(), data, data + count);
            }
            if (output_.empty()) break;
        }
        ERR_clear_error();
        const int count = SSL_write(ssl_, output_.data() + written_, static_cast<int>(output_.size() - written_));
        if (count > 0) {
            written_ += static_cast<std::size_t>(count);
            continue;
        }
        const int error = SSL_get_error(ssl_, count);
        if (error == SSL_ERROR_WANT_WRITE) {
            waitWritable();
            break;
        }
        if (error == SSL_ERROR_WANT_READ) break;  // the next read flushes again
        fail(connectionLost(tlsErrorText()));
        return;
    }
    // Streams reset by us close once their reset is written.
    tellClosedStreams();
    // nghttp2 wants neither once the connection is over: the server's GOAWAY has been
    // answered, or ours (after an error in what the server sent) is written.
    if (state_ == State::open && written_ == output_.size() && !nghttp2_session_want_read(session_) &&
        !nghttp2_session_want_write(session_))
        fail(connectionLost("The server ended the connection."));
}

void Http2Connection::waitWritable() {
    if (writeWaiting_) return;
    writeWaiting_ = true;
    socket_.async_wait(asio::ip::tcp::socket::wait_write, [self = shared_from_this()](const std::error_code& error) {
        self->writeWaiting_ = false;
        if (error || self->state_ != State::open) return;
        if (self->readNeedsWrite_) {
            self->readNeedsWrite_ = false;
            self->onReadable();
        }
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

void Http2Connection::fail(const Error& error) {
    if (state_ == State::closed) return;
    state_ = State::closed;
    retire();
    close();
    sweepTimer_.cancel();
    pingTimer_.cancel();
    openStreams_ = 0;
    auto streams = std::move(streams_);
    streams_.clear();
    auto waiting = std::move(waiting_);
    waiting_.clear();
    for (auto& request : streams) {
        if (!request || request->done_) continue;
        DataResponse response{request->url_, {}, {}, error};
        if (request->receiving_.statusCode != 0) response.response = std::move(request->receiving_);
        if (request->gotBody_) response.data = std::move(request->received_);
        finish(request, std::move(response));
    }
    for (const auto& request : waiting) finish(request, failure(request->url_, error));
}

void Http2Connection::cancel(const Error& error) {
    fail(error);
    attemptTimer_.cancel();
    if (resolver_) resolver_->cancel();
    owner_ = nullptr;
}

void Http2Connection::finish(const std::shared_ptr<DataRequest>& request, DataResponse response) {
    request->done_ = true;
    if (owner_) owner_->finished(request, std::move(response));
}

// ---- Time-outs: one timer for the whole connection ----

void Http2Connection::armSweep(Clock::time_point deadline) {
    if (sweepArmed_) return;
    sweepArmed_ = true;
    sweepTimer_.expires_at(deadline);
    sweepTimer_.async_wait([self = shared_from_this()](const std::error_code& error) {
        self->sweepArmed_ = false;
        if (!error) self->sweep();
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
    auto next = waiting_.empty() ? Clock::time_point::max() : waiting_.front()->deadline_;
    for (std::size_t i = 0; i < streams_.size(); ++i) {
        const auto& request = streams_[i];
        if (!request || request->done_) continue;
        if (request->deadline_ > now) {
            next = std::min(next, request->deadline_);
            break;
        }
        // The stream stays until nghttp2 closes it, after the reset is written.
        nghttp2_submit_rst_stream(session_, NGHTTP2_FLAG_NONE,
                                  static_cast<std::int32_t>(firstStream_ + 2 * static_cast<std::int64_t>(i)), NGHTTP2_CANCEL);
        expired.push_back(request);
    }
    const std::size_t streamsExpired = expired.size() - waitingExpired;
    if (streamsExpired > 0) scheduleFlush();
    for (const auto& request : expired) finish(request, failure(request->url_, makeError(Error::Code::timedOut)));
    timeoutsWithoutAnswer_ += static_cast<int>(std::min<std::size_t>(streamsExpired, kSilentTimeouts));
    if (state_ == State::open && timeoutsWithoutAnswer_ >= kSilentTimeouts) {
        fail(connectionLost("The server stopped answering."));
        return;
    }
    if (state_ != State::closed && next != Clock::time_point::max()) armSweep(next);
}

// ---- Liveness ----

void Http2Connection::heard() {
    heardInRead_ = true;
    if (awaitingPing_) {
        awaitingPing_ = false;
        pingTimer_.cancel();
    }
}

void Http2Connection::askForPingIfQuiet(Clock::time_point requestMade) {
    if (awaitingPing_ || requestMade - lastHeard_ < kQuietBeforePing) return;
    if (nghttp2_submit_ping(session_, NGHTTP2_FLAG_NONE, nullptr) != 0) return;
    awaitingPing_ = true;
    pingTimer_.expires_after(kPingTimeout);
    pingTimer_.async_wait([self = shared_from_this()](const std::error_code& error) {
        if (!error && self->awaitingPing_ && self->state_ == State::open)
            self->fail(connectionLost("The server did not answer a ping."));
    });
}

}  // namespace http::detail
