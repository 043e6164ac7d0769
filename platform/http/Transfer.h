#pragma once
// What the session's two transports share: error values, the test hooks, the parts
// of a URL, and the owner they report to. Internal to the http role.

#include "http/Session.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace http::detail {

// Responses are read up to these bounds and no further, whatever the server sends: a
// DNS message is at most 65,535 octets, and the probe and the report upload need less.
constexpr std::size_t kLargestBody = 65535;
// Header fields of one response, each counted as its name, its value and 32 octets
// (as HTTP/2 counts a header list), so that many tiny fields are bounded too.
constexpr std::size_t kLargestHeaders = 32 * 1024;
constexpr std::size_t kHeaderFieldOverhead = 32;

Error makeError(Error::Code code, std::string detail = {});
// Says why a connection to `origin` could not be made or kept, which the error's
// description ("Could not connect to the server.") leaves out: under the network
// stack's own name, by kind (a certificate check, a refused or unreachable server,
// descriptors run out), at most once a second per kind.
void logConnectionFailure(std::string_view origin, const Error& error);
inline DataResponse failure(const std::string& url, Error error) { return DataResponse{url, {}, {}, std::move(error)}; }
inline Error connectionLost(std::string detail) { return makeError(Error::Code::networkConnectionLost, std::move(detail)); }

// The test hooks as they are now (set only by host processes and tests).
struct Hooks {
    std::vector<std::string> resolve;  // curl's --resolve form, "host:port:address"
    std::string caBundle;
};
Hooks currentHooks();
// The address an override gives for host and port.
std::optional<std::string> overriddenAddress(const Hooks& hooks, std::string_view host, std::uint16_t port);

struct URL {
    std::string scheme;  // lower case
    std::string host;    // without brackets
    std::uint16_t port = 0;
    std::string path;    // with the query; "/" when the URL has none

    // "host" or "host:port" as the Host header or :authority names it.
    std::string authority() const;
    // One key per scheme, host and port: requests with the same origin share a connection.
    std::string origin() const;
};
std::optional<URL> parseURL(std::string_view text);

// Whether a received header value may be taken: one with a control character (a tab
// aside) is refused with its response, as HTTP/2 refuses it, so that a server cannot
// hand the engine a value (a cookie) that its later requests would carry.
inline bool isFieldValue(std::string_view value) {
    return std::none_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7f;
    });
}

// A header name or value as it may go on the wire: line breaks would let a value
// smuggle in headers of its own, so they are dropped.
std::string withoutLineBreaks(std::string_view text);

// The attempts to reach one origin, on either road: after one that ended without an
// answer the next waits, twice as long each time up to a few seconds; an answer,
// whatever its status, ends the waits.
struct Attempts {
    std::chrono::steady_clock::duration wait{};
    std::chrono::steady_clock::time_point notBefore{};

    void failed();
    void answered() { *this = {}; }
};

// The session's side of a transfer, on the session's queue.
class TransferOwner {
public:
    virtual ~TransferOwner() = default;
    // The request's outcome; the owner completes the request.
    virtual void finished(const std::shared_ptr<DataRequest>& request, DataResponse response) = 0;
    // Requests a connection cannot carry: its server does not speak HTTP/2
    // (`toHttp1`), or it refused them unprocessed, so they may go again.
    virtual void reroute(std::vector<std::shared_ptr<DataRequest>> requests, bool toHttp1) = 0;
    // The connection takes no new requests from now on.
    virtual void retired(Http2Connection& connection) = 0;
    virtual void connectionOpened() = 0;
};

}  // namespace http::detail
