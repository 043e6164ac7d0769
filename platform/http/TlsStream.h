#pragma once
// The TLS client end of one TCP connection: the socket, OpenSSL's session on it and
// that session's socket BIO, owned together. The owner connects the socket and waits on
// it; the stream shakes hands, then reads and writes straight to the non-blocking
// socket, and each read or write says what it did as a value. One TLS context serves
// every stream of the process. Internal to the http role; on the owner's queue only.

#include "http/Transfer.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

struct ssl_st;
struct bio_st;

namespace http::detail {

class TlsStream {
public:
    explicit TlsStream(asio::io_context& context);
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // To connect, and to wait until it can be read or written.
    asio::ip::tcp::socket& socket() { return socket_; }

    // Once the socket is connected: the handshake, the server's certificate checked
    // against `host` (a name or an address). `done` hears no error once TLS is up, or
    // why it failed; it is not called once the stream is closed, and it must keep the
    // stream alive until then (its owner does).
    using HandshakeDone = std::function<void(const std::optional<Error>& failure)>;
    void handshake(const std::string& host, HandshakeDone done);
    // After the handshake: whether the server chose HTTP/2.
    bool choseHttp2() const;

    // How reading ended: the socket is empty (TLS asked it for more, or it gave TLS less
    // than asked for and TLS holds nothing more), the budget is used, `take` refused a
    // piece, TLS must write before it can read on, or the connection ended.
    struct ReadEnd {
        enum class Status { empty, shortRead, budgetUsed, refused, wantWrite, ended } status;
        std::string reason;  // why it ended
    };
    // Reads what TLS and the socket hold and hands it to `take` piece by piece, adding
    // to `total`, until the socket is known to be empty or `total` reaches `budget`.
    // `take(std::span<const std::uint8_t>)` returns false to stop.
    template <class Take>
    ReadEnd readAvailable(std::size_t budget, std::size_t& total, Take&& take);

    struct Written {
        enum class Status { some, wantWrite, wantRead, failed } status;
        std::size_t count = 0;  // taken, when some
        std::string reason;     // why it failed
    };
    Written write(const std::uint8_t* data, std::size_t size);

    // Closes the socket and lets go of TLS; the socket may connect again.
    void close();

private:
    // What one read of TLS gave: data, or why none came.
    struct Piece {
        std::span<const std::uint8_t> data;
        bool socketEmptied = false;  // the socket is empty after it
        ReadEnd end{};               // when there is no data
    };
    Piece readPiece();
    std::optional<std::string> startTls(const std::string& host);
    void continueHandshake(HandshakeDone done);
    static long noteShortRead(bio_st* bio, int operation, const char*, std::size_t length, int, long, int result,
                              std::size_t* processed);

    asio::ip::tcp::socket socket_;
    ssl_st* ssl_ = nullptr;
    // Set by the BIO on each read of the socket: whether it gave less than was asked
    // for. Cleared as reading starts, so that only this read's count.
    bool shortRead_ = false;
};

template <class Take>
TlsStream::ReadEnd TlsStream::readAvailable(std::size_t budget, std::size_t& total, Take&& take) {
    // The socket wakes its waiter only when new data arrives, so everything TLS and the
    // socket hold is read now, until the socket is known to be empty. When it gave TLS
    // less than asked for, the wait that follows looks at the socket again, which spares
    // the read that would say it is empty.
    shortRead_ = false;
    while (total < budget) {
        Piece piece = readPiece();
        if (piece.data.empty()) return std::move(piece.end);
        if (!take(piece.data)) return {ReadEnd::Status::refused, {}};
        total += piece.data.size();
        if (piece.socketEmptied) return {ReadEnd::Status::shortRead, {}};
    }
    return {ReadEnd::Status::budgetUsed, {}};
}

}  // namespace http::detail
