#pragma once
// One HTTP/2 connection over TLS to one origin: libnghttp2 frames the requests, the
// connection's TLS stream (TlsStream.h) carries them, and the event loop of the
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
// in what the server sent, and once a PING (sent with a request after a quiet second)
// goes unanswered for two seconds. It retires once a stream has waited its whole
// time-out with no stream answered meanwhile (PING and SETTINGS acknowledgements do not
// count: a server whose workers hung while its I/O loop lives still sends them), and
// when the server sends GOAWAY or the stream identifiers run out: new requests then
// take another connection, while the streams it carries run on to their own deadlines,
// and it closes with the last of them. Every way it ends goes through tearDown().


#include "http/TlsStream.h"
#include "http/Transfer.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <nghttp2/nghttp2.h>

#include <chrono>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace http::detail {

// Tests: streams of new connections start at this identifier, so that a connection can
// run out of them. 1 unless set.
void setFirstStreamIdentifier(std::int32_t identifier);

// A request's header block as HTTP/2 frames it: the pseudo-header fields first, then
// the request's own with lower-case names, no line breaks and none that belong to one
// HTTP/1.1 connection. Its buffers are kept from one request to the next.
class RequestHeaderBlock {
public:
    // Valid until the next call; nghttp2 copies what it frames.
    std::span<const nghttp2_nv> fields(std::string_view method, std::string_view authority, std::string_view path,
                                       const HTTPHeaders& headers);

private:
    void add(std::string_view name, std::string_view value);

    std::string text_;
    std::vector<std::pair<std::size_t, std::size_t>> spans_;  // (start, length) of each name and value in text_
    std::vector<nghttp2_nv> fields_;
};

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

private:
    // `waiting`: for its turn to connect (after a failed attempt, or without a network);
    // `connecting`: resolving the name, connecting and shaking hands.
    enum class State { idle, waiting, connecting, open, closed };

    // ---- Connecting ----
    void connectInTurn();
    void waitForTurn(std::chrono::steady_clock::time_point turn);
    void connect();
    template <class Endpoints>
    void connectTo(const Endpoints& endpoints);
    void connectFailed(const Error& error);
    void opened();
    bool startSession();

    // ---- Requests and streams ----
    // A request waits for the connection to open or for a stream.
    void wait(std::shared_ptr<DataRequest> request);
    std::uint32_t streamLimit() const;
    void startWaitingStreams();
    // The requests still waiting go to the owner, to be sent on another connection.
    void handOverWaiting();
    void submitStream(const std::shared_ptr<DataRequest>& request);
    void finish(const std::shared_ptr<DataRequest>& request, DataResponse response);
    void tellClosedStreams();

    // ---- Reading and writing ----
    void waitReadable();
    // How one read of the socket ended: it is empty (TLS wants more), it gave less than
    // was asked for, the turn's share was read, or the connection ended or waits to write.
    enum class Read { empty, shortRead, turnFull, ended };
    Read readSocket(std::size_t& total);
    void onReadable();
    void scheduleFlush();
    void flush();
    // Frames and writes until TLS has taken all or must wait; false once torn down.
    bool writeFrames();
    // The next batch of frames into output_; false once torn down.
    bool frameBatch();
    void waitWritable();

    // ---- Ending ----
    // What becomes of the requests still waiting when the connection ends: they fail
    // with its error, or go to the next connection, or to HTTP/1.1.
    enum class Waiting { fail, toNextConnection, toHttp1 };
    // The one way a connection ends: it takes no new requests, closes TLS and the socket,
    // stops its timers, ends its streams with `error`, and does with the waiting requests
    // as told. Once only, and never from nghttp2's callbacks: it deletes the session they
    // run in, so they record what happened and the caller ends the connection afterwards.
    void tearDown(const Error& error, Waiting waiting = Waiting::fail);
    void retire();

    // ---- Time-outs and liveness ----
    void sweep();
    void armSweep(std::chrono::steady_clock::time_point deadline);
    void askForPingIfQuiet(std::chrono::steady_clock::time_point requestMade);

    // ---- What nghttp2 tells while it reads and writes ----
    struct Callbacks;
    // A framed request, by its stream's identifier.
    struct Stream {
        std::int32_t id = 0;
        std::shared_ptr<DataRequest> request;  // null once its stream has closed
        std::uint64_t answersBefore = 0;       // answers_ when it was framed
    };
    Stream* stream(std::int32_t id);
    void receivedFrame(const nghttp2_frame_hd& frame);
    void receivedHeader(std::int32_t id, std::string_view name, std::string_view value);
    void receivedData(std::int32_t id, const std::uint8_t* data, std::size_t length);
    void streamClosed(std::int32_t id, std::uint32_t errorCode);
    void endTooLarge(Stream& stream);
    // What arrived of a request's response before its stream ended: the response when
    // its status came, the body when `withBody`, and `error` unless it was answered.
    static DataResponse received(DataRequest& request, std::optional<Error> error, bool withBody);

    asio::io_context& context_;
    URL origin_;
    std::string authority_;
    TransferOwner* owner_;  // null once cancelled
    Setup setup_;
    State state_ = State::idle;
    bool retired_ = false;
    bool answered_ = false;  // a stream of this connection got a good answer

    TlsStream tls_;
    std::shared_ptr<asio::ip::tcp::resolver> resolver_;
    // While waiting, until the turn to connect; while connecting, the end of the attempt.
    asio::steady_timer attemptTimer_;
    nghttp2_session* session_ = nullptr;  // from the handshake until torn down

    // Requests not yet framed (the connection is not open yet, or has no stream free), in
    // the order of their deadlines.
    std::deque<std::shared_ptr<DataRequest>> waiting_;
    // Framed requests in the order of their streams, which is that of their deadlines.
    // Each stream's user data in nghttp2 is its entry here, by which its frames find it:
    // a deque keeps its entries in place while it grows at the back and shrinks at the
    // front. A closed stream's entry stays, empty, until those before it close too.
    std::deque<Stream> streams_;
    std::uint32_t openStreams_ = 0;  // until nghttp2 closes them, reset ones included
    // Requests whose stream closed while nghttp2 was reading; told after the read.
    std::vector<std::pair<std::shared_ptr<DataRequest>, DataResponse>> closed_;
    std::vector<std::shared_ptr<DataRequest>> refused_;
    RequestHeaderBlock headerBlock_;

    // Bytes framed but not yet taken by TLS; unchanged while a write waits.
    std::vector<std::uint8_t> output_;
    std::size_t written_ = 0;
    bool flushScheduled_ = false;
    bool writeWaiting_ = false;
    bool readWaiting_ = false;
    bool readWaitsForWrite_ = false;  // TLS must write before it can read on

    asio::steady_timer sweepTimer_;
    bool sweepArmed_ = false;
    std::chrono::steady_clock::time_point sweepAt_{};  // while armed

    std::uint64_t framesReceived_ = 0;
    std::chrono::steady_clock::time_point lastHeard_{};  // after the last read that held a frame
    std::uint64_t answers_ = 0;  // streams the server has answered
    bool awaitingPing_ = false;
    asio::steady_timer pingTimer_;
};

}  // namespace http::detail
