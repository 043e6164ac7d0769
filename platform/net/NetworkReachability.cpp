#include "net/NetworkReachability.h"

#include "dispatch/Dispatch.h"
#include "net/Netlink.h"

#include <linux/rtnetlink.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace net {
namespace {

bool isAnyAddress(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr == INADDR_ANY;
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
    return IN6_IS_ADDR_UNSPECIFIED(&in6.sin6_addr);
}

// Flags of the path that a route gives, with the link it leaves through.
ReachabilityFlags pathFlags(const netlink::Route& route, const netlink::Link& link) {
    ReachabilityFlags flags = reachability::reachable;
    if (!route.hasGateway) flags |= reachability::isDirect;
    if (netlink::isWirelessWideArea(link.name)) flags |= reachability::isWWAN;
    return flags;
}

// The process's one subscription to link, address and route changes. Its thread
// reads each batch of events, counts it, and then tells every subscriber with a task
// on the subscriber's queue; a subscriber whose task has not started yet is not told
// again, so a burst costs it a task or two. Never destroyed: the thread polls for
// the process's whole life.
class ChangeSource {
public:
    struct Subscriber {
        Subscriber(dispatch::DispatchQueue& queue, std::function<void()> onChange)
            : queue(queue), onChange(std::move(onChange)) {}
        dispatch::DispatchQueue& queue;
        const std::function<void()> onChange;
        std::mutex mutex;
        bool told = false;  // a task is queued and has not started
        bool removed = false;
    };

    static ChangeSource& shared() {
        static ChangeSource& source = *new ChangeSource;
        return source;
    }

    bool watching() const { return static_cast<bool>(socket_); }
    std::uint64_t count() const { return count_.load(std::memory_order_acquire); }

    Result<> add(std::shared_ptr<Subscriber> subscriber) {
        if (!watching()) return socket_.error();
        std::lock_guard lock(mutex_);
        subscribers_.push_back(std::move(subscriber));
        return {};
    }

    // Once this returns nothing more is posted for the subscriber, and a task still
    // queued does nothing.
    void remove(const std::shared_ptr<Subscriber>& subscriber) {
        {
            std::lock_guard lock(subscriber->mutex);
            subscriber->removed = true;
        }
        std::lock_guard lock(mutex_);
        std::erase(subscribers_, subscriber);
    }

private:
    ChangeSource() : socket_(netlink::openEventSocket()) {
        if (watching()) std::thread([this] { run(); }).detach();
    }

    void run() {
        pollfd events{*socket_, POLLIN, 0};
        for (;;) {
            if (::poll(&events, 1, -1) < 0 && errno != EINTR) return;
            if (events.revents & POLLNVAL) return;
            if (!netlink::drainEvents(*socket_)) continue;
            count_.fetch_add(1, std::memory_order_acq_rel);
            std::lock_guard lock(mutex_);
            for (const auto& subscriber : subscribers_) tell(subscriber);
        }
    }

    static void tell(const std::shared_ptr<Subscriber>& subscriber) {
        {
            std::lock_guard lock(subscriber->mutex);
            if (subscriber->told) return;
            subscriber->told = true;
        }
        subscriber->queue.async([subscriber] {
            {
                std::lock_guard lock(subscriber->mutex);
                if (subscriber->removed) return;
                subscriber->told = false;
            }
            subscriber->onChange();
        });
    }

