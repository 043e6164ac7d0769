// The connection's HTTP/2 session and its streams: requests framed, what nghttp2 tells
// of what the server sent (held to the bounds of a response), and the requests whose
// streams closed, told once nghttp2 has returned.
#include "http/Http2Connection.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace http::detail {

namespace {

// Answers may run far ahead of the reads that take them.
constexpr std::int32_t kStreamWindow = 1 << 20;
constexpr std::int32_t kConnectionWindow = 16 << 20;

std::atomic<std::int32_t> firstStreamIdentifier{1};

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

// Whether a content-length value announces more than a body may hold.
bool announcesTooMuch(std::string_view value) {
    std::size_t announced = 0;
    for (char c : value) {
        if (c < '0' || c > '9' || announced > kLargestBody) break;
        announced = announced * 10 + static_cast<std::size_t>(c - '0');
    }
    return announced > kLargestBody;
}

}  // namespace

void setFirstStreamIdentifier(std::int32_t identifier) { firstStreamIdentifier = identifier; }

// ---- Header blocks ----

std::span<const nghttp2_nv> RequestHeaderBlock::fields(std::string_view method, std::string_view authority,
                                                       std::string_view path, const HTTPHeaders& headers) {
    // Lower-case names (HTTP/2 wants them so) and clean values, in one buffer that
    // outlives the submission, laid out before any field points into it.
    std::size_t size = 0;
    for (const auto& [name, value] : headers) size += name.size() + value.size();
    text_.resize(size);
    char* const start = text_.data();
    char* out = start;
    spans_.clear();
    for (const auto& [name, value] : headers) {
        char* const nameStart = out;
        for (char c : name)
            if (c != '\r' && c != '\n') *out++ = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (isConnectionSpecific({nameStart, static_cast<std::size_t>(out - nameStart)})) {
            out = nameStart;
            continue;
        }
        spans_.emplace_back(nameStart - start, out - nameStart);
        char* const valueStart = out;
        for (char c : value)
            if (c != '\r' && c != '\n') *out++ = c;
        spans_.emplace_back(valueStart - start, out - valueStart);
    }
    fields_.clear();
    add(":method", method);
    add(":scheme", "https");
    add(":authority", authority);
    add(":path", path);
    const std::string_view text(text_);
    for (std::size_t i = 0; i < spans_.size(); i += 2)
        add(text.substr(spans_[i].first, spans_[i].second), text.substr(spans_[i + 1].first, spans_[i + 1].second));
    return fields_;
}

void RequestHeaderBlock::add(std::string_view name, std::string_view value) {
    fields_.push_back({reinterpret_cast<std::uint8_t*>(const_cast<char*>(name.data())),
                       reinterpret_cast<std::uint8_t*>(const_cast<char*>(value.data())), name.size(), value.size(),
                       NGHTTP2_NV_FLAG_NONE});
}

// ---- What nghttp2 tells ----

// They record what a frame says and never end the connection themselves (see tearDown).
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
        of(user).receivedFrame(frame->hd);
        return 0;
    }
    // The request's body, from the source it was submitted with.
    static ssize_t readBody(nghttp2_session*, std::int32_t, std::uint8_t* buffer, std::size_t length,
                            std::uint32_t* flags, nghttp2_data_source* source, void*) {
        auto& request = *static_cast<DataRequest*>(source->ptr);
        const auto& body = request.body_;
        const std::size_t count = std::min(length, body.size() - request.bodySent_);
        std::memcpy(buffer, body.data() + request.bodySent_, count);
        request.bodySent_ += count;
        if (request.bodySent_ == body.size()) *flags |= NGHTTP2_DATA_FLAG_EOF;
        return static_cast<ssize_t>(count);
    }
};

// ---- The session ----

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

// ---- Streams ----

