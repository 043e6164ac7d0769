#include "dispatch/Dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using dispatch::DispatchQueue;

TEST(Dispatch, MainQueueRunsTasksInOrderOnTheLoopThread) {
    std::vector<int> order;
    bool onMain = true;
    std::thread poster([&] {
        for (int i = 0; i < 3; ++i) {
            DispatchQueue::main().async([&, i] {
                order.push_back(i);
                onMain = onMain && DispatchQueue::main().isCurrent();
            });
        }
    });
    poster.join();
    EXPECT_FALSE(DispatchQueue::main().isCurrent());
    ASSERT_TRUE(dispatch::runMainUntil([&] { return order.size() == 3; }, 2s));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(onMain);
}

TEST(Dispatch, DelayedTasksRunInDeadlineOrderAndNotBefore) {
    std::vector<int> order;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration firstAt{};
    DispatchQueue::main().asyncAfter(60ms, [&] { order.push_back(2); });
    DispatchQueue::main().asyncAfter(30ms, [&] {
        firstAt = std::chrono::steady_clock::now() - start;
        order.push_back(1);
    });
    dispatch::drainMain();
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(dispatch::runMainUntil([&] { return order.size() == 2; }, 2s));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_GE(firstAt, 30ms);
}

TEST(Dispatch, SerialQueueRunsOnItsOwnThreadAndDropsPendingWorkOnDestruction) {
    std::atomic<int> count{0};
    std::atomic<bool> onQueue{false};
    std::atomic<bool> lateRan{false};
    {
        DispatchQueue queue("test.serial");
        for (int i = 0; i < 100; ++i) queue.async([&] { ++count; });
        queue.async([&] { onQueue = queue.isCurrent() && !DispatchQueue::main().isCurrent(); });
        queue.asyncAfter(10s, [&] { lateRan = true; });
        while (count < 100 || !onQueue) std::this_thread::yield();
    }
    EXPECT_EQ(count, 100);
    EXPECT_TRUE(onQueue);
    EXPECT_FALSE(lateRan);
}

TEST(Dispatch, StepsLeftForATasksEndRunOnItsQueueAfterItAndTheWorkQueuedBefore) {
    auto record = [](DispatchQueue& queue, std::vector<std::string>& order) {
        queue.async([&] {
            queue.async([&] { order.push_back("queued before"); });
            queue.atEndOfTask([&] {
                order.push_back(queue.isCurrent() ? "end 1" : "end off the queue");
                queue.atEndOfTask([&] { order.push_back("end 3"); });  // left by a step
            });
            queue.atEndOfTask([&] { order.push_back("end 2"); });
            order.push_back("task");
        });
    };
    const std::vector<std::string> expected = {"task", "queued before", "end 1", "end 2", "end 3"};
    std::vector<std::string> onMain;
    record(DispatchQueue::main(), onMain);
    dispatch::drainMain();
    EXPECT_EQ(onMain, expected);

    std::vector<std::string> onSerial;
    {
        DispatchQueue queue("test.serial");
        record(queue, onSerial);
        auto recorded = [&] {
            std::promise<std::size_t> size;
            queue.async([&] { size.set_value(onSerial.size()); });
            return size.get_future().get();
        };
        while (recorded() < expected.size()) std::this_thread::yield();
    }
    EXPECT_EQ(onSerial, expected);

    // A queue that stops before the steps' turn runs them on its thread as it ends.
    std::vector<std::string> whenStopped;
    {
        DispatchQueue queue("test.stopping");
        std::promise<void> started;
        queue.async([&] {
            queue.atEndOfTask([&] { whenStopped.push_back("end"); });
            started.set_value();
            while (!queue.context().stopped()) std::this_thread::yield();
        });
        started.get_future().wait();
    }
    EXPECT_EQ(whenStopped, std::vector<std::string>{"end"});

    // Left from outside any task of the queue, a step is a task of its own.
    bool ran = false;
    DispatchQueue::main().atEndOfTask([&] { ran = DispatchQueue::main().isCurrent(); });
    EXPECT_FALSE(ran);
    dispatch::drainMain();
    EXPECT_TRUE(ran);
}
