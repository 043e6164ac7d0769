#include "http/TlsStream.h"

#include <asio/ip/address.hpp>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace http::detail {

namespace {

// What TLS takes from the socket in one read, and the most one read of TLS gives.
constexpr std::size_t kReadChunk = 64 * 1024;

std::string tlsErrorText() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return "TLS connection failed";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

bool isAddress(const std::string& host) {
    std::error_code error;
    asio::ip::make_address(host, error);
    return !error;
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
    // Locked: the sessions of any queue set up their connections with it.
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

TlsStream::TlsStream(asio::io_context& context) : socket_(context) {
    // TLS writes to its socket directly: a server that has gone would otherwise end
    // the process with SIGPIPE instead of failing the connection.
    static const bool sigpipeIgnored = [] { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();
    (void)sigpipeIgnored;
}

TlsStream::~TlsStream() {
    if (ssl_) SSL_free(ssl_);
}

void TlsStream::close() {
    std::error_code ignored;
    socket_.close(ignored);
    if (ssl_) {
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
}

// ---- Handshake ----

void TlsStream::handshake(const std::string& host, HandshakeDone done) {
    std::error_code ignored;
    socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    socket_.non_blocking(true, ignored);
    if (auto failure = startTls(host)) {
        done(makeError(Error::Code::secureConnectionFailed, std::move(*failure)));
        return;
    }
    continueHandshake(std::move(done));
}

std::optional<std::string> TlsStream::startTls(const std::string& host) {
    std::string error;
    const TlsContext tls = tlsContext(error);
    if (!tls) return error;
    ERR_clear_error();
    ssl_ = SSL_new(tls.get());  // which holds on to the context
    if (!ssl_) return tlsErrorText();
    SSL_set_fd(ssl_, socket_.native_handle());
    // The BIO belongs to ssl_, which this stream owns: it never outlives the stream.
    BIO* socketBio = SSL_get_rbio(ssl_);
    BIO_set_callback_arg(socketBio, reinterpret_cast<char*>(this));
    BIO_set_callback_ex(socketBio, &TlsStream::noteShortRead);
    if (isAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl_, host.c_str());
        SSL_set1_host(ssl_, host.c_str());
    }
    SSL_set_connect_state(ssl_);
    return std::nullopt;
}

void TlsStream::continueHandshake(HandshakeDone done) {
    ERR_clear_error();
    const int result = SSL_do_handshake(ssl_);
    if (result == 1) {
        done(std::nullopt);
        return;
    }
    const int error = SSL_get_error(ssl_, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        const auto wait = error == SSL_ERROR_WANT_READ ? asio::ip::tcp::socket::wait_read
                                                       : asio::ip::tcp::socket::wait_write;
        socket_.async_wait(wait, [this, done = std::move(done)](const std::error_code& waitError) mutable {
            if (!ssl_) return;  // closed meanwhile
            if (waitError)
                done(connectionLost(waitError.message()));
            else
                continueHandshake(std::move(done));
        });
        return;
    }
    const long verification = SSL_get_verify_result(ssl_);
    done(makeError(Error::Code::secureConnectionFailed,
                   verification != X509_V_OK ? X509_verify_cert_error_string(verification) : tlsErrorText()));
}

bool TlsStream::choseHttp2() const {
    const unsigned char* protocol = nullptr;
    unsigned length = 0;
    SSL_get0_alpn_selected(ssl_, &protocol, &length);
    return length == 2 && std::memcmp(protocol, "h2", 2) == 0;
}

// ---- Reading and writing ----

long TlsStream::noteShortRead(BIO* bio, int operation, const char*, std::size_t length, int, long, int result,
                              std::size_t* processed) {
    if (operation == (BIO_CB_READ | BIO_CB_RETURN))
        reinterpret_cast<TlsStream*>(BIO_get_callback_arg(bio))->shortRead_ =
            result > 0 && processed && *processed < length;
    return result;
}

TlsStream::Piece TlsStream::readPiece() {
    thread_local std::vector<std::uint8_t> buffer(kReadChunk);
    ERR_clear_error();
    const int count = SSL_read(ssl_, buffer.data(), static_cast<int>(buffer.size()));
    if (count > 0)
        return {{buffer.data(), static_cast<std::size_t>(count)}, shortRead_ && !SSL_has_pending(ssl_), {}};
    using Status = ReadEnd::Status;
    const int error = SSL_get_error(ssl_, count);
    if (error == SSL_ERROR_WANT_READ) return {{}, false, {Status::empty, {}}};
    if (error == SSL_ERROR_WANT_WRITE) return {{}, false, {Status::wantWrite, {}}};
    const bool closedByServer = error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && errno == 0);
    return {{}, false, {Status::ended, closedByServer ? "The server closed the connection." : tlsErrorText()}};
}

TlsStream::Written TlsStream::write(const std::uint8_t* data, std::size_t size) {
    ERR_clear_error();
    const int count = SSL_write(ssl_, data, static_cast<int>(size));
    if (count > 0) return {Written::Status::some, static_cast<std::size_t>(count), {}};
    const int error = SSL_get_error(ssl_, count);
    if (error == SSL_ERROR_WANT_WRITE) return {Written::Status::wantWrite, 0, {}};
    if (error == SSL_ERROR_WANT_READ) return {Written::Status::wantRead, 0, {}};
    return {Written::Status::failed, 0, tlsErrorText()};
}

}  // namespace http::detail
