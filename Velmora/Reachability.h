#pragma once
// Watches whether the device can reach the network, and over which kind of link,
// and tells its owner about every change through two callbacks and a notification.

#include "foundation/NotificationCenter.h"
#include "net/NetworkReachability.h"

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace dispatch {
class DispatchQueue;
}

// Posted on every change, with the watch as object.
inline const std::string reachabilityChanged = "reachabilityChanged";
// Kept for callers that observe the older name; never posted.
inline const std::string ReachabilityChangedNotification = "ReachabilityChangedNotification";

class ReachabilityError : public std::exception {
public:
    enum class Kind {
        failedToCreateWithAddress,
        failedToCreateWithHostname,
        unableToSetCallback,
        unableToSetDispatchQueue,
        unableToGetFlags,
    };

    ReachabilityError(Kind kind, int code) : kind_(kind), code_(code) {}
    static ReachabilityError withAddress(const sockaddr& address, int code);
    static ReachabilityError withHostname(std::string hostname, int code);

    Kind kind() const { return kind_; }
    int code() const { return code_; }
    const sockaddr& address() const { return address_; }
    const std::string& hostname() const { return hostname_; }
    const char* what() const noexcept override;

private:
    Kind kind_;
    int code_;
    sockaddr address_{};
    std::string hostname_;
};

class Reachability : public std::enable_shared_from_this<Reachability> {
public:
    enum class Connection { none, unavailable, wifi, cellular };
    enum class NetworkStatus { notReachable, reachableViaWiFi, reachableViaWWAN };
    using Callback = std::function<void(Reachability&)>;
    using Flags = net::ReachabilityFlags;

    // Callbacks and notifications run on `notificationQueue` when given, else on the
    // watch's own serial queue.
    static std::shared_ptr<Reachability> make(std::shared_ptr<net::ReachabilityTarget> reference,
                                              dispatch::DispatchQueue* notificationQueue = nullptr);
    // Watches the "any" IPv4 address, i.e. the default route. Throws ReachabilityError.
    static std::shared_ptr<Reachability> make(dispatch::DispatchQueue* notificationQueue = nullptr);
    // Throws ReachabilityError.
    static std::shared_ptr<Reachability> makeWithHostname(const std::string& hostname,
                                                          dispatch::DispatchQueue* notificationQueue = nullptr);

    ~Reachability();
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    void startNotifier();  // throws ReachabilityError
    void stopNotifier();
    bool notifierRunning() const { return notifierRunning_; }

    Connection connection();
    Connection currentReachabilityStatus() { return connection(); }
    std::string currentReachabilityString();
    bool isReachable();
    bool isReachableViaWWAN();
    bool isReachableViaWiFi();
    // Does not read absent flags.
    std::string description() const;

    void setWhenReachable(Callback callback);
    void setWhenUnreachable(Callback callback);
    bool reachableOnWWAN() const { return true; }
    bool allowsCellularConnection() const { return allowsCellularConnection_; }
    void setAllowsCellularConnection(bool allows) { allowsCellularConnection_ = allows; }
    foundation::NotificationCenter& notificationCenter() const;
    void setNotificationCenter(foundation::NotificationCenter& center);
    bool isRunningOnDevice() const { return true; }

    // Current flags, absent until first read or reported.
    std::optional<Flags> flags() const;
    dispatch::DispatchQueue& serialQueue() { return *reachabilitySerialQueue_; }

    static std::string flagsDescription(Flags flags);
    static Connection connectionFor(std::optional<Flags> flags, bool allowsCellular);

private:
    struct Weakifier {
        std::weak_ptr<Reachability> reachability;
    };

    Reachability(std::shared_ptr<net::ReachabilityTarget> reference,
                 dispatch::DispatchQueue* notificationQueue);

    // Runs `work` on the serial queue and waits for it; inline when already there, and
    // on the notification queue, which waits for no other. A ReachabilityError that it
    // throws is thrown again here; anything else it throws on the queue comes back as
    // unableToGetFlags.
    void onSerialQueue(const std::function<void()>& work);
    // On the serial queue: reads the flags; on failure, also a read that throws,
    // stops the notifier when asked and throws ReachabilityError.
    void refreshFlags(bool stopOnFailure);
    void refreshIfAbsent();
    std::uint64_t reportedChanges() const;
    // Reported flags are the newest; read flags are dropped when a change was
    // reported after `reportsBefore` was taken.
    void setReportedFlags(Flags flags);
    void setReadFlags(Flags flags, std::uint64_t reportsBefore);
    // Called with the lock held; releases it before notifying.
    void setFlags(std::unique_lock<std::mutex>& lock, Flags flags);
    void notifyChange();
    void unregister();

    mutable std::mutex mutex_;
    Callback whenReachable_;
    Callback whenUnreachable_;
    std::atomic<bool> allowsCellularConnection_{true};
    foundation::NotificationCenter* notificationCenter_ = &foundation::NotificationCenter::defaultCenter();
    std::atomic<bool> notifierRunning_{false};
    std::shared_ptr<net::ReachabilityTarget> reachabilityRef_;
    std::unique_ptr<dispatch::DispatchQueue> reachabilitySerialQueue_;
    dispatch::DispatchQueue* notificationQueue_;
    std::optional<Flags> flags_;
    std::uint64_t reportedChanges_ = 0;
};

std::string description(Reachability::Connection connection);
std::string description(Reachability::NetworkStatus status);
