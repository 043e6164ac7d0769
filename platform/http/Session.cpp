#include "http/Session.h"

#include "http/CurlTransfers.h"
#include "http/Http2Connection.h"
#include "http/Transfer.h"
#include "log/Log.h"

#include <asio/ip/address.hpp>
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

namespace http {

namespace {

// Locked: the hooks are set on the threads of host processes and tests, and read on the
// sessions' queues and the curl thread.
struct HookState {
    std::mutex mutex;
    detail::Hooks hooks;
};

HookState& hookState() {
    // Never destroyed: transfers may still read it while the process exits.
    static HookState* state = new HookState;
    return *state;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

// ---- What the transports share ----

namespace detail {

void Attempts::failed() {
    using namespace std::chrono_literals;
    constexpr auto first = 50ms;
    constexpr std::chrono::steady_clock::duration longest = 3200ms;
    wait = wait == std::chrono::steady_clock::duration::zero() ? std::chrono::steady_clock::duration(first)
                                                               : std::min(2 * wait, longest);
    notBefore = std::chrono::steady_clock::now() + wait;
}

void logConnectionFailure(std::string_view origin, const Error& error) {
    const std::string where(origin);
    if (error.detail.find(std::strerror(EMFILE)) != std::string::npos ||
        error.detail.find(std::strerror(ENFILE)) != std::string::npos) {
        oslog::networkFailures("descriptors").add("Cannot connect to " + where + ": " + error.detail);
        return;
    }
    switch (error.code) {
    case Error::Code::secureConnectionFailed:
        oslog::networkFailures("tls").add("TLS with " + where + " failed: " + error.detail);
        break;
    case Error::Code::cannotFindHost:
    case Error::Code::cannotConnectToHost:
    case Error::Code::notConnectedToInternet:
        oslog::networkFailures("connection").add("Cannot connect to " + where + ": " + error.detail);
        break;
    default: break;  // time-outs and the rest say why in their own description
    }
}

Error makeError(Error::Code code, std::string detail) {
    // A switch, not a static table: sessions may still fail their requests while the
    // process's static objects are destroyed at exit.
    const char* text = "An unknown error occurred.";
    switch (code) {
    case Error::Code::timedOut: text = "The request timed out."; break;
    case Error::Code::cannotFindHost: text = "A server with the specified hostname could not be found."; break;
    case Error::Code::cannotConnectToHost: text = "Could not connect to the server."; break;
    case Error::Code::notConnectedToInternet: text = "The Internet connection appears to be offline."; break;
    case Error::Code::networkConnectionLost: text = "The network connection was lost."; break;
    case Error::Code::secureConnectionFailed:
        text = "An SSL error has occurred and a secure connection to the server cannot be made.";
        break;
    case Error::Code::badURL: text = "unsupported URL"; break;
    case Error::Code::cancelled: text = "cancelled"; break;
    case Error::Code::dataLengthExceedsMaximum: text = "resource exceeds maximum size"; break;
    case Error::Code::unacceptableStatusCode:
    case Error::Code::responseSerializationFailed:
    case Error::Code::unknown: break;
    }
    return Error{code, text, std::move(detail)};
}

Hooks currentHooks() {
    auto& state = hookState();
    std::lock_guard lock(state.mutex);
    return state.hooks;
}

std::optional<std::string> overriddenAddress(const Hooks& hooks, std::string_view host, std::uint16_t port) {
    const std::string wanted = ":" + std::to_string(port) + ":";
    for (const auto& entry : hooks.resolve) {
        // host:port:address; the address may be an IPv6 one in brackets.
        const auto at = entry.find(wanted);
        if (at == std::string::npos || !equalsIgnoringCase(std::string_view(entry).substr(0, at), host)) continue;
        std::string address = entry.substr(at + wanted.size());
        if (address.size() > 1 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        return address;
    }
    return std::nullopt;
}

std::string URL::authority() const {
    const bool defaultPort = (scheme == "https" && port == 443) || (scheme == "http" && port == 80);
    const std::string name = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return defaultPort ? name : name + ":" + std::to_string(port);
}

std::string URL::origin() const { return scheme + "://" + host + ":" + std::to_string(port); }

namespace {

// One part of a URL curl has read; none when the URL has no such part.
std::optional<std::string> urlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* value = nullptr;
    if (curl_url_get(url, part, &value, flags) != CURLUE_OK) return std::nullopt;
    std::string text(value);
    curl_free(value);
    return text;
}

// A URL ending in "?" keeps its empty query, as curl before 8.8 returned it unasked.
#ifdef CURLU_GET_EMPTY
constexpr unsigned keepEmptyQuery = CURLU_GET_EMPTY;
#else
constexpr unsigned keepEmptyQuery = 0;
#endif

// curl also reads one slash, or three, after the scheme as the start of the host name.
bool hasTwoSlashes(std::string_view text) {
    const auto colon = text.find(':');
    return colon != std::string_view::npos && text.substr(colon + 1).starts_with("//") &&
           !text.substr(colon + 1).starts_with("///");
}

// The parts of a URL that curl has read, or none when one is missing or out of range.
std::optional<URL> partsOf(CURLU* parsed) {
    auto scheme = urlPart(parsed, CURLUPART_SCHEME);  // in lower case
    auto host = urlPart(parsed, CURLUPART_HOST);
    const auto port = urlPart(parsed, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    auto path = urlPart(parsed, CURLUPART_PATH);  // "/" when the URL has none
    if (!scheme || !host || !port || !path) return std::nullopt;
    URL url{std::move(*scheme), std::move(*host), 0, std::move(*path)};
    if (url.host.size() > 2 && url.host.front() == '[') url.host = url.host.substr(1, url.host.size() - 2);
    const auto [end, failure] = std::from_chars(port->data(), port->data() + port->size(), url.port);
    if (failure != std::errc() || url.port == 0) return std::nullopt;
    if (auto query = urlPart(parsed, CURLUPART_QUERY, keepEmptyQuery)) url.path += "?" + *query;
    return url;
}

}  // namespace

std::optional<URL> parseURL(std::string_view text) {
    if (!hasTwoSlashes(text) || text.find('\0') != std::string_view::npos) return std::nullopt;
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
    // The path as written, its "." and ".." segments kept.
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, std::string(text).c_str(), CURLU_PATH_AS_IS) != CURLUE_OK)
        return std::nullopt;
    // No credentials in URLs here.
    if (urlPart(parsed.get(), CURLUPART_USER) || urlPart(parsed.get(), CURLUPART_PASSWORD)) return std::nullopt;
    auto url = partsOf(parsed.get());
    if (!url || (url->scheme != "https" && url->scheme != "http")) return std::nullopt;
    return url;
}

std::string withoutLineBreaks(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n') clean += c;
    return clean;
}

// A session's requests on its queue: HTTPS over one HTTP/2 connection per origin,
// the rest (and origins that turned out to lack HTTP/2) through libcurl.
class Transport : public TransferOwner, public std::enable_shared_from_this<Transport> {
public:
    Transport(const SessionConfiguration& configuration, dispatch::DispatchQueue& queue)
        : configuration_(configuration), queue_(queue) {}

    ~Transport() override { cancelAll(); }

    void start(const std::shared_ptr<DataRequest>& request) {
        ++running_;
        if (invalidated_) {
            finished(request, failure(request->url_, makeError(Error::Code::cancelled)));
            return;
        }
        route(request);
    }

    // Invalidated: running requests complete (or, when cancelled, end at once), and
    // new ones fail. The transport lives until the last one has ended.
    void invalidate(bool cancelRunning) {
        invalidated_ = true;
        if (cancelRunning) cancelAll();
        if (running_ > 0) keepAlive_ = shared_from_this();
    }

    bool invalidated() const { return invalidated_; }
    std::size_t running() const { return running_; }
    std::size_t connectionsOpened() const { return connectionsOpened_; }

    void finished(const std::shared_ptr<DataRequest>& request, DataResponse response) override {
        if (!request->complete(std::move(response))) return;
        --running_;
        if (invalidated_ && running_ == 0) {
            cancelAll();  // closes the idle connections
            auto last = std::move(keepAlive_);  // may end this transport on return
        }
    }

    void reroute(std::vector<std::shared_ptr<DataRequest>> requests, bool toHttp1) override {
        for (const auto& request : requests) {
            request->done_ = false;
            if (toHttp1) {
                if (auto url = parseURL(request->url_)) http1Origins_.insert(url->origin());
            }
            route(request);
        }
    }

    void retired(Http2Connection& connection) override {
        for (auto& [key, origin] : origins_) {
            if (origin.connection.get() != &connection) continue;
            // It finishes what it carries on its own; kept here only to be cancelled.
            retiring_.push_back(origin.connection);
            origin.connection.reset();
            break;
        }
        std::erase_if(retiring_, [](const auto& weak) { return weak.expired(); });
    }

    void connectionOpened() override { ++connectionsOpened_; }

private:
    void route(const std::shared_ptr<DataRequest>& request) {
        // Requests mostly go to the URL the last one went to: it is parsed once.
        if (request->url_ != lastURL_.text) {
            auto url = parseURL(request->url_);
            if (!url) {
                finished(request, failure(request->url_, makeError(Error::Code::badURL, request->url_)));
                return;
            }
            std::string origin = url->origin();
            lastURL_ = {request->url_, std::move(*url), std::move(origin)};
        }
        const URL& url = lastURL_.parsed;
        const std::string& origin = lastURL_.origin;
        if (url.scheme != "https" || http1Origins_.contains(origin)) {
            startOnCurl(request, origin);
            return;
        }
        request->path_ = url.path;
        auto& current = origins_[origin];
        if (!current.connection) {
            const auto timeout = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                configuration_.timeoutIntervalForResource);
            current.connection = std::make_shared<Http2Connection>(
                queue_.context(), url, *this,
                Http2Connection::Setup{current.attempts, timeout, configuration_.waitsForConnectivity});
        }
        auto connection = current.connection;  // it may retire, and leave the map, while it takes the request
        connection->submit(request);
    }

    void startOnCurl(const std::shared_ptr<DataRequest>& request, const std::string& origin) {
        curlRunning_.insert(request);
        CurlTransfers::Options options{configuration_.connectionProxyDictionary.has_value(),
                                       configuration_.waitsForConnectivity};
        std::weak_ptr<Transport> weak = weak_from_this();
        CurlTransfers::shared().start(request, origin, options, [weak, request, &queue = queue_](DataResponse response) {
            queue.async([weak, request, response = std::move(response)]() mutable {
                if (auto self = weak.lock()) {
                    self->curlRunning_.erase(request);
                    self->finished(request, std::move(response));
                } else {
                    request->complete(std::move(response));
                }
            });
        });
    }

    void cancelAll() {
        const Error cancelled = makeError(Error::Code::cancelled);
        auto origins = std::move(origins_);
        origins_.clear();
        for (auto& [key, origin] : origins)
            if (origin.connection) origin.connection->cancel(cancelled);
        for (auto& weak : retiring_)
            if (auto connection = weak.lock()) connection->cancel(cancelled);
        retiring_.clear();
        // Transfers on curl's thread end on their own, within their time-out; their
        // results are not told any more.
        auto onCurl = std::move(curlRunning_);
        curlRunning_.clear();
        for (const auto& request : onCurl) finished(request, failure(request->url_, cancelled));
    }

    struct ParsedURL {
        std::string text;
        URL parsed;
        std::string origin;
    };

    // The connection that takes an origin's new requests, and the record of attempts
    // that its connections share.
    struct Origin {
        std::shared_ptr<Http2Connection> connection;
        std::shared_ptr<Attempts> attempts = std::make_shared<Attempts>();
    };

    SessionConfiguration configuration_;
    dispatch::DispatchQueue& queue_;
    ParsedURL lastURL_;
    std::map<std::string, Origin> origins_;  // by origin key
    std::vector<std::weak_ptr<Http2Connection>> retiring_;
    std::set<std::string> http1Origins_;
    std::set<std::shared_ptr<DataRequest>> curlRunning_;
    std::atomic<std::size_t> running_{0};
    std::atomic<std::size_t> connectionsOpened_{0};
    std::atomic<bool> invalidated_{false};
    std::shared_ptr<Transport> keepAlive_;
};

}  // namespace detail

// ---- Response types ----

std::optional<std::string> HTTPURLResponse::valueForHTTPHeaderField(std::string_view name) const {
    std::optional<std::string> value;
    for (const auto& [field, fieldValue] : headerFields)
        if (equalsIgnoringCase(field, name)) value = fieldValue;
    return value;
}

std::optional<std::string> HTTPURLResponse::headerField(std::string_view name) const {
    std::optional<std::string> value;
    for (const auto& [field, fieldValue] : headerFields)
        if (field == name) value = fieldValue;
    return value;
}

std::string HTTPURLResponse::headersDescription() const {
    std::string text = "[";
    for (size_t i = 0; i < headerFields.size(); ++i)
        text += (i ? ", " : "") + quote(headerFields[i].first) + ": " + quote(headerFields[i].second);
    return text + "]";
}

const HTTPHeaders::Fields& HTTPHeaders::none() {
    static const Fields empty;
    return empty;
}

const std::string* HTTPHeaders::find(std::string_view name) const {
    const auto found = table().find(name);
    return found == table().end() ? nullptr : &found->second;
}

void HTTPHeaders::set(const std::string& name, std::string value) {
    auto fields = std::make_shared<Fields>(table());
    (*fields)[name] = std::move(value);
    fields_ = std::move(fields);
}

std::string describe(const HTTPHeaders& headers) {
    std::string text = "[";
    bool first = true;
    for (const auto& [name, value] : headers) {
        text += (first ? "" : ", ") + quote(name) + ": " + quote(value);
        first = false;
    }
    return text + "]";
}

// ---- DataRequest ----

DataRequest::DataRequest(std::string url, std::string method, HTTPHeaders headers, Bytes body)
    : url_(std::move(url)), method_(std::move(method)), headers_(std::move(headers)), body_(std::move(body)) {
    receiving_.url = url_;
}

DataRequest& DataRequest::validate() {
    queue_->run([self = shared_from_this()] { self->validated_ = true; });
    return *this;
}

void DataRequest::deliver(const std::function<void(const DataResponse&)>& handler) {
    // The result is set once, before any delivery, and never changes after.
    const DataResponse& result = *result_;
    const bool unacceptable = validated_ && !result.error && result.response &&
                              (result.response->statusCode < 200 || result.response->statusCode > 299);
    if (!unacceptable) {
        handler(result);
        return;
    }
    DataResponse response = result;
    response.error = Error{Error::Code::unacceptableStatusCode,
                           "Response status code was unacceptable: " +
                               std::to_string(response.response->statusCode) + ".",
                           {}};
    handler(response);
}

DataRequest& DataRequest::responseData(std::function<void(const DataResponse&)> handler) {
    queue_->run([self = shared_from_this(), handler = std::move(handler)]() mutable {
        if (!self->result_) {
            self->handlers_.push_back(std::move(handler));
            return;
        }
        self->queue_->async([self, handler = std::move(handler)] { self->deliver(handler); });
    });
    return *this;
}

DataRequest& DataRequest::responseJSON(std::function<void(const JSONResponse&)> handler) {
    return responseData([handler = std::move(handler)](const DataResponse& data) {
        JSONResponse response;
        static_cast<DataResponse&>(response) = data;
        if (data.data && !data.data->empty()) {
            response.value = nlohmann::json::parse(data.data->begin(), data.data->end(), nullptr, false);
            if (response.value->is_discarded()) response.value.reset();
        }
        if (!response.error && !response.value) {
            response.error = Error{Error::Code::responseSerializationFailed,
                                   "JSON could not be serialized because of error:\nThe data couldn't be "
                                   "read because it isn't in the correct format.",
                                   {}};
        }
        handler(response);
    });
}

bool DataRequest::complete(DataResponse response) {
    if (result_) return false;
    result_ = std::move(response);
    std::vector<std::function<void(const DataResponse&)>> handlers;
    handlers.swap(handlers_);
    for (const auto& handler : handlers) deliver(handler);
    return true;
}

// ---- Session ----

Session::Session(SessionConfiguration configuration, dispatch::DispatchQueue& queue)
    : configuration_(std::move(configuration)), queue_(queue),
      transport_(std::make_shared<detail::Transport>(configuration_, queue)) {}

Session::~Session() {
    // The transport lives on the queue: running requests keep it alive until they end
    // when the session was invalidated, else they are cancelled.
    queue_.async([transport = std::move(transport_)] {
        if (!transport->invalidated()) transport->invalidate(true);
    });
}

Session& Session::defaultSession() {
    static Session* session = new Session(SessionConfiguration::defaultConfiguration());
    return *session;
}

std::shared_ptr<DataRequest> Session::start(std::shared_ptr<DataRequest> request) {
    request->queue_ = &queue_;
    request->deadline_ = std::chrono::steady_clock::now() +
                         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                             configuration_.timeoutIntervalForResource);
    queue_.run([transport = transport_, request] { transport->start(request); });
    return request;
}

