#include "net/SocketWorkers.h"

#include "net/Handoff.h"
#include "net/UdpSocket.h"

#include <asio/posix/stream_descriptor.hpp>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace net::detail {

namespace {

constexpr int kEventsPerWait = 256;
// The first sockets made in one task of the main queue stay on the main queue: a query
// that comes alone is sent and answered with no other thread woken, while the sockets
// of a busy task still go to the threaded workers.
constexpr std::size_t kMainQueueSocketsPerTask = 2;
// Rounds of answers the main queue reads in one task before its other work gets a turn.
constexpr int kMainQueueRoundsPerTurn = 8;
// A worker that could not be set up, for want of descriptors say, is tried again after this.
constexpr auto kSetUpRetry = std::chrono::seconds(1);

// The event that wakes a threaded worker: no descriptor has this number.
constexpr Token kWakeToken = std::numeric_limits<Token>::max();

Error errorOf(const std::system_error& error) { return {error.code().value(), error.code().message()}; }

int descriptorOf(Token token) { return static_cast<int>(token & 0xffffffff); }

}  // namespace

// What both kinds of worker have: an epoll set, level-triggered (one receive per
// readable channel per round, and whatever is left shows up in the next round), the
// table of the channels it watches, and the set-up, tried again while it fails.
class EventSet {
public:
    // Runs on the worker.
    Result<Token> watch(int fd, Channel& channel);
    // The channel's descriptor, closed, has left the set: the channel leaves the table,
    // if `token` still names it there.
    void forget(Token token);

protected:
    // Succeeds once the set and `start` have set the worker up. One that could not be
    // is tried again at most once a second, and fails meanwhile with the reason.
    template <class Start>
    Result<> setUp(Start start) {
        if (runs_.load(std::memory_order_acquire)) return {};
        std::lock_guard lock(setUpMutex_);
        const auto now = std::chrono::steady_clock::now();
        if (!runs_ && (!triedAt_ || now - *triedAt_ >= kSetUpRetry)) {
            triedAt_ = now;
            setUpResult_ = open();
            if (setUpResult_) {
                setUpResult_ = start();
                if (!setUpResult_) closeSet();
            }
            runs_.store(static_cast<bool>(setUpResult_), std::memory_order_release);
        }
        return setUpResult_;
    }

    // Returns the number of events, after telling each readable channel; the wake-up
    // event tells `woken`.
    int readRound(int timeout, bool& woken);

    int epoll_ = -1;

private:
    struct Slot {
        Channel* channel = nullptr;
        std::uint32_t generation = 0;
    };

    Result<> open();
    void closeSet();
    // The slot that `token` names while its channel is watched, or null.
    Slot* slotOf(Token token);
    // The descriptor of a channel still watched leaves the set, and the channel the
    // table. A channel's descriptor enters the set only through the table, one
    // generation per number: while `token` names a channel, its number in this set is
    // that channel's descriptor, or nothing once another worker closed it.
    void unwatch(Token token);

    std::vector<Slot> slots_;  // by descriptor number; on the worker
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(largestDatagram);
    std::atomic<bool> runs_{false};
    std::mutex setUpMutex_;
    std::optional<std::chrono::steady_clock::time_point> triedAt_;
    Result<> setUpResult_;
};

Result<> EventSet::open() {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (epoll_ < 0) return Error::system(errno);
    return {};
}

void EventSet::closeSet() {
    ::close(epoll_);
    epoll_ = -1;
}

Result<Token> EventSet::watch(int fd, Channel& channel) {
    if (static_cast<std::size_t>(fd) >= slots_.size()) slots_.resize(static_cast<std::size_t>(fd) + 1);
    auto& slot = slots_[static_cast<std::size_t>(fd)];
    if (++slot.generation == 0) slot.generation = 1;  // token 0 names none
    const Token token = Token{slot.generation} << 32 | static_cast<std::uint32_t>(fd);
    epoll_event event{EPOLLIN, {.u64 = token}};
    if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0) return Error::system(errno);
    slot.channel = &channel;
    return token;
}

EventSet::Slot* EventSet::slotOf(Token token) {
    const auto fd = static_cast<std::size_t>(descriptorOf(token));
    if (fd >= slots_.size()) return nullptr;
    auto& slot = slots_[fd];
    return slot.channel && slot.generation == token >> 32 ? &slot : nullptr;
}

void EventSet::forget(Token token) {
    if (auto* slot = slotOf(token)) slot->channel = nullptr;
}

void EventSet::unwatch(Token token) {
    if (!slotOf(token)) return;
    forget(token);
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, descriptorOf(token), nullptr);
}

int EventSet::readRound(int timeout, bool& woken) {
    epoll_event events[kEventsPerWait];
    const int count = ::epoll_wait(epoll_, events, kEventsPerWait, timeout);
    for (int i = 0; i < count; ++i) {
        const Token token = events[i].data.u64;
        if (token == kWakeToken)
            woken = true;
        else if (auto* slot = slotOf(token); slot && !channelReadable(*slot->channel, buffer_))
            unwatch(token);
    }
    return count;
}

