#include "dispatch/Dispatch.h"

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

namespace dispatch {

namespace {
thread_local DispatchQueue* workerQueue = nullptr;        // the serial queue this thread runs
thread_local const DispatchQueue* endingTaskOf = nullptr;  // the queue whose task's end runs here
}  // namespace

// Runs a queue's loop one task at a time, each followed by its end.
struct Loop {
    // `runOne` runs at most one task of the loop it is given, and says whether it did.
    template <class RunOne>
    static bool runOne(DispatchQueue& queue, RunOne runOne) {
        if (!runOne(*queue.context_)) return false;
        queue.endTask();
        return true;
    }

    // Until `runOne` runs none.
    template <class RunOne>
    static void run(DispatchQueue& queue, RunOne runOne) {
        while (Loop::runOne(queue, runOne)) {
        }
    }
};

DispatchQueue& DispatchQueue::main() {
    // Never destroyed: other threads may post to it until the very end of the process,
    // and tasks still queued at exit would otherwise be destroyed while they do.
    static DispatchQueue& queue = *new DispatchQueue("com.apple.main-thread", MainTag{});
    return queue;
}

DispatchQueue::DispatchQueue(std::string label, MainTag)
    : label_(std::move(label)),
      // One thread runs each loop: a task posted from the queue's own thread then goes
      // to that thread's list, with no lock and no wake-up of the loop's poller.
      context_(std::make_unique<asio::io_context>(1)),
      work_(std::make_unique<asio::executor_work_guard<asio::io_context::executor_type>>(
          context_->get_executor())) {}

DispatchQueue::DispatchQueue(std::string label)
    : DispatchQueue(std::move(label), MainTag{}) {
    worker_ = std::thread([this] {
        workerQueue = this;
        Loop::run(*this, [](asio::io_context& loop) { return loop.run_one(); });
    });
}

DispatchQueue::~DispatchQueue() {
    work_.reset();
    context_->stop();
    if (worker_.joinable()) worker_.join();
}

void DispatchQueue::async(Task task) {
    asio::post(*context_, std::move(task));
}

void DispatchQueue::asyncAfter(Duration delay, Task task) {
    auto timer = std::make_shared<asio::steady_timer>(*context_, delay);
    timer->async_wait([timer, task = std::move(task)](const std::error_code& error) {
        if (!error) task();
    });
}

void DispatchQueue::atEndOfTask(Task step) {
    if (isCurrent())
        endOfTask_.push_back(std::move(step));
    else
        async(std::move(step));
}

void DispatchQueue::endTask() {
    if (endOfTask_.empty()) return;
    endingTaskOf = this;
    while (!endOfTask_.empty()) {  // a step may leave another
        ending_.swap(endOfTask_);
        for (const auto& step : ending_) step();
        ending_.clear();
    }
    endingTaskOf = nullptr;
}

bool DispatchQueue::isCurrent() const {
    return context_->get_executor().running_in_this_thread() || endingTaskOf == this;
}

DispatchQueue* DispatchQueue::current() {
    if (workerQueue) return workerQueue;
    auto& mainQueue = main();
    return mainQueue.isCurrent() ? &mainQueue : nullptr;
}

void runMain() {
    auto& queue = DispatchQueue::main();
    queue.context().restart();
    Loop::run(queue, [](asio::io_context& loop) { return loop.run_one(); });
}

void stopMain() {
    DispatchQueue::main().context().stop();
}

bool runMainUntil(const std::function<bool()>& done, Duration timeout) {
    auto& queue = DispatchQueue::main();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    queue.context().restart();
    while (!done()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        // Wake at least every 10 ms so `done` is also checked when it is set from
        // another thread.
        const auto wake = std::min(deadline, now + std::chrono::milliseconds(10));
        Loop::runOne(queue, [wake](asio::io_context& loop) { return loop.run_one_until(wake); });
        if (queue.context().stopped()) queue.context().restart();
    }
    return true;
}

void runMainFor(Duration duration) {
    auto& queue = DispatchQueue::main();
    const auto deadline = std::chrono::steady_clock::now() + duration;
    queue.context().restart();
    Loop::run(queue, [deadline](asio::io_context& loop) { return loop.run_one_until(deadline); });
}

void drainMain() {
    auto& queue = DispatchQueue::main();
    queue.context().restart();
    Loop::run(queue, [](asio::io_context& loop) { return loop.poll_one(); });
}

}  // namespace dispatch
