#pragma once
// HTTP sessions as the engine uses them. HTTPS requests go over one HTTP/2 connection
// per host and session, run on the session's own queue (libnghttp2 over OpenSSL in
// that queue's event loop); plain HTTP, and servers that do not speak HTTP/2, go
// through libcurl on a thread of its own. Requests may be made from any thread; their
// response handlers always run on the session's queue (the main queue unless told
// otherwise). Callers never learn which transport carried a request.

#include "dispatch/Dispatch.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace http {

using Bytes = std::vector<std::uint8_t>;
// Request headers: one dictionary from name to value, sent with the names as written.
// Copies share one table until one of them is changed, so that many requests made
// from one set of headers do not copy it each.
class HTTPHeaders {
public:
    using Fields = std::map<std::string, std::string, std::less<>>;

    HTTPHeaders() = default;
    HTTPHeaders(std::initializer_list<Fields::value_type> fields)
        : fields_(std::make_shared<const Fields>(fields)) {}

    Fields::const_iterator begin() const { return table().begin(); }
    Fields::const_iterator end() const { return table().end(); }
    // The value of the field with exactly this name.
    const std::string* find(std::string_view name) const;
    // Adds the field, or replaces the value of the one with that name.
    void set(const std::string& name, std::string value);

private:
    static const Fields& none();
    const Fields& table() const { return fields_ ? *fields_ : none(); }

    std::shared_ptr<const Fields> fields_;
};

struct Error {
    enum class Code {
        timedOut,
        cannotFindHost,
        cannotConnectToHost,
        notConnectedToInternet,
        networkConnectionLost,
        secureConnectionFailed,
        badURL,
        cancelled,
        unacceptableStatusCode,
        responseSerializationFailed,
        dataLengthExceedsMaximum,
        unknown,
    };
    Code code = Code::unknown;
    std::string localizedDescription;
    std::string detail;  // the transport's own words, for diagnostics
};

class HTTPURLResponse {
public:
    long statusCode = 0;
    std::string url;
    // Header fields in arrival order, names as received.
    std::vector<std::pair<std::string, std::string>> headerFields;

    // Case-insensitive lookup; the last field of that name wins.
    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const;
    // Exact-case lookup in the header dictionary.
    std::optional<std::string> headerField(std::string_view name) const;
    // ["name": "value", ...]
    std::string headersDescription() const;
};

struct DataResponse {
    std::string url;
    std::optional<HTTPURLResponse> response;  // absent when no HTTP response arrived
    std::optional<Bytes> data;                // absent when no body arrived
    std::optional<Error> error;               // absent on success

    bool isSuccess() const { return !error; }
};

struct JSONResponse : DataResponse {
    std::optional<nlohmann::json> value;  // any JSON value, fragments included
};

// ["name": "value", ...] in name order.
std::string describe(const HTTPHeaders& headers);

struct SessionConfiguration {
    // Explicit proxy settings; when present, the environment's proxies are not used.
    struct ProxySettings {
        bool proxyAutoConfigEnable = false;
    };

    static SessionConfiguration defaultConfiguration() { return {}; }

    // Every request ends within this time, answered or not: a server that accepts and
    // never answers must not hold a request, and what it carries, for long.
    std::chrono::duration<double> timeoutIntervalForResource{60.0};
    // When the network is unreachable, keep trying until the resource time-out
    // instead of failing at once.
    bool waitsForConnectivity = false;
    std::optional<ProxySettings> connectionProxyDictionary;
};

namespace detail {
class Transport;
class Http2Connection;
class CurlTransfers;
}  // namespace detail

class DataRequest : public std::enable_shared_from_this<DataRequest> {
public:
    // Status codes outside 200 to 299 fail the response handlers that follow.
    DataRequest& validate();
    DataRequest& responseData(std::function<void(const DataResponse&)> handler);
    DataRequest& responseJSON(std::function<void(const JSONResponse&)> handler);

    const std::string& url() const { return url_; }
    const std::string& method() const { return method_; }
    const HTTPHeaders& headers() const { return headers_; }

protected:
    // Made by sessions only.
    DataRequest(std::string url, std::string method, HTTPHeaders headers, Bytes body);

private:
    friend class Session;
    friend class detail::Transport;
    friend class detail::Http2Connection;
    friend class detail::CurlTransfers;

    // Sets the result and runs the handlers registered so far; call on the request's
    // queue. Only the first result counts; false for a later one.
    bool complete(DataResponse response);
    void deliver(const std::function<void(const DataResponse&)>& handler);

    std::string url_;
    std::string method_;
    HTTPHeaders headers_;
    Bytes body_;
    std::chrono::steady_clock::time_point deadline_{};
    dispatch::DispatchQueue* queue_ = nullptr;

    // Transfer state, touched only by the transport that carries the request.
    std::string path_;           // of the URL, with its query
    std::size_t bodySent_ = 0;
    HTTPURLResponse receiving_;  // what has arrived so far
    Bytes received_;
    std::size_t headerBytes_ = 0;  // of the response, counted against its bound
    bool gotBody_ = false;
    bool done_ = false;          // handed to the session
    bool refusedOnce_ = false;   // a server refused it unprocessed, and it went again

    // The request's queue's own, without a lock: validate() and responseData() called
    // on another thread hand their part to the queue, which keeps their order.
    bool validated_ = false;
    std::optional<DataResponse> result_;
    std::vector<std::function<void(const DataResponse&)>> handlers_;
};

class Session {
public:
    explicit Session(SessionConfiguration configuration,
                     dispatch::DispatchQueue& queue = dispatch::DispatchQueue::main());
    // Cancels running requests unless finishTasksAndInvalidate() was called.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The shared session on the default configuration.
    static Session& defaultSession();

    std::shared_ptr<DataRequest> request(std::string url, std::string method = "GET",
                                         HTTPHeaders headers = {});
    std::shared_ptr<DataRequest> upload(Bytes body, std::string url, std::string method = "POST",
                                        HTTPHeaders headers = {});

    // Running requests complete; later ones fail at once with `cancelled`.
    void finishTasksAndInvalidate();

    const SessionConfiguration& configuration() const { return configuration_; }
    std::string description() const;
    // Connections opened so far; requests to one host share one HTTP/2 connection.
    std::size_t connectionsOpened() const;

private:
    std::shared_ptr<DataRequest> start(std::shared_ptr<DataRequest> request);

    SessionConfiguration configuration_;
    dispatch::DispatchQueue& queue_;
    std::shared_ptr<detail::Transport> transport_;  // lives on queue_
};

// Test hooks, set only by host processes: entries in curl's --resolve form
// "host:port:address", and a file of trusted certificate authorities.
void setResolveOverrides(std::vector<std::string> entries);
void addResolveOverride(std::string entry);
void setCertificateAuthorityBundle(std::string path);
// Reads BRIMVALE_RESOLVE (comma-separated entries) and BRIMVALE_CA_BUNDLE.
void applyHookEnvironment();

}  // namespace http
