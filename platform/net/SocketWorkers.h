#pragma once
// The socket workers that make the system calls of UdpSocket (create, connect, send,
// receive, close), for the network layer only. A socket's system side, its channel,
// lives on one worker, which watches the channel's descriptor in an epoll set of its
// own and reports the results to the socket's queue in batches, in order. There are
// two kinds of worker: a few threaded workers, each with a thread of its own that takes
// its work in batches (Handoff.h), and the main queue's worker, whose work runs on the
// main queue and whose set the main queue's loop watches.

#include "dispatch/Dispatch.h"
#include "net/Result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

namespace net::detail {

class Channel;
class ThreadWorker;
class MainQueueWorker;

inline constexpr std::size_t kSocketWorkers = 3;  // threaded ones

// Names a channel in its worker's epoll set: the descriptor's number and a generation
// that grows each time that number is watched there. An event fetched before a
// channel's descriptor closed thus finds no channel, never a later one that has its
// number. 0 names none.
using Token = std::uint64_t;

// The worker a channel lives on: its kind is chosen when the channel is made, and each
// call goes to that kind's function of the same name. The kind is a variant rather than
// a base with virtual functions, and nothing on the workers' side is polymorphic: the
// undefined-behaviour sanitizer checks a polymorphic object's type with a pipe, which a
// process out of descriptors may not get.
class Worker {
public:
    explicit Worker(std::variant<ThreadWorker*, MainQueueWorker*> kind) : kind_(kind) {}

    // Runs `task` on the worker, in order: with the rest of the owner's task when
    // called from one.
    void handOff(dispatch::DispatchQueue& owner, dispatch::Task task) const;

    // The rest runs on the worker.

    // Tells `task` on the owner's queue, with the other results of the round.
    void report(dispatch::DispatchQueue& owner, dispatch::Task task) const;
    // Watches the descriptor: when it is readable, channelReadable tells the channel.
    Result<Token> watch(int fd, Channel& channel) const;
    // Closes the descriptor, which leaves the set with the channel: at once, or with
    // the channel kept until another worker has closed it.
    void close(int fd, Token token, std::shared_ptr<Channel> channel) const;

private:
    std::variant<ThreadWorker*, MainQueueWorker*> kind_;
};

// The worker for a new socket of `owner`, or why none runs.
Result<Worker> workerFor(dispatch::DispatchQueue& owner);

// Defined with the channel, on its worker: reads what came to its descriptor. False
// when the channel is closed, its descriptor closing on another worker: the descriptor
// then leaves the set, which would otherwise be ready round after round.
bool channelReadable(Channel& channel, std::vector<std::uint8_t>& buffer);

// For the hand-off: runs `tasks` on threaded worker `index`, in order. Any thread.
void postToThreadWorker(std::size_t index, std::vector<dispatch::Task> tasks);

}  // namespace net::detail
