#include "http/CurlTransfers.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>

namespace http::detail {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A network that is down is tried again this often while the session waits for it.
constexpr auto kConnectivityRetry = 250ms;
// The longest curl waits before it looks at new requests (it is woken for them anyway).
constexpr long kLongestWaitMs = 1000;

Error transportError(CURLcode code, long osErrno, std::string detail) {
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT: return makeError(Error::Code::timedOut, detail);
    case CURLE_COULDNT_RESOLVE_HOST: return makeError(Error::Code::cannotFindHost, detail);
    case CURLE_COULDNT_CONNECT:
        if (osErrno == ENETUNREACH || osErrno == ENETDOWN || osErrno == EHOSTUNREACH)
            return makeError(Error::Code::notConnectedToInternet, detail);
        return makeError(Error::Code::cannotConnectToHost, detail);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        return makeError(Error::Code::secureConnectionFailed, detail);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return makeError(Error::Code::networkConnectionLost, detail);
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return makeError(Error::Code::badURL, detail);
    default:
        return makeError(Error::Code::unknown, detail);
    }
}

// A curl string list that frees itself.
struct TextList {
    curl_slist* list = nullptr;
    TextList() = default;
    TextList(const TextList&) = delete;
    TextList& operator=(const TextList&) = delete;
    ~TextList() { clear(); }
    void add(const std::string& text) { list = curl_slist_append(list, text.c_str()); }
    void clear() {
        curl_slist_free_all(list);
        list = nullptr;
    }
};

}  // namespace

struct CurlTransfers::Transfer {
    std::shared_ptr<DataRequest> request;
    std::string originKey;  // until it waits in its origin
    Origin* origin = nullptr;
    std::uint64_t round = 0;  // of its origin when it began
    Options options;
    Completion completion;
    CURL* easy = nullptr;
    TextList headers;
    TextList resolve;
    std::string caBundle;
    char errorText[CURL_ERROR_SIZE] = {};
    std::size_t headerBytes = 0;
    bool tooLarge = false;  // ended by us: the response went beyond its bounds
    bool badField = false;  // ended by us: a header value held a control character

    ~Transfer() { reset(); }
    // Lets go of the handle and what it was given, so that the transfer can begin again.
    void reset() {
        if (easy) curl_easy_cleanup(easy);
        easy = nullptr;
        headers.clear();
        resolve.clear();
    }

    // A response beyond the bounds, or with a header value that may not be taken, ends
    // the transfer: curl is told so by a short count.
    static size_t onHeader(char* buffer, size_t size, size_t count, void* user) {
        auto& transfer = *static_cast<Transfer*>(user);
        auto& request = *transfer.request;
        transfer.headerBytes += size * count + kHeaderFieldOverhead;
        if (transfer.headerBytes > kLargestHeaders) {
            transfer.tooLarge = true;
            return 0;
        }
        std::string_view line(buffer, size * count);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        if (line.starts_with("HTTP/")) {
            // A new status line (after 100 Continue or a redirect) starts a new header set.
            request.receiving_.headerFields.clear();
        } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
            if (!isFieldValue(value)) {
                transfer.badField = true;
                return 0;
            }
            request.receiving_.headerFields.emplace_back(std::string(line.substr(0, colon)), std::string(value));
        }
        return size * count;
    }

    static size_t onBody(char* buffer, size_t size, size_t count, void* user) {
        auto& transfer = *static_cast<Transfer*>(user);
        auto& request = *transfer.request;
        if (request.received_.size() + size * count > kLargestBody) {
            transfer.tooLarge = true;
            return 0;
        }
        request.received_.insert(request.received_.end(), buffer, buffer + size * count);
        request.gotBody_ = true;
        return size * count;
    }
};

CurlTransfers& CurlTransfers::shared() {
    static CurlTransfers* instance = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        auto* transfers = new CurlTransfers;
        std::atexit([] { shared().stop(); });
        return transfers;
    }();
    return *instance;
}

CurlTransfers::CurlTransfers() : multi_(curl_multi_init()) {
    // A backstop to the origins' own caps. There is no total cap: the origins are few
    // (the configuration names them), and a request held back inside curl would wait
    // where its deadline is not watched.
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(kTransfersPerOrigin));
    // Idle connections are kept for the next transfers, not only as many as run now.
    curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, static_cast<long>(2 * kTransfersPerOrigin));
    thread_ = std::thread([this] { run(); });
}

