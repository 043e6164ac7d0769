#include "Reachability.h"
#include "EngineTestSupport.h"

#include "dispatch/Dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

using namespace std::chrono_literals;
using Connection = Reachability::Connection;
namespace flag = net::reachability;

namespace {

// A reachability reference whose flags the test sets and reports.
class FakeTarget : public net::ReachabilityTarget {
public:
    net::Result<> setCallback(Callback newCallback) override {
        callback = std::move(newCallback);
        return {};
    }
    net::Result<> setDispatchQueue(dispatch::DispatchQueue* newQueue) override {
        queue = failQueue ? nullptr : newQueue;
        if (failQueue) return net::Error::system(EIO);
        return {};
    }
    net::Result<net::ReachabilityFlags> getFlags() override {
        if (throwOnRead) throw std::runtime_error("no flags");
        if (failFlags) return net::Error::system(EIO);
        const auto read = flags;
        // A change the system reports while this read is under way.
        if (auto newer = std::exchange(reportDuringRead, std::nullopt)) report(*newer);
        return read;
    }
    // Reports new flags on the registered queue, as the system would, and waits.
    void report(net::ReachabilityFlags newFlags) {
        std::promise<void> done;
        queue->async([&] {
            callback(newFlags);
            done.set_value();
        });
        done.get_future().wait();
    }
    bool registered() const { return callback && queue; }

    Callback callback;
    dispatch::DispatchQueue* queue = nullptr;
    net::ReachabilityFlags flags = 0;
    std::atomic<bool> failFlags{false};
    std::atomic<bool> throwOnRead{false};
    bool failQueue = false;
    std::optional<net::ReachabilityFlags> reportDuringRead;
};

template <typename T>
T await(std::promise<T>& promise) {
    auto future = promise.get_future();
    EXPECT_EQ(future.wait_for(2s), std::future_status::ready);
    return future.get();
}

// Starting the notifier throws the error of this kind.
void expectStartFails(const std::function<void()>& start, ReachabilityError::Kind kind) {
    try {
        start();
        ADD_FAILURE() << "start must throw";
    } catch (const ReachabilityError& error) {
        EXPECT_EQ(error.kind(), kind);
    }
}

}  // namespace

TEST(ReachabilityRule, ConnectionAndDescriptions) {
    const std::tuple<net::ReachabilityFlags, bool, Connection> cases[] = {
        {flag::reachable, true, Connection::wifi},
        {flag::reachable | flag::connectionRequired | flag::connectionOnDemand, true, Connection::wifi},
        {flag::reachable | flag::connectionRequired | flag::connectionOnTraffic, true, Connection::wifi},
        {flag::reachable | flag::connectionRequired | flag::connectionOnDemand | flag::interventionRequired, true,
         Connection::unavailable},
        {flag::reachable | flag::connectionRequired, true, Connection::unavailable},
        {flag::reachable | flag::isWWAN, true, Connection::cellular},
        {flag::reachable | flag::isWWAN, false, Connection::unavailable},
        {flag::isWWAN | flag::isDirect | flag::connectionOnDemand, true, Connection::unavailable},
    };
    for (const auto& [flags, cellular, expected] : cases)
        EXPECT_EQ(Reachability::connectionFor(flags, cellular), expected) << Reachability::flagsDescription(flags);
    EXPECT_EQ(Reachability::connectionFor(std::nullopt, true), Connection::unavailable);

    EXPECT_EQ(Reachability::flagsDescription(flag::reachable | flag::isDirect), "-R ------d");
    EXPECT_EQ(Reachability::flagsDescription(0), "-- -------");
    EXPECT_EQ(Reachability::flagsDescription(0x7003f), "WR ctiCDld");
    EXPECT_EQ(description(Connection::none), "unavailable");
    EXPECT_EQ(description(Connection::unavailable), "No Connection");
}

TEST(ReachabilityWatch, StartNotifiesOnceAndOnlyRealChangesFollow) {
    auto target = std::make_shared<FakeTarget>();
    auto watch = Reachability::make(target);
    foundation::NotificationCenter center;
    std::atomic<int> posts{0}, reachable{0}, unreachable{0};
    watch->setNotificationCenter(center);
    center.addObserver(&posts, [&](const foundation::Notification& n) { posts += n.object == watch.get(); }, reachabilityChanged);
    watch->setWhenReachable([&](Reachability&) { ++reachable; });
    watch->setWhenUnreachable([&](Reachability&) { ++unreachable; });
    EXPECT_EQ(watch->description(), "unavailable flags");

    watch->startNotifier();  // unreachable at first, and still one notification
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(unreachable, 1);
    EXPECT_EQ(watch->currentReachabilityString(), "No Connection");

    watch->startNotifier();  // already running: nothing again
    target->report(0);       // same flags: nothing
    EXPECT_EQ(posts, 1);

    target->report(flag::reachable | flag::isDirect);
    EXPECT_EQ(reachable, 1);
    EXPECT_EQ(posts, 2);
    EXPECT_TRUE(watch->isReachableViaWiFi());

    watch->setAllowsCellularConnection(false);
    target->report(flag::reachable | flag::isWWAN);
    EXPECT_EQ(unreachable, 2);

    watch->stopNotifier();
    EXPECT_FALSE(watch->notifierRunning());
    EXPECT_FALSE(target->registered());
}

