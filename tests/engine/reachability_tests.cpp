#include "Reachability.h"

#include "dispatch/Dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

using namespace std::chrono_literals;
using Connection = Reachability::Connection;
namespace flag = net::reachability;

namespace {

// A reachability reference whose flags the test sets and reports.
class FakeTarget : public net::ReachabilityTarget {
public:
    bool setCallback(Callback callback) override {
        std::lock_guard lock(mutex);
        this->callback = std::move(callback);
        return true;
    }
    bool setDispatchQueue(dispatch::DispatchQueue* queue) override {
        std::lock_guard lock(mutex);
        if (failQueue) return false;
        this->queue = queue;
        return true;
    }
    bool getFlags(net::ReachabilityFlags& out) override {
        std::lock_guard lock(mutex);
        if (failFlags) return false;
        out = flags;
        return true;
    }
    // Reports `newFlags` on the registered queue, as the system would, and waits.
    void report(net::ReachabilityFlags newFlags) {
        std::promise<void> done;
        {
            std::lock_guard lock(mutex);
            flags = newFlags;
            ASSERT_TRUE(queue && callback);
            queue->async([this, newFlags, &done] {
                Callback copy;
                {
                    std::lock_guard lock(mutex);
                    copy = callback;
                }
                if (copy) copy(newFlags);
                done.set_value();
            });
        }
        done.get_future().wait();
    }
    bool registered() {
        std::lock_guard lock(mutex);
        return callback && queue;
    }

    std::mutex mutex;
    Callback callback;
    dispatch::DispatchQueue* queue = nullptr;
    net::ReachabilityFlags flags = 0;
    bool failFlags = false;
    bool failQueue = false;
};

struct Recorder {
    explicit Recorder(Reachability& watch) : center() {
        watch.setNotificationCenter(center);
        center.addObserver(reachabilityChanged, [this, &watch](const Notification& n) {
            if (n.object == &watch) ++posts;
        });
        watch.setWhenReachable([this](Reachability&) { ++reachable; });
        watch.setWhenUnreachable([this](Reachability&) { ++unreachable; });
    }
    NotificationCenter center;
    std::atomic<int> posts{0}, reachable{0}, unreachable{0};
};

}  // namespace

TEST(ReachabilityRule, ConnectionFollowsTheFlags) {
    struct Case {
        net::ReachabilityFlags flags;
        bool allowsCellular;
        Connection expected;
    };
    const Case cases[] = {
        {flag::reachable, true, Connection::wifi},
        {flag::reachable | flag::connectionRequired | flag::connectionOnDemand, true, Connection::wifi},
        {flag::reachable | flag::connectionRequired | flag::connectionOnTraffic, true, Connection::wifi},
        {flag::reachable | flag::connectionRequired | flag::connectionOnDemand | flag::interventionRequired,
         true, Connection::unavailable},
        {flag::reachable | flag::connectionRequired, true, Connection::unavailable},
        {flag::reachable | flag::isWWAN, true, Connection::cellular},
        {flag::reachable | flag::isWWAN, false, Connection::unavailable},
        {flag::isWWAN | flag::isDirect | flag::isLocalAddress | flag::connectionOnDemand, true,
         Connection::unavailable},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Reachability::connectionFor(c.flags, c.allowsCellular), c.expected)
            << Reachability::flagsDescription(c.flags);
    }
    EXPECT_EQ(Reachability::connectionFor(std::nullopt, true), Connection::unavailable);
}

TEST(ReachabilityRule, Descriptions) {
    EXPECT_EQ(Reachability::flagsDescription(flag::reachable | flag::isDirect), "-R ------d");
    EXPECT_EQ(Reachability::flagsDescription(0), "-- -------");
    EXPECT_EQ(Reachability::flagsDescription(0x7003f | flag::isWWAN), "WR ctiCDld");
    EXPECT_EQ(description(Connection::none), "unavailable");
    EXPECT_EQ(description(Connection::unavailable), "No Connection");
    EXPECT_EQ(description(Connection::wifi), "WiFi");
    EXPECT_EQ(description(Connection::cellular), "Cellular");
}