void CurlTransfers::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    curl_multi_wakeup(multi_);
    if (thread_.joinable()) thread_.join();
}

void CurlTransfers::start(std::shared_ptr<DataRequest> request, std::string origin, Options options,
                          Completion completion) {
    auto transfer = std::make_unique<Transfer>();
    transfer->request = std::move(request);
    transfer->originKey = std::move(origin);
    transfer->options = options;
    transfer->completion = std::move(completion);
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        // Requests made together wake the thread once: it takes all that came.
        wake = incoming_.empty();
        incoming_.push_back(std::move(transfer));
    }
    if (wake) curl_multi_wakeup(multi_);
}

void CurlTransfers::enqueue(std::unique_ptr<Transfer> transfer) {
    if (!transfer->origin) {
        auto found = origins_.find(transfer->originKey);
        if (found == origins_.end()) found = origins_.try_emplace(std::move(transfer->originKey)).first;
        transfer->origin = &found->second;
        transfer->originKey = {};
    }
    // Kept in deadline order; a new request mostly has the latest.
    auto& waiting = transfer->origin->waiting;
    const auto deadline = transfer->request->deadline_;
    auto at = waiting.end();
    while (at != waiting.begin() && (*std::prev(at))->request->deadline_ > deadline) --at;
    waiting.insert(at, std::move(transfer));
}

Clock::time_point CurlTransfers::startInTurn(Clock::time_point now) {
    auto next = Clock::time_point::max();
    for (auto& [key, origin] : origins_) {
        auto& waiting = origin.waiting;
        while (!waiting.empty() && waiting.front()->request->deadline_ <= now) {
            const auto transfer = std::move(waiting.front());
            waiting.pop_front();
            transfer->completion(failure(transfer->request->url_, makeError(Error::Code::timedOut)));
        }
        while (!waiting.empty() && origin.running < origin.width && now >= origin.attempts.notBefore) {
            // The request with the most time left goes first: an attempt needs the time
            // to connect, and under load the oldest would time out on the way anyway.
            auto transfer = std::move(waiting.back());
            waiting.pop_back();
            begin(std::move(transfer));
        }
        if (waiting.empty()) continue;
        next = std::min(next, waiting.front()->request->deadline_);
        if (origin.running < origin.width) next = std::min(next, origin.attempts.notBefore);
    }
    return next;
}

void CurlTransfers::begin(std::unique_ptr<Transfer> transfer) {
    ++transfer->origin->running;
    transfer->round = transfer->origin->round;
    DataRequest& request = *transfer->request;
    request.receiving_ = HTTPURLResponse{};
    request.receiving_.url = request.url_;
    request.received_.clear();
    request.gotBody_ = false;
    transfer->headerBytes = 0;
    transfer->tooLarge = false;
    transfer->badField = false;
    CURL* easy = curl_easy_init();
    transfer->easy = easy;
    curl_easy_setopt(easy, CURLOPT_URL, request.url_.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorText);
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(request.deadline_ - Clock::now());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<long long>(1, remaining.count())));
    if (transfer->options.withoutProxy) curl_easy_setopt(easy, CURLOPT_PROXY, "");

    if (request.method_ == "POST") {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
    } else if (request.method_ != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method_.c_str());
    }
    if (request.method_ != "GET" || !request.body_.empty()) {
        // Never a null pointer: curl would then read the body from standard input.
        static const char empty[] = "";
        const void* body = request.body_.empty() ? static_cast<const void*>(empty) : request.body_.data();
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body_.size()));
    }
    for (const auto& [name, value] : request.headers_) {
        // "Name;" is curl's way of sending a header with an empty value.
        transfer->headers.add(withoutLineBreaks(name) + (value.empty() ? ";" : ": " + withoutLineBreaks(value)));
    }
    transfer->headers.add("Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers.list);

    const Hooks hooks = currentHooks();
    for (const auto& entry : hooks.resolve) transfer->resolve.add(entry);
    if (transfer->resolve.list) curl_easy_setopt(easy, CURLOPT_RESOLVE, transfer->resolve.list);
    transfer->caBundle = hooks.caBundle;
    if (!transfer->caBundle.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, transfer->caBundle.c_str());

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    curl_multi_add_handle(multi_, easy);
    running_.insert(transfer.release());  // owned here until curl is done with it
}

