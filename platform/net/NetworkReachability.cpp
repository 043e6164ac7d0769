#include "net/NetworkReachability.h"

#include "dispatch/Dispatch.h"
#include "net/Netlink.h"

#include <linux/rtnetlink.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

namespace net {
namespace {

thread_local int lastError = 0;

bool fail(int code) {
    lastError = code ? code : EIO;
    return false;
}

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

// Watches rtnetlink on a thread of its own; each wake-up is handled by a task on the
// delivery queue, and the thread waits for that task before it polls again, so the
// events are read on the queue. Queued tasks share the state, so a watch stopped
// from anywhere (its own queue included) leaves nothing dangling.
class EventWatch {
public:
    EventWatch(dispatch::DispatchQueue& queue, std::function<void()> onEvents)
        : queue_(queue), state_(std::make_shared<State>()) {
        state_->onEvents = std::move(onEvents);
    }

    bool start() {
        state_->socket = netlink::openEventSocket();
        if (state_->socket < 0) return fail(errno);
        state_->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (state_->wake < 0) return fail(errno);
        thread_ = std::thread([this, state = state_] { run(*state); });
        return true;
    }

    ~EventWatch() {
        {
            std::lock_guard lock(state_->mutex);
            state_->stopping = true;
        }
        state_->changed.notify_all();
        if (state_->wake >= 0) {
            std::uint64_t one = 1;
            [[maybe_unused]] auto written = ::write(state_->wake, &one, sizeof one);
        }
        if (thread_.joinable()) thread_.join();
    }

private:
    struct State {
        int socket = -1;
        int wake = -1;
        std::function<void()> onEvents;
        std::mutex mutex;
        std::condition_variable changed;
        bool busy = false;
        bool stopping = false;
        ~State() {
            if (socket >= 0) ::close(socket);
            if (wake >= 0) ::close(wake);
        }
    };

    void run(State& state) {
        pollfd fds[2] = {{state.socket, POLLIN, 0}, {state.wake, POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
            std::unique_lock lock(state.mutex);
            if (state.stopping) return;
            if (!(fds[0].revents & (POLLIN | POLLERR))) continue;
            state.busy = true;
            queue_.async([state = state_] {
                {
                    std::lock_guard lock(state->mutex);
                    if (state->stopping) return;
                }
                netlink::drainEvents(state->socket);
                auto onEvents = state->onEvents;
                onEvents();
                {
                    std::lock_guard lock(state->mutex);
                    state->busy = false;
                }
                state->changed.notify_all();
            });
            state.changed.wait(lock, [&] { return !state.busy || state.stopping; });
            if (state.stopping) return;
        }
    }

    dispatch::DispatchQueue& queue_;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

class RouteReachability : public ReachabilityTarget,
                          public std::enable_shared_from_this<RouteReachability> {
public:
    explicit RouteReachability(sockaddr_storage address) : address_(address) {}
    explicit RouteReachability(std::string hostname) : hostname_(std::move(hostname)) {}

    ~RouteReachability() override { stopWatch(); }

    bool setCallback(Callback callback) override {
        std::lock_guard lock(mutex_);
        callback_ = std::move(callback);
        return true;
    }

    bool setDispatchQueue(dispatch::DispatchQueue* queue) override {
        stopWatch();
        if (!queue) return true;
        {
            std::lock_guard lock(mutex_);
            if (!callback_) return fail(EINVAL);
            delivered_.reset();
        }
        auto watch = std::make_unique<EventWatch>(
            *queue, [weak = weak_from_this()] {
                if (auto self = weak.lock()) self->deliverChange();
            });
        if (!watch->start()) return false;
        std::lock_guard lock(mutex_);
        watch_ = std::move(watch);
        return true;
    }

    bool getFlags(ReachabilityFlags& flags) override {
        auto current = readFlags();
        if (!current) return false;
        flags = *current;
        return true;
    }

private:
    void stopWatch() {
        std::unique_ptr<EventWatch> watch;
        std::lock_guard lock(mutex_);
        watch = std::move(watch_);
    }

    // Runs on the delivery queue after link, address or route events.
    void deliverChange() {
        auto flags = readFlags();
        if (!flags) return;
        Callback callback;
        {
            std::lock_guard lock(mutex_);
            if (delivered_ == flags) return;
            delivered_ = flags;
            callback = callback_;
        }
        if (callback) callback(*flags);
    }

    std::optional<ReachabilityFlags> readFlags() {
        auto links = netlink::links();
        if (!links) return fail(errno), std::nullopt;
        std::optional<sockaddr_storage> target = address_;
        if (!hostname_.empty()) target = resolve();
        if (!target) return ReachabilityFlags{0};

        if (isAnyAddress(*target)) {
            auto routes = netlink::defaultRoutes();
            if (!routes) return fail(errno), std::nullopt;
            auto path = netlink::usableDefaultPath(*links, *routes);
            return path ? pathFlags(path->route, path->link) : 0;
        }
        auto route = netlink::routeTo(reinterpret_cast<const sockaddr&>(*target));
        if (!route) return fail(errno), std::nullopt;
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
    std::unique_ptr<EventWatch> watch_;
};

}  // namespace

int lastReachabilityError() { return lastError; }

std::shared_ptr<ReachabilityTarget> makeReachabilityWithAddress(const sockaddr& address) {
    sockaddr_storage copy{};
    if (address.sa_family == AF_INET) {
        std::memcpy(&copy, &address, sizeof(sockaddr_in));
    } else if (address.sa_family == AF_INET6) {
        std::memcpy(&copy, &address, sizeof(sockaddr_in6));
    } else {
        fail(EAFNOSUPPORT);
        return nullptr;
    }
    return std::make_shared<RouteReachability>(copy);
}

std::shared_ptr<ReachabilityTarget> makeReachabilityWithName(const std::string& hostname) {
    if (hostname.empty()) {
        fail(EINVAL);
        return nullptr;
    }
    return std::make_shared<RouteReachability>(hostname);
}

}  // namespace net