// A worker with a thread of its own. Each round it tells what came in, then takes the
// work posted meanwhile and sends that work's results; each owner's queue gets one
// task of each.
class ThreadWorker final : public EventSet {
public:
    explicit ThreadWorker(std::size_t index) : index_(index) {}

    Result<> setUp() {
        return EventSet::setUp([this] { return startThread(); });
    }

    // Any thread.
    void post(std::vector<dispatch::Task> tasks);
    void stop();

    // The worker's calls (see Worker).
    void handOff(dispatch::DispatchQueue& owner, dispatch::Task task) {
        handOffToThreadWorker(owner, index_, std::move(task));
    }
    void report(dispatch::DispatchQueue& owner, dispatch::Task task);
    Result<Token> watch(int fd, Channel& channel) { return EventSet::watch(fd, channel); }
    void close(int fd, Token token, const std::shared_ptr<Channel>&) {
        ::close(fd);  // also leaves the set
        forget(token);
    }

private:
    Result<> startThread();
    void run();
    // The work posted since the last round; false when the worker stops.
    bool runPosted();
    void sendReports();
    void wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
    }

    const std::size_t index_;
    int wake_ = -1;
    std::mutex mutex_;
    std::vector<dispatch::Task> inbox_, taken_;
    bool stopping_ = false;
    std::thread thread_;
    std::vector<std::pair<dispatch::DispatchQueue*, std::vector<dispatch::Task>>> reports_;
};

void ThreadWorker::post(std::vector<dispatch::Task> tasks) {
    bool sleeping = false;
    {
        std::lock_guard lock(mutex_);
        sleeping = inbox_.empty();
        for (auto& task : tasks) inbox_.push_back(std::move(task));
    }
    if (sleeping) wake();
}

void ThreadWorker::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    thread_.join();
}

void ThreadWorker::report(dispatch::DispatchQueue& owner, dispatch::Task task) {
    // Kept for the owner's task of this round.
    for (auto& [queue, tasks] : reports_) {
        if (queue != &owner) continue;
        tasks.push_back(std::move(task));
        return;
    }
    reports_.push_back({&owner, {}});
    reports_.back().second.push_back(std::move(task));
}

Result<> ThreadWorker::startThread() {
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event event{EPOLLIN, {.u64 = kWakeToken}};
    Result<> started;
    if (wake_ < 0 || ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) != 0) {
        started = Error::system(errno);
    } else {
        try {
            thread_ = std::thread([this] { run(); });
            return {};
        } catch (const std::system_error& error) {
            started = errorOf(error);
        }
    }
    if (wake_ >= 0) ::close(wake_);
    wake_ = -1;
    return started;
}

void ThreadWorker::run() {
    for (;;) {
        bool woken = false;
        readRound(-1, woken);
        // What came in goes back before new work is taken: opening sockets takes a while.
        sendReports();
        if (woken && !runPosted()) return;
    }
}

bool ThreadWorker::runPosted() {
    std::uint64_t ignored;
    [[maybe_unused]] auto read = ::read(wake_, &ignored, sizeof ignored);
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return false;
        taken_.swap(inbox_);  // both keep their room
    }
    for (auto& task : taken_) task();
    taken_.clear();
    sendReports();
    return true;
}

void ThreadWorker::sendReports() {
    for (auto& [queue, tasks] : reports_) {
        queue->async([tasks = std::move(tasks)] {
            for (const auto& task : tasks) task();
        });
    }
    reports_.clear();
}

// The main queue's worker: its work runs on the main queue, at once, and the queue's
// loop watches the set, telling the answers as they are read.
class MainQueueWorker final : public EventSet {
public:
    explicit MainQueueWorker(dispatch::DispatchQueue& queue) : queue_(queue) {}

    // The loop may watch a descriptor for the first time here, and then makes its poller.
    Result<> setUp() {
        return EventSet::setUp([this]() -> Result<> {
            try {
                readiness_.emplace(queue_.context(), epoll_);
                return {};
            } catch (const std::system_error& error) {
                return errorOf(error);
            }
        });
    }

    // The worker's calls (see Worker).
    void handOff(dispatch::DispatchQueue&, dispatch::Task task) { queue_.run(std::move(task)); }
    void report(dispatch::DispatchQueue& owner, dispatch::Task task);
    Result<Token> watch(int fd, Channel& channel) {
        auto token = EventSet::watch(fd, channel);
        if (token) waitForEvents();
        return token;
    }
    void close(int fd, Token token, std::shared_ptr<Channel> channel);

private:
    void waitForEvents();
    void serve();
    void tellReports();

    dispatch::DispatchQueue& queue_;
    std::optional<asio::posix::stream_descriptor> readiness_;
    bool waiting_ = false, serving_ = false, reportsQueued_ = false;
    std::vector<dispatch::Task> reports_, told_;
};