void CurlTransfers::ended(std::unique_ptr<Transfer> transfer, int result) {
    running_.erase(transfer.get());
    curl_multi_remove_handle(multi_, transfer->easy);
    --transfer->origin->running;
    DataResponse response = outcome(*transfer, result);
    if (followOriginRules(*transfer, response)) {
        transfer->reset();
        enqueue(std::move(transfer));
        return;
    }
    transfer->completion(std::move(response));
}

DataResponse CurlTransfers::outcome(Transfer& transfer, int result) {
    const auto code = static_cast<CURLcode>(result);
    long status = 0, osErrno = 0;
    curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(transfer.easy, CURLINFO_OS_ERRNO, &osErrno);
    DataRequest& request = *transfer.request;
    DataResponse response{request.url_, {}, {}, {}};
    if (status != 0) {
        request.receiving_.statusCode = status;
        response.response = std::move(request.receiving_);
    }
    if (code == CURLE_OK || request.gotBody_) response.data = std::move(request.received_);
    if (transfer.tooLarge) {
        response.error = makeError(Error::Code::dataLengthExceedsMaximum);
    } else if (transfer.badField) {
        response.error = makeError(Error::Code::networkConnectionLost, "a header value holds a control character");
    } else if (code != CURLE_OK) {
        response.error = transportError(code, osErrno, *transfer.errorText ? transfer.errorText
                                                                            : curl_easy_strerror(code));
        logConnectionFailure(request.url_, *response.error);
    }
    return response;
}

bool CurlTransfers::followOriginRules(Transfer& transfer, const DataResponse& response) {
    Origin& origin = *transfer.origin;
    // No way out yet, and the session waits for one: the server was not tried. One
    // request tries again shortly; the requests wait, and time out at their deadlines
    // if it stays so.
    if (response.error && response.error->code == Error::Code::notConnectedToInternet &&
        transfer.options.waitsForConnectivity) {
        origin.width = 1;
        origin.attempts.notBefore = std::max(origin.attempts.notBefore, Clock::now() + kConnectivityRetry);
        return true;
    }
    if (!response.error && response.response) {
        // Any complete answer, whatever its status, shows the origin is up. One more
        // transfer may run once a new connection has answered (or the first one has):
        // connections are added one at a time too.
        origin.attempts.answered();
        long connects = 0;
        curl_easy_getinfo(transfer.easy, CURLINFO_NUM_CONNECTS, &connects);
        if (connects > 0 || origin.width == 1) origin.width = std::min(origin.width + 1, kTransfersPerOrigin);
    } else if (transfer.round == origin.round) {
        // The first of this round's transfers to fail: one failed attempt.
        ++origin.round;
        origin.width = 1;
        origin.attempts.failed();
    }
    return false;
}

void CurlTransfers::run() {
    std::vector<std::unique_ptr<Transfer>> incoming;  // keeps its room from one round to the next
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            incoming.swap(incoming_);
        }
        for (auto& transfer : incoming) enqueue(std::move(transfer));
        incoming.clear();
        startInTurn(Clock::now());

        int running = 0;
        curl_multi_perform(multi_, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            Transfer* raw = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &raw);
            ended(std::unique_ptr<Transfer>(raw), message->data.result);
        }

        const auto now = Clock::now();
        const auto next = startInTurn(now);
        long waitMs = -1;
        curl_multi_timeout(multi_, &waitMs);
        if (waitMs < 0 || waitMs > kLongestWaitMs) waitMs = kLongestWaitMs;
        if (next != Clock::time_point::max()) {
            const auto untilNext = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
            waitMs = std::clamp<long>(static_cast<long>(untilNext.count()) + 1, 0, waitMs);
        }
        curl_multi_poll(multi_, nullptr, 0, static_cast<int>(waitMs), nullptr);
    }
    // At exit: let go of what is left without telling anyone.
    for (Transfer* transfer : running_) {
        curl_multi_remove_handle(multi_, transfer->easy);
        delete transfer;
    }
    running_.clear();
    origins_.clear();
}

}  // namespace http::detail