TEST(ReachabilityWatch, StartNotifiesOnceAndOnlyRealChangesFollow) {
    auto target = std::make_shared<FakeTarget>();
    auto watch = Reachability::make(target);
    Recorder recorder(*watch);
    EXPECT_EQ(watch->description(), "unavailable flags");

    watch->startNotifier();  // unreachable at first
    EXPECT_TRUE(watch->notifierRunning());
    EXPECT_EQ(recorder.posts, 1);
    EXPECT_EQ(recorder.unreachable, 1);
    EXPECT_EQ(watch->currentReachabilityString(), "No Connection");

    watch->startNotifier();  // already running: nothing again
    target->report(0);       // same flags: nothing
    EXPECT_EQ(recorder.posts, 1);

    target->report(flag::reachable | flag::isDirect);
    EXPECT_EQ(recorder.reachable, 1);
    EXPECT_EQ(recorder.posts, 2);
    EXPECT_TRUE(watch->isReachableViaWiFi());
    EXPECT_EQ(watch->description(), "-R ------d");

    watch->setAllowsCellularConnection(false);
    target->report(flag::reachable | flag::isWWAN);
    EXPECT_EQ(recorder.unreachable, 2);
    EXPECT_FALSE(watch->isReachable());

    watch->stopNotifier();
    EXPECT_FALSE(watch->notifierRunning());
    EXPECT_FALSE(target->registered());
}

TEST(ReachabilityWatch, CallbacksRunOnTheGivenQueue) {
    auto target = std::make_shared<FakeTarget>();
    dispatch::DispatchQueue notifications("test.notifications");
    auto watch = Reachability::make(target, &notifications);
    std::promise<bool> onNotificationQueue;
    watch->setWhenUnreachable([&](Reachability&) { onNotificationQueue.set_value(notifications.isCurrent()); });
    watch->startNotifier();
    auto result = onNotificationQueue.get_future();
    ASSERT_EQ(result.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(result.get());
}

TEST(ReachabilityWatch, CallbacksRunOnTheSerialQueueWithoutANotificationQueue) {
    auto target = std::make_shared<FakeTarget>();
    auto watch = Reachability::make(target);
    watch->startNotifier();
    std::promise<bool> onSerialQueue;
    watch->setWhenReachable([&](Reachability& w) {
        // Asking for the status from inside the callback must not wait on itself.
        w.connection();
        onSerialQueue.set_value(w.serialQueue().isCurrent());
    });
    target->report(flag::reachable);
    auto result = onSerialQueue.get_future();
    ASSERT_EQ(result.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(result.get());
}

TEST(ReachabilityWatch, StatusReadFromTheSerialQueueRunsInline) {
    auto target = std::make_shared<FakeTarget>();
    target->flags = flag::reachable;
    auto watch = Reachability::make(target);
    std::promise<Connection> answer;
    watch->serialQueue().async([&] { answer.set_value(watch->connection()); });
    auto result = answer.get_future();
    ASSERT_EQ(result.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(result.get(), Connection::wifi);
}

TEST(ReachabilityWatch, FailedReads) {
    auto target = std::make_shared<FakeTarget>();
    auto watch = Reachability::make(target);
    target->failFlags = true;
    try {
        watch->startNotifier();
        FAIL() << "start must throw";
    } catch (const ReachabilityError& error) {
        EXPECT_EQ(error.kind(), ReachabilityError::Kind::unableToGetFlags);
    }
    EXPECT_FALSE(watch->notifierRunning());
    EXPECT_FALSE(target->registered());

    // A status read that fails answers unavailable and does not unregister.
    target->failFlags = false;
    watch->startNotifier();
    auto flagless = Reachability::make(target);
    target->failFlags = true;
    EXPECT_EQ(flagless->connection(), Connection::unavailable);
    EXPECT_TRUE(target->registered());
    EXPECT_TRUE(watch->notifierRunning());

    auto failing = std::make_shared<FakeTarget>();
    failing->failQueue = true;
    auto unqueued = Reachability::make(failing);
    try {
        unqueued->startNotifier();
        FAIL() << "start must throw";
    } catch (const ReachabilityError& error) {
        EXPECT_EQ(error.kind(), ReachabilityError::Kind::unableToSetDispatchQueue);
    }
    EXPECT_FALSE(unqueued->notifierRunning());
}

TEST(ReachabilityWatch, ReportsAfterDestructionAreIgnored) {
    auto target = std::make_shared<FakeTarget>();
    std::atomic<int> calls{0};
    {
        auto watch = Reachability::make(target);
        watch->startNotifier();
        watch->setWhenReachable([&](Reachability&) { ++calls; });
    }
    EXPECT_FALSE(target->registered());
    EXPECT_EQ(calls, 0);
}