void MainQueueWorker::report(dispatch::DispatchQueue&, dispatch::Task task) {
    // Told when the answers in hand are read, or else in a task of their own.
    reports_.push_back(std::move(task));
    if (serving_ || reportsQueued_) return;
    reportsQueued_ = true;
    queue_.async([this] {
        reportsQueued_ = false;
        tellReports();
    });
}

// The loop watches the set once the task at hand and the work queued before it are
// done, so the queries being sent and the answers being written go first. Each wait
// looks at the set afresh: whatever is ready by then is told at once.
void MainQueueWorker::waitForEvents() {
    if (waiting_) return;
    waiting_ = true;
    queue_.async([this] {
        readiness_->async_wait(asio::posix::stream_descriptor::wait_read, [this](const std::error_code& error) {
            waiting_ = false;
            if (!error) serve();
        });
    });
}

void MainQueueWorker::serve() {
    serving_ = true;
    bool woken = false, more = true;
    for (int round = 0; round < kMainQueueRoundsPerTurn && more; ++round)
        more = readRound(0, woken) == kEventsPerWait;
    serving_ = false;
    tellReports();
    if (more)
        queue_.async([this] { serve(); });
    else
        waitForEvents();
}

void MainQueueWorker::tellReports() {
    told_.swap(reports_);  // both keep their room
    for (const auto& task : told_) task();
    told_.clear();
}

namespace {

// Never destroyed, like the process's other system threads; stopped and joined at exit.
struct Workers {
    ThreadWorker* threads[kSocketWorkers] = {};
    MainQueueWorker* mainQueue = nullptr;
    std::atomic<std::size_t> next{0};
    std::size_t mainQueueSocketsThisTask = 0;  // on the main queue
};

Workers& workers() {
    static Workers* all = [] {
        // A worker that cannot be set up now is tried again when a socket asks for it.
        auto* made = new Workers;
        for (std::size_t i = 0; i < kSocketWorkers; ++i) {
            made->threads[i] = new ThreadWorker(i);
            static_cast<void>(made->threads[i]->setUp());
        }
        made->mainQueue = new MainQueueWorker(dispatch::DispatchQueue::main());
        static_cast<void>(made->mainQueue->setUp());
        std::atexit([] {
            for (auto* each : workers().threads) each->stop();
        });
        return made;
    }();
    return *all;
}

// The next threaded worker in turn that runs, or why none does.
Result<ThreadWorker*> nextThreadWorker() {
    auto& all = workers();
    Result<> setUp;
    for (std::size_t tried = 0; tried < kSocketWorkers; ++tried) {
        auto* each = all.threads[all.next++ % kSocketWorkers];
        if ((setUp = each->setUp())) return each;
    }
    return setUp.error();
}

}  // namespace

void MainQueueWorker::close(int fd, Token token, std::shared_ptr<Channel> channel) {
    // The main queue lets many sockets go at once, and a close costs a system call: a
    // threaded worker makes it, when one runs.
    auto closer = nextThreadWorker();
    if (!closer) {
        ::close(fd);
        forget(token);
        return;
    }
    // Until then the channel stays in this set, and sees to it that a datagram that
    // comes meanwhile keeps the set from staying ready.
    (*closer)->handOff(queue_, [this, closer = *closer, fd, token, channel = std::move(channel)] {
        ::close(fd);
        closer->report(queue_, [this, token, channel] { forget(token); });
    });
}

void Worker::handOff(dispatch::DispatchQueue& owner, dispatch::Task task) const {
    std::visit([&](auto* kind) { kind->handOff(owner, std::move(task)); }, kind_);
}

void Worker::report(dispatch::DispatchQueue& owner, dispatch::Task task) const {
    std::visit([&](auto* kind) { kind->report(owner, std::move(task)); }, kind_);
}

Result<Token> Worker::watch(int fd, Channel& channel) const {
    return std::visit([&](auto* kind) { return kind->watch(fd, channel); }, kind_);
}

void Worker::close(int fd, Token token, std::shared_ptr<Channel> channel) const {
    std::visit([&](auto* kind) { kind->close(fd, token, std::move(channel)); }, kind_);
}

Result<Worker> workerFor(dispatch::DispatchQueue& owner) {
    auto& all = workers();
    if (&owner == &dispatch::DispatchQueue::main() && all.mainQueue->setUp()) {
        if (all.mainQueueSocketsThisTask == 0) owner.atEndOfTask([] { workers().mainQueueSocketsThisTask = 0; });
        if (all.mainQueueSocketsThisTask++ < kMainQueueSocketsPerTask) return Worker(all.mainQueue);
    }
    auto next = nextThreadWorker();
    if (!next) return next.error();
    return Worker(*next);
}

void postToThreadWorker(std::size_t index, std::vector<dispatch::Task> tasks) {
    workers().threads[index]->post(std::move(tasks));
}

}  // namespace net::detail
