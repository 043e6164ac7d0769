#include "http/Session.h"

#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>
#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <list>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace http {

namespace {

using namespace std::chrono_literals;

// A network that is down is retried this often while the session waits for connectivity.
constexpr auto kConnectivityRetry = 250ms;

struct Hooks {
    std::mutex mutex;
    std::vector<std::string> resolve;
    std::string caBundle;
    unsigned generation = 1;  // counts changes of `resolve`
};

Hooks& hooks() {
    // Never destroyed: the transfer thread may still read it while the process exits.
    static Hooks* instance = new Hooks;
    return *instance;
}

dispatch::DispatchQueue* transfers = nullptr;

// Every session's transfers run on this one thread; handlers go back to each
// session's own queue. Never destroyed, like the process's other system threads.
dispatch::DispatchQueue& transferQueue() {
    static const bool created = [] {
        dispatch::DispatchQueue::main();  // made first, so it ends after the stop below
        transfers = new dispatch::DispatchQueue("com.brimvale.http");
        std::atexit([] { dispatch::stopRunning({transfers}); });
        return true;
    }();
    (void)created;
    return *transfers;
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

Error makeError(Error::Code code, std::string detail = {}) {
    static const std::map<Error::Code, const char*> texts = {
        {Error::Code::timedOut, "The request timed out."},
        {Error::Code::cannotFindHost, "A server with the specified hostname could not be found."},
        {Error::Code::cannotConnectToHost, "Could not connect to the server."},
        {Error::Code::notConnectedToInternet, "The Internet connection appears to be offline."},
        {Error::Code::networkConnectionLost, "The network connection was lost."},
        {Error::Code::secureConnectionFailed,
         "An SSL error has occurred and a secure connection to the server cannot be made."},
        {Error::Code::badURL, "unsupported URL"},
        {Error::Code::cancelled, "cancelled"},
        {Error::Code::unknown, "An unknown error occurred."},
    };
    auto found = texts.find(code);
    return Error{code, found != texts.end() ? found->second : "An unknown error occurred.",
                 std::move(detail)};
}

Error transportError(CURLcode code, long osErrno, const char* detail) {
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

void initializeCurlOnce() {
    static const bool initialized = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)initialized;
}

}  // namespace

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

std::string describe(const HTTPHeaders& headers) {
    std::string text = "[";
    bool first = true;
    for (const auto& [name, value] : headers) {
        text += (first ? "" : ", ") + quote(name) + ": " + quote(value);
        first = false;
    }
    return text + "]";
}

// ---- Engine: the curl multi handle on the transfer thread's event loop ----

class Engine : public std::enable_shared_from_this<Engine> {
public:
    Engine(const SessionConfiguration& configuration, dispatch::DispatchQueue& queue)
        : configuration_(configuration), queue_(queue), timer_(queue.context()) {
        initializeCurlOnce();
        multi_ = curl_multi_init();
        curl_multi_setopt(multi_, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
        // One multiplexed connection per host: a server that caps its streams makes
        // further requests wait for a free stream instead of opening more connections.
        curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, 1L);
        curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &Engine::onSocket);
        curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &Engine::onTimer);
        curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    }

    ~Engine() {
        for (auto& [easy, transfer] : running_) release(easy);
        for (CURL* easy : idle_) curl_easy_cleanup(easy);
        curl_multi_cleanup(multi_);  // closes cached connections through onCloseSocket
        for (auto& [fd, watch] : sockets_) watch->descriptor.release();
    }

    // On the queue.
    void start(const std::shared_ptr<DataRequest>& request) {
        if (invalidated_) {
            request->complete(DataResponse{request->url_, {}, {}, makeError(Error::Code::cancelled)});
            return;
        }
        if (request->deadline_ == std::chrono::steady_clock::time_point{}) {
            request->deadline_ = std::chrono::steady_clock::now() +
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    configuration_.timeoutIntervalForResource);
        }
        auto transfer = std::make_unique<Transfer>();
        transfer->request = request;
        CURL* easy = makeEasy(*request, *transfer);
        running_.emplace(easy, std::move(transfer));
        // Running requests keep the engine alive after its session has gone.
        if (!keepAlive_) keepAlive_ = shared_from_this();
        curl_multi_add_handle(multi_, easy);
    }

    void invalidate(bool cancelRunning) {
        invalidated_ = true;
        if (!cancelRunning) return;
        auto running = std::move(running_);
        running_.clear();
        for (auto& [easy, transfer] : running) {
            release(easy);
            const auto& request = transfer->request;
            request->complete(DataResponse{request->url_, {}, {}, makeError(Error::Code::cancelled)});
        }
        auto last = std::move(keepAlive_);
    }

    size_t runningCount() const { return runningCount_.load(); }
    size_t connectionsOpened() const { return connectionsOpened_.load(); }
    bool invalidated() const { return invalidated_; }