void Http2Connection::submitStream(const std::shared_ptr<DataRequest>& request) {
    const auto fields = headerBlock_.fields(request->method_, authority_, request->path_, request->headers_);
    nghttp2_data_provider body{};
    body.source.ptr = request.get();
    body.read_callback = &Callbacks::readBody;
    const bool hasBody = request->method_ != "GET" || !request->body_.empty();
    request->bodySent_ = 0;
    request->headerBytes_ = 0;
    Stream& entry = streams_.emplace_back(Stream{0, request, answers_});
    const std::int32_t id = nghttp2_submit_request(session_, nullptr, fields.data(), fields.size(),
                                                   hasBody ? &body : nullptr, &entry);
    if (id < 0) {
        streams_.pop_back();
        if (id == NGHTTP2_ERR_STREAM_ID_NOT_AVAILABLE) {
            // Every stream identifier of this connection is used up: go on with a new one.
            retire();
            if (owner_) owner_->reroute({request}, false);
        } else {
            finish(request, failure(request->url_, connectionLost(nghttp2_strerror(id))));
        }
        return;
    }
    entry.id = id;
    ++openStreams_;
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
    // A retired connection ends with its last stream.
    if (retired_ && openStreams_ == 0 && waiting_.empty() && state_ == State::open)
        tearDown(connectionLost("The connection was retired."));
}

Http2Connection::Stream* Http2Connection::stream(std::int32_t id) {
    // Null for a stream nghttp2 has closed, whose entry it no longer holds.
    return static_cast<Stream*>(nghttp2_session_get_stream_user_data(session_, id));
}

void Http2Connection::receivedFrame(const nghttp2_frame_hd& frame) {
    ++framesReceived_;
    if (awaitingPing_) {
        awaitingPing_ = false;
        pingTimer_.cancel();
    }
    // The server ends the connection: new requests, and those waiting for a stream,
    // go to another one, and nghttp2 refuses the streams the server will not answer.
    if (frame.type == NGHTTP2_GOAWAY) {
        retire();
        handOverWaiting();
    }
}

void Http2Connection::receivedHeader(std::int32_t id, std::string_view name, std::string_view value) {
    Stream* found = stream(id);
    if (!found || found->request->done_) return;
    DataRequest& request = *found->request;
    request.headerBytes_ += name.size() + value.size() + kHeaderFieldOverhead;
    if (request.headerBytes_ > kLargestHeaders || (name == "content-length" && announcesTooMuch(value))) {
        endTooLarge(*found);
        return;
    }
    auto& response = request.receiving_;
    if (response.headerFields.empty()) response.headerFields.reserve(8);
    if (name == ":status") {
        ++answers_;  // the server serves streams
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
    Stream* found = stream(id);
    if (!found || found->request->done_) return;
    DataRequest& request = *found->request;
    if (request.received_.size() + length > kLargestBody) {
        endTooLarge(*found);
        return;
    }
    request.received_.insert(request.received_.end(), data, data + length);
    request.gotBody_ = true;
}

void Http2Connection::streamClosed(std::int32_t id, std::uint32_t errorCode) {
    Stream* found = stream(id);
    if (!found) return;
    auto request = std::move(found->request);
    while (!streams_.empty() && !streams_.front().request) streams_.pop_front();
    --openStreams_;
    if (!waiting_.empty()) scheduleFlush();  // which starts the next waiting request
    if (request->done_) return;  // timed out or ended before
    if (errorCode == NGHTTP2_REFUSED_STREAM && !request->refusedOnce_) {
        // The server did not work on it: it may go again, once.
        request->refusedOnce_ = true;
        refused_.push_back(std::move(request));
        return;
    }
    const bool answered = errorCode == NGHTTP2_NO_ERROR && request->receiving_.statusCode != 0;
    if (answered && !answered_) {
        // Any complete answer, whatever its status, shows that the server is up.
        answered_ = true;
        setup_.attempts->answered();
    }
    std::optional<Error> error;
    if (!answered) error = connectionLost(nghttp2_http2_strerror(errorCode));
    auto response = received(*request, std::move(error), answered || request->gotBody_);
    closed_.emplace_back(std::move(request), std::move(response));
}

DataResponse Http2Connection::received(DataRequest& request, std::optional<Error> error, bool withBody) {
    DataResponse response{request.url_, {}, {}, std::move(error)};
    if (request.receiving_.statusCode != 0) response.response = std::move(request.receiving_);
    if (withBody) response.data = std::move(request.received_);
    return response;
}

void Http2Connection::endTooLarge(Stream& stream) {
    // Nothing beyond the bounds is kept: the stream ends as a failed exchange and is
    // reset, and the connection and its other streams go on.
    auto& request = stream.request;
    request->done_ = true;
    closed_.emplace_back(request, received(*request, makeError(Error::Code::dataLengthExceedsMaximum), false));
    request->received_ = {};
    nghttp2_submit_rst_stream(session_, NGHTTP2_FLAG_NONE, stream.id, NGHTTP2_CANCEL);
}

}  // namespace http::detail