TEST(ReachabilityWatch, CallbacksRunOnTheNotificationQueueElseOnTheSerialQueue) {
    auto target = std::make_shared<FakeTarget>();
    dispatch::DispatchQueue notifications("test.notifications");
    auto watch = Reachability::make(target, &notifications);
    std::promise<bool> onNotificationQueue;
    watch->setWhenUnreachable([&](Reachability&) { onNotificationQueue.set_value(notifications.isCurrent()); });
    watch->startNotifier();
    EXPECT_TRUE(await(onNotificationQueue));

    auto plain = Reachability::make(std::make_shared<FakeTarget>());
    std::promise<bool> onSerialQueue;
    plain->setWhenUnreachable([&](Reachability& w) { onSerialQueue.set_value(w.serialQueue().isCurrent()); });
    plain->startNotifier();
    EXPECT_TRUE(await(onSerialQueue));
}

TEST(ReachabilityWatch, StatusReadFromTheSerialQueueRunsInline) {
    auto target = std::make_shared<FakeTarget>();
    target->flags = flag::reachable;
    auto watch = Reachability::make(target);
    std::promise<Connection> answer;
    watch->serialQueue().async([&] { answer.set_value(watch->connection()); });
    EXPECT_EQ(await(answer), Connection::wifi);
}

// The provider's main queue, the notification queue, waits for no other queue: not
// even when the serial queue is busy.
TEST(ReachabilityWatch, StartAndStatusOnTheNotificationQueueWaitForNoOtherQueue) {
    auto target = std::make_shared<FakeTarget>();
    target->flags = flag::reachable;
    auto watch = Reachability::make(target, &dispatch::DispatchQueue::main());
    std::promise<void> release;
    watch->serialQueue().async([busy = release.get_future().share()] { busy.wait_for(3s); });
    std::optional<std::chrono::steady_clock::duration> took;
    dispatch::DispatchQueue::main().async([&] {
        const auto begin = std::chrono::steady_clock::now();
        watch->startNotifier();
        EXPECT_EQ(watch->connection(), Connection::wifi);
        took = std::chrono::steady_clock::now() - begin;
    });
    dispatch::runMainUntil([&] { return took.has_value(); }, 5s);
    release.set_value();
    ASSERT_TRUE(took);
    EXPECT_LT(*took, 1s);
}

// A read on the notification queue runs beside the serial queue's deliveries.
TEST(ReachabilityWatch, ReadCannotOverwriteFlagsReportedMeanwhile) {
    auto target = std::make_shared<FakeTarget>();
    target->reportDuringRead = flag::reachable;
    auto watch = Reachability::make(target, &dispatch::DispatchQueue::main());
    bool started = false;
    dispatch::DispatchQueue::main().async([&] {
        watch->startNotifier();
        started = true;
    });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return started; }, 10s));
    EXPECT_EQ(watch->flags(), flag::reachable) << "the read's older flags were kept";
    dispatch::drainMain();
}

TEST(ReachabilityWatch, FailedReads) {
    auto target = std::make_shared<FakeTarget>();
    auto watch = Reachability::make(target);
    target->failFlags = true;
    expectStartFails([&] { watch->startNotifier(); }, ReachabilityError::Kind::unableToGetFlags);
    EXPECT_FALSE(watch->notifierRunning());
    EXPECT_FALSE(target->registered());

    // A status read that fails answers unavailable and leaves the notifier running.
    target->failFlags = false;
    watch->startNotifier();
    target->failFlags = true;
    auto sharing = Reachability::make(target);
    EXPECT_EQ(sharing->connection(), Connection::unavailable);
    EXPECT_TRUE(target->registered());
    EXPECT_TRUE(watch->notifierRunning());

    auto unqueued = std::make_shared<FakeTarget>();
    unqueued->failQueue = true;
    expectStartFails([&] { Reachability::make(unqueued)->startNotifier(); }, ReachabilityError::Kind::unableToSetDispatchQueue);
}

// A read that throws fails as any failed read does, on the watch's queue or from
// another thread, and never ends the process.
TEST(ReachabilityWatch, ReadsThatThrowFailLikeOthers) {
    auto target = std::make_shared<FakeTarget>();
    target->throwOnRead = true;
    auto watch = Reachability::make(target);
    expectStartFails([&] { watch->startNotifier(); }, ReachabilityError::Kind::unableToGetFlags);
    EXPECT_FALSE(watch->notifierRunning());
    EXPECT_FALSE(target->registered());

    EXPECT_EQ(watch->connection(), Connection::unavailable);
    std::promise<Connection> onQueue;
    watch->serialQueue().async([&] { onQueue.set_value(watch->connection()); });
    EXPECT_EQ(await(onQueue), Connection::unavailable);

    target->throwOnRead = false;
    target->flags = flag::reachable;
    watch->startNotifier();
    EXPECT_TRUE(watch->isReachableViaWiFi());
}

TEST(ReachabilityWatch, LastReferenceMayGoOnItsOwnSerialQueue) {
    // A first thread lets a sanitizer runtime start its own helper thread before the count.
    std::thread([] {}).join();
    const auto threads = enginetest::threadCount();
    auto watch = Reachability::make(std::make_shared<FakeTarget>());
    watch->startNotifier();
    std::weak_ptr<Reachability> weak = watch;
    std::promise<void> released;
    auto& queue = watch->serialQueue();
    // Posted with a delay so that the posting has long returned when the queue goes.
    queue.asyncAfter(20ms, [&released, watch = std::move(watch)]() mutable {
        watch.reset();
        released.set_value();
    });
    await(released);
    EXPECT_TRUE(weak.expired());
    // The main queue ends the serial queue's thread and joins it.
    EXPECT_TRUE(dispatch::runMainUntil([&] { return enginetest::threadCount() == threads; }, 2s));
}
