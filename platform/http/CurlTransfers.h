#pragma once
// Requests that HTTP/2 does not carry (plain HTTP, and HTTPS servers without HTTP/2),
// on libcurl, on one thread of its own that lets curl wait on its sockets itself: curl
// sees every socket as long as it is readable, so nothing it leaves unread can stall a
// transfer. The thread is stopped and joined at exit. Internal to the http role.
//
// The transfers to one origin keep the HTTP/2 road's rules: one at a time until the
// origin answers, each attempt after one that got no answer waiting its turn
// (`Attempts`), and then at most a few at once, each on a connection of its own, the
// connections added one at a time. The others wait here, not in curl, each until its
// time-out.
//
// A request lives here from start() until its completion has been called.

#include "http/Transfer.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace http::detail {

class CurlTransfers {
public:
    struct Options {
        bool withoutProxy = false;  // the session names its proxies: none from the environment
        bool waitsForConnectivity = false;
    };
    // Called on the transfer thread with the outcome.
    using Completion = std::function<void(DataResponse)>;

    // Transfers to one origin at once, once it answers; curl keeps no more connections to a host.
    static constexpr std::size_t kTransfersPerOrigin = 8;

    static CurlTransfers& shared();

    // Any thread. `origin` is the URL's origin key; the request's deadline bounds the
    // transfer, the wait for its turn included.
    void start(std::shared_ptr<DataRequest> request, std::string origin, Options options, Completion completion);

private:
    using Clock = std::chrono::steady_clock;
    struct Transfer;

    // The transfers to one origin that curl does not run yet, and how many it may run.
    struct Origin {
        Attempts attempts;
        std::deque<std::unique_ptr<Transfer>> waiting;  // by deadline, soonest first
        std::size_t running = 0;
        // One until the origin answers, then one more with each new connection that
        // answers, up to the cap.
        std::size_t width = 1;
        // One more with each attempt that got no answer: the transfers of one round that
        // fail together (a server gone while they ran) count as one attempt.
        std::uint64_t round = 0;
    };

    CurlTransfers();
    void stop();
    void run();
    void enqueue(std::unique_ptr<Transfer> transfer);
    Clock::time_point startInTurn(Clock::time_point now);
    void begin(std::unique_ptr<Transfer> transfer);
    // A transfer curl is done with: its outcome, and what that tells of its origin.
    void ended(std::unique_ptr<Transfer> transfer, int result);
    // What the transfer brought (`result` is curl's code): the response and body that
    // came, and the error.
    static DataResponse outcome(Transfer& transfer, int result);
    // What the outcome tells of the origin: an answer widens it, a failed attempt
    // narrows it and delays the next. True when the transfer is to go again (the
    // network is down and the session waits for it).
    static bool followOriginRules(Transfer& transfer, const DataResponse& response);

    // Locked: handed over between the sessions' queues (start()) and the curl thread.
    std::mutex mutex_;
    std::vector<std::unique_ptr<Transfer>> incoming_;
    bool stopping_ = false;
    void* multi_ = nullptr;  // CURLM
    // The transfer thread's own: by origin key (a handful, from the configuration), and
    // what curl runs.
    std::map<std::string, Origin, std::less<>> origins_;
    std::set<Transfer*> running_;
    std::thread thread_;
};

}  // namespace http::detail
