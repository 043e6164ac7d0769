#include "net/Handoff.h"

#include "net/SocketWorkers.h"

#include <utility>
#include <vector>

namespace net::detail {

namespace {

// A worker's operations are handed off at the latest once this many wait: the first
// sockets of a long task of the owner's queue go out before the task ends, and the batch
// still spares most of the wake-ups.
constexpr std::size_t kHandoffBatch = 6;

// The work that tasks of the queue this thread runs added, by worker, until the step at
// the end of the task that added the first of it. A queue's tasks and that step run on
// the queue's one thread, so this takes no lock.
struct Waiting {
    std::vector<dispatch::Task> tasks[kSocketWorkers];
    bool endOfTaskQueued = false;
};
thread_local Waiting waiting;

// A worker's waiting work, leaving room for the next batch.
std::vector<dispatch::Task> take(std::vector<dispatch::Task>& pending) {
    std::vector<dispatch::Task> batch;
    batch.reserve(kHandoffBatch);
    batch.swap(pending);
    return batch;
}

// The rest, at the end of the owner's task.
void handOffAtEndOfTask() {
    waiting.endOfTaskQueued = false;
    for (std::size_t i = 0; i < kSocketWorkers; ++i)
        if (!waiting.tasks[i].empty()) postToThreadWorker(i, take(waiting.tasks[i]));
}

}  // namespace

void handOffToThreadWorker(dispatch::DispatchQueue& owner, std::size_t worker, dispatch::Task task) {
    if (!owner.isCurrent()) {
        std::vector<dispatch::Task> single;
        single.push_back(std::move(task));
        postToThreadWorker(worker, std::move(single));
        return;
    }
    if (!waiting.endOfTaskQueued) {
        waiting.endOfTaskQueued = true;
        owner.atEndOfTask(handOffAtEndOfTask);
    }
    auto& pending = waiting.tasks[worker];
    pending.push_back(std::move(task));
    if (pending.size() >= kHandoffBatch) postToThreadWorker(worker, take(pending));
}

}  // namespace net::detail