namespace {
// A request and its count of owners in one allocation.
struct MadeRequest : DataRequest {
    MadeRequest(std::string url, std::string method, HTTPHeaders headers, Bytes body)
        : DataRequest(std::move(url), std::move(method), std::move(headers), std::move(body)) {}
};
}  // namespace

std::shared_ptr<DataRequest> Session::request(std::string url, std::string method, HTTPHeaders headers) {
    return start(std::make_shared<MadeRequest>(std::move(url), std::move(method), std::move(headers), Bytes{}));
}

std::shared_ptr<DataRequest> Session::upload(Bytes body, std::string url, std::string method, HTTPHeaders headers) {
    return start(std::make_shared<MadeRequest>(std::move(url), std::move(method), std::move(headers), std::move(body)));
}

void Session::finishTasksAndInvalidate() {
    queue_.run([transport = transport_] { transport->invalidate(false); });
}

std::string Session::description() const {
    std::ostringstream text;
    text << "<Session " << static_cast<const void*>(this) << ": " << transport_->running() << " running"
         << (transport_->invalidated() ? ", invalidated" : "") << ">";
    return text.str();
}

std::size_t Session::connectionsOpened() const { return transport_->connectionsOpened(); }

// ---- Test hooks ----

void setResolveOverrides(std::vector<std::string> entries) {
    auto& state = hookState();
    std::lock_guard lock(state.mutex);
    state.hooks.resolve = std::move(entries);
}

void addResolveOverride(std::string entry) {
    auto& state = hookState();
    std::lock_guard lock(state.mutex);
    state.hooks.resolve.push_back(std::move(entry));
}

void setCertificateAuthorityBundle(std::string path) {
    auto& state = hookState();
    std::lock_guard lock(state.mutex);
    state.hooks.caBundle = std::move(path);
}

void applyHookEnvironment() {
    if (const char* resolve = std::getenv("BRIMVALE_RESOLVE"); resolve && *resolve) {
        std::stringstream entries(resolve);
        for (std::string entry; std::getline(entries, entry, ',');)
            if (!entry.empty()) addResolveOverride(entry);
    }
    if (const char* bundle = std::getenv("BRIMVALE_CA_BUNDLE"); bundle && *bundle)
        setCertificateAuthorityBundle(bundle);
}

}  // namespace http
