#include "dispatch/Dispatch.h"

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

namespace dispatch {

namespace {
thread_local DispatchQueue* workerQueue = nullptr;  // the serial queue this thread runs
}  // namespace

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
    worker_ = std::thread([this, context = context_.get()] {
        workerQueue = this;
        context->run();
        endTask();  // the steps whose turn did not come before the queue stopped
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
    if (!isCurrent()) {
        async(std::move(step));
        return;
    }
    if (endOfTask_.empty()) async([this] { endTask(); });
    endOfTask_.push_back(std::move(step));
}

void DispatchQueue::endTask() {
    ending_.swap(endOfTask_);
    for (const auto& step : ending_) step();
    ending_.clear();
}

bool DispatchQueue::isCurrent() const {
    return context_->get_executor().running_in_this_thread();
}

DispatchQueue* DispatchQueue::current() {
    if (workerQueue) return workerQueue;
    auto& mainQueue = main();
    return mainQueue.isCurrent() ? &mainQueue : nullptr;
}

void runMain() {
    auto& context = DispatchQueue::main().context();
    context.restart();
    context.run();
}

void stopMain() {
    DispatchQueue::main().context().stop();
}

bool runMainUntil(const std::function<bool()>& done, Duration timeout) {
    auto& context = DispatchQueue::main().context();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    context.restart();
    while (!done()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        // Wake at least every 10 ms so `done` is also checked when it is set from
        // another thread.
        context.run_one_until(std::min(deadline, now + std::chrono::milliseconds(10)));
        if (context.stopped()) context.restart();
    }
    return true;
}

void runMainFor(Duration duration) {
    auto& context = DispatchQueue::main().context();
    context.restart();
    context.run_for(duration);
}

void drainMain() {
    auto& context = DispatchQueue::main().context();
    context.restart();
    context.poll();
}

}  // namespace dispatch