private:
    struct Transfer {
        std::shared_ptr<DataRequest> request;
        std::string headerText;
        std::vector<curl_slist> headerNodes;
    };

    // A curl string list that frees itself.
    class TextList {
    public:
        explicit TextList(const std::vector<std::string>& entries) {
            for (const auto& entry : entries) list_ = curl_slist_append(list_, entry.c_str());
        }
        ~TextList() { curl_slist_free_all(list_); }
        TextList(const TextList&) = delete;
        TextList& operator=(const TextList&) = delete;
        curl_slist* list() const { return list_; }

    private:
        curl_slist* list_ = nullptr;
    };

    struct SocketWatch {
        SocketWatch(asio::io_context& context, int fd, unsigned generation)
            : descriptor(context, fd), generation(generation) {}
        asio::posix::stream_descriptor descriptor;
        unsigned generation;  // tells a reused descriptor number from the one a wait was for
        int wanted = 0;
        bool readPending = false;
        bool writePending = false;
        bool openedByUs = false;  // closed through onCloseSocket, else released on removal
    };

    CURL* makeEasy(DataRequest& request, Transfer& transfer) {
        // A finished transfer's handle keeps its buffers for the next one.
        CURL* easy = nullptr;
        if (idle_.empty()) {
            easy = curl_easy_init();
        } else {
            easy = idle_.back();
            idle_.pop_back();
        }
        request.status_ = 0;
        request.receiving_ = HTTPURLResponse{};
        request.receiving_.url = request.url_;
        request.received_.clear();
        request.gotBody_ = false;

        curl_easy_setopt(easy, CURLOPT_URL, request.url_.c_str());
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &request);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
        curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
        static_assert(sizeof request.errorBuffer_ >= CURL_ERROR_SIZE);
        request.errorBuffer_[0] = '\0';
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, request.errorBuffer_);
        auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
            request.deadline_ - std::chrono::steady_clock::now());
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<long long>(1, remaining.count())));
        if (configuration_.connectionProxyDictionary) curl_easy_setopt(easy, CURLOPT_PROXY, "");

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

        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, buildHeaderList(request, transfer));

        {
            auto& all = hooks();
            std::lock_guard lock(all.mutex);
            if (all.generation != resolveGeneration_) {
                // Lists handed to earlier transfers stay valid until the engine ends.
                resolveLists_.emplace_back(all.resolve);
                resolveGeneration_ = all.generation;
            }
            if (curl_slist* resolve = resolveLists_.empty() ? nullptr : resolveLists_.back().list())
                curl_easy_setopt(easy, CURLOPT_RESOLVE, resolve);
            if (!all.caBundle.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, all.caBundle.c_str());
        }

        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Engine::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &request);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Engine::onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &request);
        curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Engine::onOpenSocket);
        curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Engine::onCloseSocket);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
        ++runningCount_;
        return easy;
    }

    // The request's header lines in one buffer, linked as curl expects; curl only reads
    // the list, which lives as long as the request.
    static curl_slist* buildHeaderList(const DataRequest& request, Transfer& transfer) {
        std::string& text = transfer.headerText;
        text.clear();
        std::vector<size_t> starts;
        starts.reserve(request.headers_.size() + 1);
        for (const auto& [name, value] : request.headers_) {
            starts.push_back(text.size());
            // "Name;" is curl's way of sending a header with an empty value. Line breaks
            // would let a value smuggle in headers of its own, so they are dropped.
            auto appendWithoutLineBreaks = [&text](std::string_view part) {
                for (char c : part)
                    if (c != '\r' && c != '\n') text += c;
            };
            appendWithoutLineBreaks(name);
            text += value.empty() ? ";" : ": ";
            appendWithoutLineBreaks(value);
            text += '\0';
        }
        starts.push_back(text.size());
        text += "Expect:";
        text += '\0';
        auto& nodes = transfer.headerNodes;
        nodes.assign(starts.size(), curl_slist{});
        for (size_t i = 0; i < starts.size(); ++i) {
            nodes[i].data = text.data() + starts[i];
            nodes[i].next = i + 1 < starts.size() ? &nodes[i + 1] : nullptr;
        }
        return nodes.data();
    }

    void release(CURL* easy) {
        curl_multi_remove_handle(multi_, easy);
        // Reset drops every option, so nothing of this request leaks into the next.
        curl_easy_reset(easy);
        idle_.push_back(easy);
        --runningCount_;
    }

    static size_t onHeader(char* buffer, size_t size, size_t count, void* user) {
        auto& request = *static_cast<DataRequest*>(user);
        std::string_view line(buffer, size * count);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        if (line.starts_with("HTTP/")) {
            // A new status line (after 100 Continue or a redirect) starts a new header set.
            request.receiving_.headerFields.clear();
        } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
            request.receiving_.headerFields.emplace_back(std::string(line.substr(0, colon)), std::string(value));
        }
        return size * count;
    }

    static size_t onBody(char* buffer, size_t size, size_t count, void* user) {
        auto& request = *static_cast<DataRequest*>(user);
        request.received_.insert(request.received_.end(), buffer, buffer + size * count);
        request.gotBody_ = true;
        return size * count;
    }

    static curl_socket_t onOpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
        auto& engine = *static_cast<Engine*>(user);
        int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
        if (fd < 0) return CURL_SOCKET_BAD;
        ++engine.connectionsOpened_;
        auto watch = std::make_unique<SocketWatch>(engine.queue_.context(), fd, ++engine.generations_);
        watch->openedByUs = true;
        engine.sockets_[fd] = std::move(watch);
        return fd;
    }

    static int onCloseSocket(void* user, curl_socket_t fd) {
        auto& engine = *static_cast<Engine*>(user);
        if (auto found = engine.sockets_.find(fd); found != engine.sockets_.end()) {
            std::error_code ignored;
            found->second->descriptor.cancel(ignored);
            found->second->descriptor.release();
            engine.sockets_.erase(found);
        }
        return ::close(fd);
    }

    static int onSocket(CURL*, curl_socket_t fd, int what, void* user, void*) {
        auto& engine = *static_cast<Engine*>(user);
        auto found = engine.sockets_.find(fd);
        if (what == CURL_POLL_REMOVE) {
            if (found == engine.sockets_.end()) return 0;
            std::error_code ignored;
            found->second->descriptor.cancel(ignored);
            found->second->wanted = 0;
            if (!found->second->openedByUs) {
                found->second->descriptor.release();
                engine.sockets_.erase(found);
            }
            return 0;
        }
        if (found == engine.sockets_.end()) {
            // A socket curl made without us, e.g. its resolver's wake-up pipe.
            found = engine.sockets_
                        .emplace(fd, std::make_unique<SocketWatch>(engine.queue_.context(), fd, ++engine.generations_))
                        .first;
        }
        found->second->wanted = what;
        engine.arm(fd, *found->second);
        return 0;
    }

    void arm(int fd, SocketWatch& watch) {
        std::weak_ptr<Engine> weak = weak_from_this();
        const unsigned generation = watch.generation;
        if ((watch.wanted & CURL_POLL_IN) && !watch.readPending) {
            watch.readPending = true;
            watch.descriptor.async_wait(asio::posix::stream_descriptor::wait_read,
                                        [weak, fd, generation](const std::error_code& error) {
                                            if (auto engine = weak.lock())
                                                engine->onReady(fd, generation, CURL_CSELECT_IN, error);
                                        });
        }
        if ((watch.wanted & CURL_POLL_OUT) && !watch.writePending) {
            watch.writePending = true;
            watch.descriptor.async_wait(asio::posix::stream_descriptor::wait_write,
                                        [weak, fd, generation](const std::error_code& error) {
                                            if (auto engine = weak.lock())
                                                engine->onReady(fd, generation, CURL_CSELECT_OUT, error);
                                        });
        }
    }

    void onReady(int fd, unsigned generation, int event, const std::error_code& error) {
        auto found = sockets_.find(fd);
        if (found == sockets_.end() || found->second->generation != generation) return;
        (event == CURL_CSELECT_IN ? found->second->readPending : found->second->writePending) = false;
        if (error) return;
        const int wantedBit = event == CURL_CSELECT_IN ? CURL_POLL_IN : CURL_POLL_OUT;
        if (!(found->second->wanted & wantedBit)) return;
        auto keepAlive = shared_from_this();
        int running = 0;
        curl_multi_socket_action(multi_, fd, event, &running);
        collectFinished();
        // The socket may be gone, or no longer wanted, after curl's turn.
        found = sockets_.find(fd);
        if (found != sockets_.end()) arm(fd, *found->second);
    }

    // curl asks for a new deadline on every added transfer; re-arming the system
    // timer each time would cost a system call per request. The timer is only moved
    // earlier; when it fires before curl's latest deadline it is set again for it.
    static int onTimer(CURLM*, long timeoutMs, void* user) {
        auto& engine = *static_cast<Engine*>(user);
        if (timeoutMs < 0) {
            engine.deadline_.reset();
            return 0;
        }
        // curl rounds its wish down to whole milliseconds; firing before its own
        // deadline would find nothing due, and curl would not ask again.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs == 0 ? 0 : timeoutMs + 1);
        engine.deadline_ = deadline;
        if (timeoutMs == 0) {
            if (!engine.kickPending_) {
                engine.kickPending_ = true;
                engine.queue_.async([weak = engine.weak_from_this()] {
                    if (auto self = weak.lock()) {
                        self->kickPending_ = false;
                        self->onDeadline();
                    }
                });
            }
            return 0;
        }
        if (!engine.timerArmedFor_ || *engine.timerArmedFor_ > deadline) engine.armTimer(deadline);
        return 0;
    }

    void armTimer(std::chrono::steady_clock::time_point deadline) {
        timerArmedFor_ = deadline;
        timer_.expires_at(deadline);
        timer_.async_wait([weak = weak_from_this()](const std::error_code& error) {
            if (error) return;
            if (auto self = weak.lock()) {
                self->timerArmedFor_.reset();
                self->onDeadline();
            }
        });
    }

    void onDeadline() {
        if (!deadline_) return;
        if (*deadline_ > std::chrono::steady_clock::now()) {
            if (!timerArmedFor_ || *timerArmedFor_ > *deadline_) armTimer(*deadline_);
            return;
        }
        deadline_.reset();
        auto keepAlive = shared_from_this();
        int running = 0;
        curl_multi_socket_action(multi_, CURL_SOCKET_TIMEOUT, 0, &running);
        collectFinished();
    }

    void collectFinished() {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            CURL* easy = message->easy_handle;
            CURLcode code = message->data.result;
            auto found = running_.find(easy);
            if (found == running_.end()) continue;
            // The transfer's header lines stay until curl has let go of the handle.
            auto transfer = std::move(found->second);
            running_.erase(found);
            finish(easy, code, transfer->request);
        }
        DataRequest::completeAll(std::move(finished_));
        finished_.clear();
        if (running_.empty()) {
            auto last = std::move(keepAlive_);  // may end this engine's life on return
        }
    }

    void finish(CURL* easy, CURLcode code, const std::shared_ptr<DataRequest>& request) {
        long status = 0;
        long osErrno = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
        std::string detail = request->errorBuffer_;
        release(easy);

        DataResponse response{request->url_, {}, {}, {}};
        if (status != 0) {
            request->receiving_.statusCode = status;
            response.response = std::move(request->receiving_);
        }
        if (code == CURLE_OK || request->gotBody_) response.data = std::move(request->received_);
        if (code != CURLE_OK) {
            response.error = transportError(code, osErrno, detail.empty() ? curl_easy_strerror(code) : detail.c_str());
            const bool offline = response.error->code == Error::Code::notConnectedToInternet;
            if (offline && configuration_.waitsForConnectivity && !invalidated_ &&
                std::chrono::steady_clock::now() + kConnectivityRetry < request->deadline_) {
                auto self = shared_from_this();
                ++runningCount_;  // the request still counts as running while it waits
                queue_.asyncAfter(kConnectivityRetry, [self, request] {
                    --self->runningCount_;
                    self->start(request);
                });
                return;
            }
        }
        finished_.emplace_back(request, std::move(response));
    }

    SessionConfiguration configuration_;
    dispatch::DispatchQueue& queue_;
    CURLM* multi_ = nullptr;
    asio::steady_timer timer_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;       // curl's latest wish
    std::optional<std::chrono::steady_clock::time_point> timerArmedFor_;  // when timer_ fires
    bool kickPending_ = false;
    std::map<int, std::unique_ptr<SocketWatch>> sockets_;
    std::map<CURL*, std::unique_ptr<Transfer>> running_;
    std::list<TextList> resolveLists_;
    unsigned resolveGeneration_ = 0;
    std::vector<CURL*> idle_;
    // Requests finished in this turn, told to their handlers together.
    std::vector<std::pair<std::shared_ptr<DataRequest>, DataResponse>> finished_;
    std::atomic<size_t> runningCount_{0};
    std::atomic<size_t> connectionsOpened_{0};
    unsigned generations_ = 0;
    std::shared_ptr<Engine> keepAlive_;
    std::atomic<bool> invalidated_{false};
};

