#include "Reachability.h"

#include "dispatch/Dispatch.h"

#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <future>

namespace {
const char* const serialQueueLabel = "com.brimvale.ios-dns.ext.reachability";
}

ReachabilityError ReachabilityError::withAddress(const sockaddr& address, int code) {
    ReachabilityError error(Kind::failedToCreateWithAddress, code);
    error.address_ = address;
    return error;
}

ReachabilityError ReachabilityError::withHostname(std::string hostname, int code) {
    ReachabilityError error(Kind::failedToCreateWithHostname, code);
    error.hostname_ = std::move(hostname);
    return error;
}

const char* ReachabilityError::what() const noexcept {
    switch (kind_) {
    case Kind::failedToCreateWithAddress: return "failedToCreateWithAddress";
    case Kind::failedToCreateWithHostname: return "failedToCreateWithHostname";
    case Kind::unableToSetCallback: return "unableToSetCallback";
    case Kind::unableToSetDispatchQueue: return "unableToSetDispatchQueue";
    case Kind::unableToGetFlags: return "unableToGetFlags";
    }
    return "ReachabilityError";
}

std::string description(Reachability::Connection connection) {
    switch (connection) {
    case Reachability::Connection::none: return "unavailable";
    case Reachability::Connection::unavailable: return "No Connection";
    case Reachability::Connection::wifi: return "WiFi";
    case Reachability::Connection::cellular: return "Cellular";
    }
    return "";
}

std::string description(Reachability::NetworkStatus status) {
    switch (status) {
    case Reachability::NetworkStatus::notReachable: return "No Connection";
    case Reachability::NetworkStatus::reachableViaWiFi: return "WiFi";
    case Reachability::NetworkStatus::reachableViaWWAN: return "Cellular";
    }
    return "";
}

Reachability::Reachability(std::shared_ptr<net::ReachabilityTarget> reference,
                           dispatch::DispatchQueue* notificationQueue)
    : reachabilityRef_(std::move(reference)),
      reachabilitySerialQueue_(std::make_unique<dispatch::DispatchQueue>(serialQueueLabel)),
      notificationQueue_(notificationQueue) {}

std::shared_ptr<Reachability> Reachability::make(std::shared_ptr<net::ReachabilityTarget> reference,
                                                 dispatch::DispatchQueue* notificationQueue) {
    return std::shared_ptr<Reachability>(new Reachability(std::move(reference), notificationQueue));
}

std::shared_ptr<Reachability> Reachability::make(dispatch::DispatchQueue* notificationQueue) {
    sockaddr_in any{};
    any.sin_family = AF_INET;
    const auto& address = reinterpret_cast<const sockaddr&>(any);
    auto reference = net::makeReachabilityWithAddress(address);
    if (!reference) throw ReachabilityError::withAddress(address, reference.error().code);
    return make(std::move(*reference), notificationQueue);
}

std::shared_ptr<Reachability> Reachability::makeWithHostname(const std::string& hostname,
                                                             dispatch::DispatchQueue* notificationQueue) {
    auto reference = net::makeReachabilityWithName(hostname);
    if (!reference) throw ReachabilityError::withHostname(hostname, reference.error().code);
    return make(std::move(*reference), notificationQueue);
}

Reachability::~Reachability() {
    unregister();
    // The last reference may go away in a task of the serial queue itself; that queue
    // cannot join its own thread, so the main queue lets go of it and joins it.
    if (reachabilitySerialQueue_->isCurrent())
        dispatch::DispatchQueue::main().async([queue = std::shared_ptr(std::move(reachabilitySerialQueue_))] {});
}

void Reachability::startNotifier() {
    if (notifierRunning_) return;
    auto weakifier = std::make_shared<Weakifier>(Weakifier{weak_from_this()});
    auto set = reachabilityRef_->setCallback([weakifier](Flags flags) {
        // Reported flags are taken as they are, without reading them again.
        if (auto self = weakifier->reachability.lock()) self->setReportedFlags(flags);
    });
    if (!set) {
        stopNotifier();
        throw ReachabilityError(ReachabilityError::Kind::unableToSetCallback, set.error().code);
    }
    if (auto delivered = reachabilityRef_->setDispatchQueue(reachabilitySerialQueue_.get()); !delivered) {
        stopNotifier();
        throw ReachabilityError(ReachabilityError::Kind::unableToSetDispatchQueue, delivered.error().code);
    }
    onSerialQueue([this] { refreshFlags(true); });
    notifierRunning_ = true;
}

void Reachability::stopNotifier() {
    unregister();
}

void Reachability::unregister() {
    // Letting go of the callback and the queue has nothing to fail for.
    static_cast<void>(reachabilityRef_->setCallback({}));
    static_cast<void>(reachabilityRef_->setDispatchQueue(nullptr));
    notifierRunning_ = false;
}

void Reachability::onSerialQueue(const std::function<void()>& work) {
    // The notification queue (the provider's main queue) never waits for another one:
    // a read from there runs there. The reference is thread-safe, and the flags are
    // guarded; their notification still goes to that queue as a task of its own.
    if (reachabilitySerialQueue_->isCurrent() || (notificationQueue_ && notificationQueue_->isCurrent())) {
        work();
        return;
    }
    // The error comes back as a value and is thrown again here: an exception object
    // handed between threads is released by reference counts that ThreadSanitizer
    // cannot see, and it reports them as a race.
    std::promise<std::optional<ReachabilityError>> done;
    reachabilitySerialQueue_->async([&] {
        try {
            work();
            done.set_value(std::nullopt);
        } catch (const ReachabilityError& error) {
            done.set_value(error);
        } catch (...) {
            // Nothing may leave the queue's thread: the process would end.
            done.set_value(ReachabilityError(ReachabilityError::Kind::unableToGetFlags, EIO));
        }
    });
    if (auto error = done.get_future().get()) throw *error;
}

