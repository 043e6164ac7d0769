#pragma once
// Work queues: one main queue whose tasks run on the thread that runs the main
// loop, and serial queues that each run their tasks in order on a thread of their own.
// Tasks may be posted from any thread; delayed tasks cannot be cancelled, so a task
// that may outlive its owner should hold a weak reference to it. A task is whatever
// the queue's loop runs as one piece: a posted task, a timer's, an I/O completion.

// Asio chooses how it allocates by what the standard library has defined before it is
// included; the build fixes that choice for every translation unit alike.
#ifndef ASIO_DISABLE_STD_ALIGNED_ALLOC
#error "Asio must be configured by the project's compile definitions"
#endif
#include <asio/io_context.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace dispatch {

using Task = std::function<void()>;
using Duration = std::chrono::steady_clock::duration;

class DispatchQueue {
public:
    // The process's main queue, never destroyed. Its tasks run only while some thread
    // runs the main loop (runMain, or runMainUntil/runMainFor/drainMain in tests).
    static DispatchQueue& main();

    // A serial queue with its own worker thread; the destructor finishes the task in
    // progress, drops the rest and joins the thread.
    explicit DispatchQueue(std::string label);
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    void async(Task task);
    void asyncAfter(Duration delay, Task task);
    // Runs the task at once when called from a task of this queue, else posts it: a
    // caller already on the queue keeps its batch in one task. A template, so that the
    // call made on the queue wraps nothing in a Task.
    template <class F>
    void run(F&& task) {
        if (isCurrent())
            task();
        else
            async(Task(std::forward<F>(task)));
    }

    // Called from a task of this queue: runs `step` once that task is done, in a task
    // queued after it that runs every step left until then, in the order given; work
    // that the tasks in between gathered thus goes out in one piece. A serial queue
    // that stops first runs them on its thread as it ends. Called from elsewhere: runs
    // `step` as a task of its own.
    void atEndOfTask(Task step);

    // True when called from a task of this queue.
    bool isCurrent() const;
    // The queue whose task is running on this thread, or null on other threads.
    static DispatchQueue* current();
    const std::string& label() const { return label_; }

    // The event loop behind the queue, for I/O objects whose completions must run
    // on this queue (sockets, timers, the HTTP client).
    asio::io_context& context() { return *context_; }

private:
    struct MainTag {};
    DispatchQueue(std::string label, MainTag);

    // On the queue's thread: runs the steps left for the end of a task.
    void endTask();

    std::string label_;
    std::unique_ptr<asio::io_context> context_;
    std::unique_ptr<asio::executor_work_guard<asio::io_context::executor_type>> work_;
    std::thread worker_;
    std::vector<Task> endOfTask_, ending_;  // touched on the queue's thread only; both keep their room
};

// Runs the main loop on the calling thread until stopMain() is called.
void runMain();
// Makes runMain() return; safe from any thread and from signal-handling tasks.
void stopMain();

// Test helpers: run the main loop on the calling thread.
// Runs until `done` returns true (checked after every task) or `timeout` passes;
// returns the last value of `done`.
bool runMainUntil(const std::function<bool()>& done, Duration timeout);
// Runs the main loop for the given time.
void runMainFor(Duration duration);
// Runs every main-queue task that is ready now, without waiting.
void drainMain();

}  // namespace dispatch