// ---- DataRequest ----

DataRequest::DataRequest(std::string url, std::string method, HTTPHeaders headers, Bytes body)
    : url_(std::move(url)), method_(std::move(method)), headers_(std::move(headers)), body_(std::move(body)) {}

DataRequest& DataRequest::validate() {
    std::lock_guard lock(mutex_);
    validated_ = true;
    return *this;
}

void DataRequest::deliver(const std::function<void(const DataResponse&)>& handler) {
    // The result is set once, before any delivery, and never changes after.
    const DataResponse& result = *result_;
    bool unacceptable = false;
    {
        std::lock_guard lock(mutex_);
        unacceptable = validated_ && !result.error && result.response &&
                       (result.response->statusCode < 200 || result.response->statusCode > 299);
    }
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
    std::unique_lock lock(mutex_);
    if (!result_) {
        handlers_.push_back(std::move(handler));
        return *this;
    }
    lock.unlock();
    queue_->async([self = shared_from_this(), handler = std::move(handler)] { self->deliver(handler); });
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

std::vector<std::function<void(const DataResponse&)>> DataRequest::setResult(DataResponse response) {
    std::vector<std::function<void(const DataResponse&)>> handlers;
    std::lock_guard lock(mutex_);
    result_ = std::move(response);
    handlers.swap(handlers_);
    return handlers;
}

void DataRequest::complete(DataResponse response) {
    for (auto& handler : setResult(std::move(response)))
        queue_->async([self = shared_from_this(), handler = std::move(handler)] { self->deliver(handler); });
}

void DataRequest::completeAll(std::vector<std::pair<std::shared_ptr<DataRequest>, DataResponse>> finished) {
    if (finished.empty()) return;
    // One task for the lot: the handlers' queue is woken once, not once per request.
    dispatch::DispatchQueue* queue = finished.front().first->queue_;
    queue->async([finished = std::move(finished)]() mutable {
        for (auto& [request, response] : finished)
            for (auto& handler : request->setResult(std::move(response))) request->deliver(handler);
    });
}

// ---- Session ----

Session::Session(SessionConfiguration configuration, dispatch::DispatchQueue& queue)
    : configuration_(std::move(configuration)), queue_(queue),
      engine_(std::make_shared<Engine>(configuration_, transferQueue())) {}

Session::~Session() {
    // The engine must die on the transfer thread; running requests keep it alive
    // until they complete when the session was invalidated, else they are cancelled.
    transferQueue().async([engine = std::move(engine_)] {
        if (!engine->invalidated()) engine->invalidate(true);
    });
}

Session& Session::defaultSession() {
    static Session* session = new Session(SessionConfiguration::defaultConfiguration());
    return *session;
}

std::shared_ptr<DataRequest> Session::start(std::shared_ptr<DataRequest> request) {
    request->queue_ = &queue_;
    transferQueue().async([engine = engine_, request] { engine->start(request); });
    return request;
}

std::shared_ptr<DataRequest> Session::request(std::string url, std::string method, HTTPHeaders headers) {
    return start(std::shared_ptr<DataRequest>(new DataRequest(std::move(url), std::move(method), std::move(headers), {})));
}

std::shared_ptr<DataRequest> Session::upload(Bytes body, std::string url, std::string method, HTTPHeaders headers) {
    return start(std::shared_ptr<DataRequest>(
        new DataRequest(std::move(url), std::move(method), std::move(headers), std::move(body))));
}

void Session::finishTasksAndInvalidate() {
    transferQueue().async([engine = engine_] { engine->invalidate(false); });
}

std::string Session::description() const {
    std::ostringstream text;
    text << "<Session " << static_cast<const void*>(this) << ": " << engine_->runningCount() << " running"
         << (engine_->invalidated() ? ", invalidated" : "") << ">";
    return text.str();
}

std::size_t Session::connectionsOpened() const { return engine_->connectionsOpened(); }

// ---- Test hooks ----

void setResolveOverrides(std::vector<std::string> entries) {
    auto& all = hooks();
    std::lock_guard lock(all.mutex);
    all.resolve = std::move(entries);
    ++all.generation;
}

void addResolveOverride(std::string entry) {
    auto& all = hooks();
    std::lock_guard lock(all.mutex);
    all.resolve.push_back(std::move(entry));
    ++all.generation;
}

void setCertificateAuthorityBundle(std::string path) {
    auto& all = hooks();
    std::lock_guard lock(all.mutex);
    all.caBundle = std::move(path);
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
