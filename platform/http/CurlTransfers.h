#pragma once
// Requests that HTTP/2 does not carry (plain HTTP, and HTTPS servers without HTTP/2),
// on libcurl. They are few (the probe, the report upload), so they run on one thread
// of their own that lets curl wait on its sockets itself: curl sees every socket as
// long as it is readable, so nothing it leaves unread can stall a transfer. The thread
// is stopped and joined at exit. Internal to the http role.
//
// A request lives here from start() until its completion has been called.

#include "http/Transfer.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
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

    static CurlTransfers& shared();

    // Any thread. The request's deadline bounds the transfer.
    void start(std::shared_ptr<DataRequest> request, Options options, Completion completion);

private:
    struct Transfer;

    CurlTransfers();
    void stop();
    void run();
    void begin(std::unique_ptr<Transfer> transfer);

    std::mutex mutex_;
    std::vector<std::unique_ptr<Transfer>> incoming_;
    bool stopping_ = false;
    void* multi_ = nullptr;  // CURLM
    std::set<Transfer*> running_;  // the transfer thread's own
    std::thread thread_;
};

}  // namespace http::detail