    const Result<int> socket_;  // the descriptor, or why there is none
    std::atomic<std::uint64_t> count_{0};
    std::mutex mutex_;
    std::vector<std::shared_ptr<Subscriber>> subscribers_;
};

class RouteReachability : public ReachabilityTarget,
                          public std::enable_shared_from_this<RouteReachability> {
public:
    explicit RouteReachability(sockaddr_storage address) : address_(address) {}
    explicit RouteReachability(std::string hostname) : hostname_(std::move(hostname)) {}

    ~RouteReachability() override { stopWatch(); }

    Result<> setCallback(Callback callback) override {
        std::lock_guard lock(mutex_);
        callback_ = std::move(callback);
        return {};
    }

    Result<> setDispatchQueue(dispatch::DispatchQueue* queue) override {
        stopWatch();
        if (!queue) return {};
        {
            std::lock_guard lock(mutex_);
            if (!callback_) return Error::system(EINVAL);
            delivered_.reset();
        }
        auto subscriber = std::make_shared<ChangeSource::Subscriber>(*queue, [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->deliverChange();
        });
        if (auto added = ChangeSource::shared().add(subscriber); !added) return added;
        std::lock_guard lock(mutex_);
        subscriber_ = std::move(subscriber);
        return {};
    }

    Result<ReachabilityFlags> getFlags() override { return readFlags(); }

private:
    void stopWatch() {
        std::shared_ptr<ChangeSource::Subscriber> subscriber;
        {
            std::lock_guard lock(mutex_);
            subscriber = std::move(subscriber_);
        }
        if (subscriber) ChangeSource::shared().remove(subscriber);
    }

    // Runs on the delivery queue after link, address or route changes.
    void deliverChange() {
        auto flags = readFlags();
        if (!flags) return;
        Callback callback;
        {
            std::lock_guard lock(mutex_);
            if (delivered_ == *flags) return;
            delivered_ = *flags;
            callback = callback_;
        }
        if (callback) callback(*flags);
    }

    Result<ReachabilityFlags> readFlags() {
        auto links = netlink::links();
        if (!links) return links.error();
        std::optional<sockaddr_storage> target = address_;
        if (!hostname_.empty()) target = resolve();
        if (!target) return ReachabilityFlags{0};

        if (isAnyAddress(*target)) {
            auto routes = netlink::defaultRoutes();
            if (!routes) return routes.error();
            auto path = netlink::usableDefaultPath(*links, *routes);
            return path ? pathFlags(path->route, path->link) : ReachabilityFlags{0};
        }
        auto route = netlink::routeTo(reinterpret_cast<const sockaddr&>(*target));
        if (!route) return route.error();
        if (route->type == RTN_LOCAL)
            return reachability::reachable | reachability::isLocalAddress | reachability::isDirect;
        if (route->type != RTN_UNICAST) return ReachabilityFlags{0};
        auto link = std::find_if(links->begin(), links->end(), [&](const netlink::Link& l) {
            return l.index == route->outputInterface;
        });
        if (link == links->end() || (link->flags & (IFF_UP | IFF_RUNNING)) != (IFF_UP | IFF_RUNNING))
            return ReachabilityFlags{0};
        return pathFlags(*route, *link);
    }

    std::optional<sockaddr_storage> resolve() const {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* list = nullptr;
        if (::getaddrinfo(hostname_.c_str(), nullptr, &hints, &list) != 0 || !list) return std::nullopt;
        sockaddr_storage address{};
        std::memcpy(&address, list->ai_addr, std::min<std::size_t>(list->ai_addrlen, sizeof address));
        ::freeaddrinfo(list);
        return address;
    }

    std::optional<sockaddr_storage> address_;
    std::string hostname_;
    std::mutex mutex_;
    Callback callback_;
    std::optional<ReachabilityFlags> delivered_;
    std::shared_ptr<ChangeSource::Subscriber> subscriber_;
};

}  // namespace

std::optional<std::uint64_t> networkChangeCount() {
    auto& source = ChangeSource::shared();
    if (!source.watching()) return std::nullopt;
    return source.count();
}

Result<std::shared_ptr<ReachabilityTarget>> makeReachabilityWithAddress(const sockaddr& address) {
    sockaddr_storage copy{};
    if (address.sa_family == AF_INET)
        std::memcpy(&copy, &address, sizeof(sockaddr_in));
    else if (address.sa_family == AF_INET6)
        std::memcpy(&copy, &address, sizeof(sockaddr_in6));
    else
        return Error::system(EAFNOSUPPORT);
    return std::shared_ptr<ReachabilityTarget>(std::make_shared<RouteReachability>(copy));
}

Result<std::shared_ptr<ReachabilityTarget>> makeReachabilityWithName(const std::string& hostname) {
    if (hostname.empty()) return Error::system(EINVAL);
    return std::shared_ptr<ReachabilityTarget>(std::make_shared<RouteReachability>(hostname));
}

}  // namespace net
