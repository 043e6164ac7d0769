#pragma once
// One HTTP/2 connection over TLS to one origin: libnghttp2 frames the requests,
// OpenSSL encrypts them on the connection's socket, and the event loop of the
// session's queue drives both. Requests are framed as they come and written together
// once per turn of the loop; responses are read until the socket is empty (its waits
// fire on new data only) and complete on that queue, with no other thread involved.
// Internal to the http role; every call on the session's queue.
//
// A request lives in the connection from submit() until its stream closes (answered,
// reset, timed out or the connection lost); the owner completes it.
//
// The connections to one origin come one after another and share their record of
// attempts: while one is being set up the requests wait for it, and after one that got
// no answer the next waits its turn, so that a failing server is not flooded.
//
// Bounds: at most as many streams are open as the server allows (and 1,024); the
// requests beyond wait in the connection, in the order of their deadlines, and end when
// their time-out passes. A connection closes once its GOAWAY is written after an error
// in what the server sent, once a few streams in a row timed out with no frame from the
// server meanwhile, and once a PING (sent with a request after a quiet second) goes
// unanswered for two seconds.

#include "http/Transfer.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <nghttp2/nghttp2.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct ssl_st;

namespace http::detail {

// Tests: streams of new connections start at this identifier, so that a connection can
// run out of them. 1 unless set.
void setFirstStreamIdentifier(std::int32_t identifier);

class Http2Connection : public std::enable_shared_from_this<Http2Connection> {
public:
    struct Setup {
        std::shared_ptr<Attempts> attempts;
        std::chrono::steady_clock::duration timeout;  // of one attempt to set the connection up
        bool waitsForConnectivity = false;
    };
    Http2Connection(asio::io_context& context, URL origin, TransferOwner& owner, Setup setup);
    ~Http2Connection();
    Http2Connection(const Http2Connection&) = delete;
    Http2Connection& operator=(const Http2Connection&) = delete;

    void submit(std::shared_ptr<DataRequest> request);
    // Ends every request with `error` and closes; the owner hears nothing more.
    void cancel(const Error& error);
    bool idle() const { return waiting_.empty() && streams_.empty(); }

private:
    // `waiting`: for its turn to connect (after a failed attempt, or without a network).
    enum class State { idle, waiting, connecting, handshaking, open, closed };

    void connectInTurn();
    void waitForTurn(std::chrono::steady_clock::time_point turn);
    void connect();
    template <class Endpoints>
    void connectTo(const Endpoints& endpoints);
    void connectFailed(const Error& error);
    void giveUp();
    void handshake();
    bool startSession();
    // A request waits for the connection to open or for a stream.
    void wait(std::shared_ptr<DataRequest> request);
    std::uint32_t streamLimit() const;
    void startWaitingStreams();
    // The requests still waiting go to the owner, to be sent on another connection.
    void handOverWaiting();
    void submitStream(const std::shared_ptr<DataRequest>& request);
    void close();

    void waitReadable();
    // How one read of the socket ended: it is empty (TLS wants more), it gave less than
    // was asked for, the turn's share was read, or the connection ended or waits to write.
    enum class Read { empty, shortRead, turnFull, ended };
    Read readSocket(std::size_t& total);
    void onReadable();
    void scheduleFlush();
    void flush();
    void waitWritable();

    void retire();
    void fail(const Error& error);
    void finish(const std::shared_ptr<DataRequest>& request, DataResponse response);
    void sweep();
    void armSweep(std::chrono::steady_clock::time_point deadline);
    // A frame arrived from the server.
    void heard();
    void askForPingIfQuiet(std::chrono::steady_clock::time_point requestMade);

    std::shared_ptr<DataRequest>* slot(std::int32_t id);
    DataRequest* stream(std::int32_t id);
    void dropClosedStreams();

    // What nghttp2 tells while it reads and writes.
    struct Callbacks;
    void receivedHeader(std::int32_t id, std::string_view name, std::string_view value);
    void receivedData(std::int32_t id, const std::uint8_t* data, std::size_t length);
    void streamClosed(std::int32_t id, std::uint32_t errorCode);
    void endTooLarge(std::int32_t id);
    long bodyChunk(std::int32_t id, std::uint8_t* buffer, std::size_t length, std::uint32_t* flags);
    void tellClosedStreams();

    asio::io_context& context_;
    URL origin_;
    std::string authority_;
    TransferOwner* owner_;  // null once cancelled
    Setup setup_;
    State state_ = State::idle;
    bool retired_ = false;
    bool answered_ = false;  // a stream of this connection got a good answer

    asio::ip::tcp::socket socket_;
    std::shared_ptr<asio::ip::tcp::resolver> resolver_;
    // While waiting, until the turn to connect; while connecting, the end of the attempt.
    asio::steady_timer attemptTimer_;
    ssl_st* ssl_ = nullptr;
    nghttp2_session* session_ = nullptr;

    // Requests not yet framed (the connection is not open yet), oldest first.
    std::deque<std::shared_ptr<DataRequest>> waiting_;
    // Framed requests by stream: the stream identifiers nghttp2 hands out count up by
    // two, so the one at index i has firstStream_ + 2i. Closed streams leave an empty
    // slot until the streams before them close too.
    std::deque<std::shared_ptr<DataRequest>> streams_;
    std::uint32_t openStreams_ = 0;  // until nghttp2 closes them, reset ones included
    std::int64_t firstStream_ = 1;  // wider: the one after the last identifier is past 2^31
    // Requests whose stream closed while nghttp2 was reading; told after the read.
    std::vector<std::pair<std::shared_ptr<DataRequest>, DataResponse>> closed_;
    std::vector<std::shared_ptr<DataRequest>> refused_;

    // Scratch space for framing a request's headers.
    std::string headerText_;
    std::vector<std::pair<std::size_t, std::size_t>> headerSpans_;
    std::vector<nghttp2_nv> headerFields_;

    // Bytes framed but not yet taken by TLS; unchanged while a write waits.
    std::vector<std::uint8_t> output_;
    std::size_t written_ = 0;
    bool flushScheduled_ = false;
    bool writeWaiting_ = false;
    bool readWaiting_ = false;
    bool readNeedsWrite_ = false;  // TLS must write before it can read on
    bool socketEmptied_ = false;   // the socket's last read gave less than was asked for

    asio::steady_timer sweepTimer_;
    bool sweepArmed_ = false;

    std::chrono::steady_clock::time_point lastHeard_{};  // of the last read that held a frame
    bool heardInRead_ = false;
    int timeoutsWithoutAnswer_ = 0;  // streams timed out since a frame of any stream
    bool awaitingPing_ = false;
    asio::steady_timer pingTimer_;
};

}  // namespace http::detail