void Reachability::refreshFlags(bool stopOnFailure) {
    const auto reportsBefore = reportedChanges();
    std::optional<Flags> flags;
    int code = EIO;  // for a read that throws, which failed like any other
    try {
        auto read = reachabilityRef_->getFlags();
        if (read)
            flags = *read;
        else
            code = read.error().code;
    } catch (...) {
    }
    if (!flags) {
        if (stopOnFailure) stopNotifier();
        throw ReachabilityError(ReachabilityError::Kind::unableToGetFlags, code);
    }
    setReadFlags(*flags, reportsBefore);
}

void Reachability::refreshIfAbsent() {
    if (flags()) return;
    try {
        // A failed read here only leaves the flags absent; the notifier keeps running.
        onSerialQueue([this] { refreshFlags(false); });
    } catch (const ReachabilityError&) {
    }
}

std::optional<Reachability::Flags> Reachability::flags() const {
    std::lock_guard lock(mutex_);
    return flags_;
}

std::uint64_t Reachability::reportedChanges() const {
    std::lock_guard lock(mutex_);
    return reportedChanges_;
}

void Reachability::setReportedFlags(Flags flags) {
    std::unique_lock lock(mutex_);
    ++reportedChanges_;
    setFlags(lock, flags);
}

void Reachability::setReadFlags(Flags flags, std::uint64_t reportsBefore) {
    std::unique_lock lock(mutex_);
    // A read may run off the serial queue, beside a delivery: a change reported
    // since it began is newer than what it read.
    if (reportedChanges_ != reportsBefore) return;
    setFlags(lock, flags);
}

void Reachability::setFlags(std::unique_lock<std::mutex>& lock, Flags flags) {
    if (flags_ == flags) return;
    flags_ = flags;
    lock.unlock();
    notifyChange();
}

void Reachability::notifyChange() {
    auto work = [weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self) return;
        Callback callback;
        foundation::NotificationCenter* center;
        {
            std::lock_guard lock(self->mutex_);
            const auto connection = connectionFor(self->flags_, self->allowsCellularConnection_);
            const bool reachable = connection == Connection::wifi || connection == Connection::cellular;
            callback = reachable ? self->whenReachable_ : self->whenUnreachable_;
            center = self->notificationCenter_;
        }
        if (callback) callback(*self);
        center->post(reachabilityChanged, self.get());
    };
    if (notificationQueue_) {
        notificationQueue_->async(std::move(work));
    } else {
        work();
    }
}

Reachability::Connection Reachability::connectionFor(std::optional<Flags> flags, bool allowsCellular) {
    using namespace net::reachability;
    if (!flags || !(*flags & reachable)) return Connection::unavailable;
    if (*flags & isWWAN) return allowsCellular ? Connection::cellular : Connection::unavailable;
    if ((*flags & connectionRequired) &&
        !((*flags & (connectionOnTraffic | connectionOnDemand)) && !(*flags & interventionRequired))) {
        return Connection::unavailable;
    }
    return Connection::wifi;
}

Reachability::Connection Reachability::connection() {
    refreshIfAbsent();
    return connectionFor(flags(), allowsCellularConnection_);
}

std::string Reachability::currentReachabilityString() {
    return ::description(connection());
}

bool Reachability::isReachable() {
    const auto current = connection();
    return current == Connection::wifi || current == Connection::cellular;
}

bool Reachability::isReachableViaWWAN() { return connection() == Connection::cellular; }
bool Reachability::isReachableViaWiFi() { return connection() == Connection::wifi; }

std::string Reachability::description() const {
    const auto current = flags();
    return current ? flagsDescription(*current) : "unavailable flags";
}

std::string Reachability::flagsDescription(Flags flags) {
    using namespace net::reachability;
    std::string text;
    auto letter = [&](Flags bit, char c) { text += (flags & bit) ? c : '-'; };
    letter(isWWAN, 'W');
    letter(reachable, 'R');
    text += ' ';
    letter(connectionRequired, 'c');
    letter(transientConnection, 't');
    letter(interventionRequired, 'i');
    letter(connectionOnTraffic, 'C');
    letter(connectionOnDemand, 'D');
    letter(isLocalAddress, 'l');
    letter(isDirect, 'd');
    return text;
}

void Reachability::setWhenReachable(Callback callback) {
    std::lock_guard lock(mutex_);
    whenReachable_ = std::move(callback);
}

void Reachability::setWhenUnreachable(Callback callback) {
    std::lock_guard lock(mutex_);
    whenUnreachable_ = std::move(callback);
}

foundation::NotificationCenter& Reachability::notificationCenter() const {
    std::lock_guard lock(mutex_);
    return *notificationCenter_;
}

void Reachability::setNotificationCenter(foundation::NotificationCenter& center) {
    std::lock_guard lock(mutex_);
    notificationCenter_ = &center;
}
