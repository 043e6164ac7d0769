#include "net/UdpSocket.h"

#include "log/Log.h"

#include <asio/ip/address.hpp>
#include <asio/posix/stream_descriptor.hpp>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

namespace net {

namespace {

constexpr size_t kMaximumDatagram = 65536;
constexpr size_t kSocketWorkers = 3;
constexpr int kEventsPerWait = 256;
// Operations handed to a worker at the latest once this many wait: the first sockets
// of a long task of the owner's queue go out before the task ends, and the batch still
// spares most of the wake-ups.
constexpr size_t kHandoffBatch = 6;
// The first sockets made in one task of the main queue stay on the main queue: a query
// that comes alone is sent and answered with no other thread woken, while the sockets
// of a busy task still go to the workers.
constexpr size_t kMainQueueSocketsPerTask = 2;
// Rounds of answers the main queue reads in one task before its other work gets a turn.
constexpr int kMainQueueRoundsPerTurn = 8;

std::string systemErrorText(int number) { return Error::system(number).reason; }

// What a worker's epoll set holds: something to tell when its descriptor is readable.
class Watched {
public:
    virtual ~Watched() = default;
    virtual void readable() = 0;
};

class SocketWorker;

}  // namespace

// The socket's system side, on its worker: the descriptor, its place in the worker's
// epoll set, its sends, receives and close. Results go to the owner's queue in order.
class UdpSocket::Channel : public Watched, public std::enable_shared_from_this<UdpSocket::Channel> {
public:
    Channel(SocketWorker& worker, dispatch::DispatchQueue& owner, std::weak_ptr<UdpSocket> socket)
        : worker_(worker), owner_(owner), socket_(std::move(socket)) {}

    // Each call is handed to the worker with the rest of the owner's task.
    void open(const asio::ip::udp::endpoint& peer);
    void startReceiving();
    void send(Datagram data, long tag);
    void close();

    // On the worker: the descriptor is readable.
    void readable() override;

private:
    void handOver(dispatch::Task task);
    template <class Action>
    void report(Action action);
    void watchWhenReady();
    void fail(int number);

    SocketWorker& worker_;
    dispatch::DispatchQueue& owner_;
    std::weak_ptr<UdpSocket> socket_;
    // The rest is touched on the worker only.
    int fd_ = -1;
    bool receiving_ = false;
    bool watched_ = false;
    bool closed_ = false;
};

namespace {

class ThreadWorker;
class MainQueueWorker;

// An epoll set, level-triggered: one receive per readable socket per round, and
// whatever is left shows up in the next round. Each owner's queue gets a round's
// datagrams in one task. Two kinds: a ThreadWorker has a thread of its own and takes
// its work in batches; the MainQueueWorker has none, as its work runs on the main
// queue, whose loop watches the set. What the kinds do differently is reached here by
// kind, not through virtual functions: the undefined-behaviour sanitizer checks each
// polymorphic object with a pipe, which a worker set up for want of descriptors may
// not get.
class SocketWorker {
public:
    // Succeeds once the worker is set up. One that could not be, for want of
    // descriptors say, tries again at most once a second, and fails meanwhile with the
    // reason it does not run.
    Result<> setUp() {
        if (runs_.load(std::memory_order_acquire)) return {};
        std::lock_guard lock(setUpMutex_);
        const auto now = std::chrono::steady_clock::now();
        if (!runs_ && (!triedAt_ || now - *triedAt_ >= kSetUpRetry)) {
            triedAt_ = now;
            setUpResult_ = trySetUp();
            runs_.store(static_cast<bool>(setUpResult_), std::memory_order_release);
        }
        return setUpResult_;
    }

    // Runs `task`, added by a task of `owner` or from elsewhere, on the worker.
    void handOver(dispatch::DispatchQueue& owner, dispatch::Task task);

    // The rest runs on the worker.

    // Tells `task` on the owner's queue, with the other results of the round.
    void report(dispatch::DispatchQueue& owner, dispatch::Task task);
    // The worker that closes this worker's sockets.
    SocketWorker& closer();
    bool watch(int fd, Watched* watched);
    void unwatch(int fd) { ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr); }
    // Keeps a closed channel until the round ends: events fetched with it may still name it.
    void retire(std::shared_ptr<Watched> watched) { retired_.push_back(std::move(watched)); }
    std::vector<std::uint8_t>& buffer() { return buffer_; }

protected:
    // `mainQueue`: this worker, when it is the main queue's.
    explicit SocketWorker(MainQueueWorker* mainQueue) : mainQueue_(mainQueue) {}

    bool add(int fd, Watched* watched) {
        epoll_event event{EPOLLIN, {.ptr = watched}};
        return ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) == 0;
    }

    // Returns the number of events, after telling each readable socket; an event
    // without a socket wakes the worker.
    int readRound(int timeout, bool& woken) {
        epoll_event events[kEventsPerWait];
        const int count = ::epoll_wait(epoll_, events, kEventsPerWait, timeout);
        for (int i = 0; i < count; ++i) {
            if (events[i].data.ptr)
                static_cast<Watched*>(events[i].data.ptr)->readable();
            else
                woken = true;
        }
        retired_.clear();
        return count;
    }

    int epoll_ = -1;

private:
    static constexpr auto kSetUpRetry = std::chrono::seconds(1);

    ThreadWorker& threaded();
    // Once the epoll set exists: the rest of the set-up.
    Result<> start();

    Result<> trySetUp() {
        epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
        if (epoll_ < 0) return Error::system(errno);
        auto started = start();
        if (!started) {
            ::close(epoll_);
            epoll_ = -1;
        }
        return started;
    }

    MainQueueWorker* const mainQueue_;
    std::atomic<bool> runs_{false};
    std::mutex setUpMutex_;
    std::optional<std::chrono::steady_clock::time_point> triedAt_;
    Result<> setUpResult_;
    std::vector<std::shared_ptr<Watched>> retired_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kMaximumDatagram);
};

// A worker with a thread of its own. Each round it tells what came in, then takes the
// work posted meanwhile and sends that work's results; each owner's queue gets one
// task of each.
class ThreadWorker final : public SocketWorker {
public:
    explicit ThreadWorker(size_t index) : SocketWorker(nullptr), index_(index) {}

    size_t index() const { return index_; }

    // Any thread.
    void post(std::vector<dispatch::Task> tasks) {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            wake = inbox_.empty();
            for (auto& task : tasks) inbox_.push_back(std::move(task));
        }
        if (wake) {
            const std::uint64_t one = 1;
            [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
        }
    }

    void stop() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
        thread_.join();
    }

private:
    friend class SocketWorker;

    // Kept for the owner's task of this round.
    void keepReport(dispatch::DispatchQueue& owner, dispatch::Task task) {
        for (auto& [queue, tasks] : reports_) {
            if (queue != &owner) continue;
            tasks.push_back(std::move(task));
            return;
        }
        reports_.push_back({&owner, {}});
        reports_.back().second.push_back(std::move(task));
    }

    Result<> startThread() {
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        epoll_event event{EPOLLIN, {.ptr = nullptr}};
        Error failure;
        if (wake_ < 0 || ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) != 0) {
            failure = Error::system(errno);
        } else {
            try {
                thread_ = std::thread([this] { run(); });
                return {};
            } catch (const std::system_error& error) {
                failure = {error.code().value(), error.code().message()};
            }
        }
        if (wake_ >= 0) ::close(wake_);
        wake_ = -1;
        return failure;
    }

    void run() {
        for (;;) {
            bool woken = false;
            readRound(-1, woken);
            // What came in goes back before new work is taken: opening sockets takes a while.
            sendReports();
            if (!woken) continue;
            std::uint64_t ignored;
            [[maybe_unused]] auto read = ::read(wake_, &ignored, sizeof ignored);
            {
                std::lock_guard lock(mutex_);
                if (stopping_) return;
                taken_.swap(inbox_);  // both keep their room
            }
            for (auto& task : taken_) task();
            taken_.clear();
            sendReports();
        }
    }

    void sendReports() {
        for (auto& [queue, tasks] : reports_) {
            queue->async([tasks = std::move(tasks)] {
                for (const auto& task : tasks) task();
            });
        }
        reports_.clear();
    }

    const size_t index_;
    int wake_ = -1;
    std::mutex mutex_;
    std::vector<dispatch::Task> inbox_, taken_;
    bool stopping_ = false;
    std::thread thread_;
    std::vector<std::pair<dispatch::DispatchQueue*, std::vector<dispatch::Task>>> reports_;
};

// The main queue's worker: its work runs on the main queue, at once, and the queue's
// loop watches the set, telling the answers as they are read.
class MainQueueWorker final : public SocketWorker {
public:
    explicit MainQueueWorker(dispatch::DispatchQueue& queue) : SocketWorker(this), queue_(queue) {}

private:
    friend class SocketWorker;

    dispatch::DispatchQueue& queue() { return queue_; }

    // Told when the answers in hand are read, or else in a task of their own.
    void keepReport(dispatch::Task task) {
        reports_.push_back(std::move(task));
        if (serving_ || reportsQueued_) return;
        reportsQueued_ = true;
        queue_.async([this] {
            reportsQueued_ = false;
            tellReports();
        });
    }

    bool watch(int fd, Watched* watched) {
        if (!add(fd, watched)) return false;
        waitForEvents();
        return true;
    }

    // The loop may watch a descriptor for the first time here, and then makes its poller.
    Result<> startWatching() {
        try {
            readiness_.emplace(queue_.context(), epoll_);
            return {};
        } catch (const std::system_error& error) {
            return Error{error.code().value(), error.code().message()};
        }
    }

    // The loop watches the set once the task at hand and the work queued before it are
    // done, so the queries being sent and the answers being written go first. Each wait
    // looks at the set afresh: whatever is ready by then is told at once.
    void waitForEvents() {
        if (waiting_) return;
        waiting_ = true;
        queue_.async([this] {
            readiness_->async_wait(asio::posix::stream_descriptor::wait_read, [this](const std::error_code& error) {
                waiting_ = false;
                if (!error) serve();
            });
        });
    }

    void serve() {
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

    void tellReports() {
        told_.swap(reports_);  // both keep their room
        for (const auto& task : told_) task();
        told_.clear();
    }

    dispatch::DispatchQueue& queue_;
    std::optional<asio::posix::stream_descriptor> readiness_;
    bool waiting_ = false, serving_ = false, reportsQueued_ = false;
    std::vector<dispatch::Task> reports_, told_;
};

// Never destroyed, like the process's other system threads; stopped and joined at exit.
struct Workers {
    ThreadWorker* threads[kSocketWorkers] = {};
    MainQueueWorker* mainQueue = nullptr;
    std::atomic<size_t> next{0};
    size_t mainQueueSocketsThisTask = 0;  // on the main queue
};

Workers& workers() {
    static Workers* all = [] {
        auto* made = new Workers;
        for (size_t i = 0; i < kSocketWorkers; ++i) {
            made->threads[i] = new ThreadWorker(i);
            made->threads[i]->setUp();
        }
        made->mainQueue = new MainQueueWorker(dispatch::DispatchQueue::main());
        made->mainQueue->setUp();
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
    for (size_t tried = 0; tried < kSocketWorkers; ++tried) {
        auto* each = all.threads[all.next++ % kSocketWorkers];
        if ((setUp = each->setUp())) return each;
    }
    return setUp.error();
}

// The worker for a new socket of `owner`, or why none runs.
Result<SocketWorker*> workerFor(dispatch::DispatchQueue& owner) {
    auto& all = workers();
    if (&owner == &dispatch::DispatchQueue::main() && all.mainQueue->setUp()) {
        if (all.mainQueueSocketsThisTask == 0) owner.async([] { workers().mainQueueSocketsThisTask = 0; });
        if (all.mainQueueSocketsThisTask++ < kMainQueueSocketsPerTask) return all.mainQueue;
    }
    auto next = nextThreadWorker();
    if (!next) return next.error();
    return *next;
}

// Work for the threaded workers goes over in batches: waking a sleeping worker costs
// the sender a system call, which would otherwise be paid for nearly every socket
// operation. Work added during one task of an owner's queue waits here, and goes in
// batches of a few, the rest once that task is done; work from outside the owner's
// queue goes at once.
class Handoff {
public:
    static Handoff& shared() {
        static Handoff* instance = new Handoff;
        return *instance;
    }

    void add(dispatch::DispatchQueue& owner, ThreadWorker& to, dispatch::Task task) {
        if (!owner.isCurrent()) {
            std::vector<dispatch::Task> single;
            single.push_back(std::move(task));
            to.post(std::move(single));
            return;
        }
        std::unique_lock lock(mutex_);
        auto found = waitingOf(&owner);
        if (found == waiting_.end()) {
            waiting_.push_back(std::make_unique<Waiting>());
            found = std::prev(waiting_.end());
            (*found)->owner = &owner;
            owner.async([flush = std::make_shared<FlushWhenReleased>(&owner)] {});
        }
        auto& pending = (*found)->tasks[to.index()];
        pending.push_back(std::move(task));
        if (pending.size() < kHandoffBatch) return;
        auto batch = take(pending);
        lock.unlock();
        to.post(std::move(batch));
    }

private:
    struct Waiting {
        dispatch::DispatchQueue* owner = nullptr;
        std::vector<dispatch::Task> tasks[kSocketWorkers];
    };
    // Held by a task posted after the owner's task: the waiting work goes out when the
    // queue has run that task, and also when the queue ends and drops it.
    struct FlushWhenReleased {
        explicit FlushWhenReleased(dispatch::DispatchQueue* owner) : owner(owner) {}
        ~FlushWhenReleased() { shared().flush(owner); }
        dispatch::DispatchQueue* owner;
    };

    void flush(dispatch::DispatchQueue* owner) {
        std::unique_ptr<Waiting> flushed;
        {
            std::lock_guard lock(mutex_);
            auto found = waitingOf(owner);
            if (found == waiting_.end()) return;
            flushed = std::move(*found);
            waiting_.erase(found);
        }
        for (size_t i = 0; i < kSocketWorkers; ++i)
            if (!flushed->tasks[i].empty()) workers().threads[i]->post(std::move(flushed->tasks[i]));
    }

    // Under the lock.
    std::vector<std::unique_ptr<Waiting>>::iterator waitingOf(const dispatch::DispatchQueue* owner) {
        return std::find_if(waiting_.begin(), waiting_.end(), [&](const auto& each) { return each->owner == owner; });
    }

    // A worker's waiting work, leaving room for the next batch; under the lock.
    static std::vector<dispatch::Task> take(std::vector<dispatch::Task>& pending) {
        std::vector<dispatch::Task> batch;
        batch.reserve(kHandoffBatch);
        batch.swap(pending);
        return batch;
    }

    std::mutex mutex_;
    std::vector<std::unique_ptr<Waiting>> waiting_;  // an owner's work until its task ends
};

ThreadWorker& SocketWorker::threaded() { return static_cast<ThreadWorker&>(*this); }

void SocketWorker::handOver(dispatch::DispatchQueue& owner, dispatch::Task task) {
    if (mainQueue_)
        mainQueue_->queue().run(std::move(task));
    else
        Handoff::shared().add(owner, threaded(), std::move(task));
}

void SocketWorker::report(dispatch::DispatchQueue& owner, dispatch::Task task) {
    if (mainQueue_)
        mainQueue_->keepReport(std::move(task));
    else
        threaded().keepReport(owner, std::move(task));
}

SocketWorker& SocketWorker::closer() {
    if (!mainQueue_) return *this;
    // The main queue lets many sockets go at once, and a close costs a system call: a
    // threaded worker makes it, when one runs.
    if (auto worker = nextThreadWorker()) return **worker;
    return *this;
}

bool SocketWorker::watch(int fd, Watched* watched) {
    return mainQueue_ ? mainQueue_->watch(fd, watched) : add(fd, watched);
}

Result<> SocketWorker::start() { return mainQueue_ ? mainQueue_->startWatching() : threaded().startThread(); }

}  // namespace

// ---- Channel, on its worker ----

void UdpSocket::Channel::handOver(dispatch::Task task) { worker_.handOver(owner_, std::move(task)); }

template <class Action>
void UdpSocket::Channel::report(Action action) {
    worker_.report(owner_, [weak = socket_, action = std::move(action)] {
        if (auto socket = weak.lock()) action(*socket);
    });
}

void UdpSocket::Channel::open(const asio::ip::udp::endpoint& peer) {
    handOver([self = shared_from_this(), peer] {
        if (self->closed_) return;
        // A socket of its own per query: the system picks a fresh source port for each.
        self->fd_ = ::socket(peer.protocol().family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (self->fd_ < 0 || ::connect(self->fd_, peer.data(), static_cast<socklen_t>(peer.size())) != 0) {
            self->fail(errno);
            return;
        }
        self->watchWhenReady();
    });
}

void UdpSocket::Channel::startReceiving() {
    handOver([self = shared_from_this()] {
        self->receiving_ = true;
        self->watchWhenReady();
    });
}

void UdpSocket::Channel::watchWhenReady() {
    if (closed_ || watched_ || fd_ < 0 || !receiving_) return;
    watched_ = true;
    if (!worker_.watch(fd_, this)) fail(errno);
}

void UdpSocket::Channel::send(Datagram data, long tag) {
    handOver([self = shared_from_this(), data = std::move(data), tag] {
        const bool open = !self->closed_ && self->fd_ >= 0;
        const bool sent = open && ::send(self->fd_, data.data(), data.size(), 0) >= 0;
        const int number = open ? errno : ENOTCONN;
        self->report([sent, number, tag](UdpSocket& socket) { socket.sendFinished(tag, sent, number); });
    });
}

void UdpSocket::Channel::close() {
    handOver([self = shared_from_this()] {
        if (self->closed_) return;
        self->closed_ = true;
        if (self->fd_ < 0) return;
        auto& closer = self->worker_.closer();
        if (&closer != &self->worker_) {
            // Events this worker has fetched may still name the channel, so it is let go
            // on the owner's queue once the close is done.
            closer.handOver(self->owner_, [self, &closer] {
                ::close(self->fd_);
                closer.report(self->owner_, [self] {});
            });
            return;
        }
        ::close(self->fd_);  // also leaves the epoll set
        self->watched_ = false;
        self->worker_.retire(self);
    });
}

void UdpSocket::Channel::readable() {
    if (closed_) {
        // Closed, but another worker makes the close: until then a datagram that came
        // would make this level-triggered set ready round after round. The event was
        // fetched this round, so the number still names this socket or, closed since,
        // nothing in this set, to which only this thread adds.
        if (watched_) worker_.unwatch(fd_);
        watched_ = false;
        return;
    }
    auto& buffer = worker_.buffer();
    const ssize_t received = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (received >= 0) {
        report([datagram = Datagram(buffer.begin(), buffer.begin() + received)](UdpSocket& socket) {
            socket.received(datagram);
        });
        return;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) fail(errno);
}

void UdpSocket::Channel::fail(int number) {
    closed_ = true;
    watched_ = false;
    if (fd_ >= 0) ::close(fd_);
    worker_.retire(shared_from_this());
    report([number](UdpSocket& socket) { socket.failed(number); });
}

// ---- UdpSocket, on the owner's queue ----

std::shared_ptr<UdpSocket> UdpSocket::make(std::weak_ptr<UdpSocketDelegate> delegate,
                                           dispatch::DispatchQueue& delegateQueue) {
    return std::shared_ptr<UdpSocket>(new UdpSocket(std::move(delegate), delegateQueue));
}

UdpSocket::UdpSocket(std::weak_ptr<UdpSocketDelegate> delegate, dispatch::DispatchQueue& queue)
    : delegate_(std::move(delegate)), queue_(queue) {}

UdpSocket::~UdpSocket() {
    if (resolver_) resolver_->cancel();
    if (channel_) channel_->close();
}

Result<> UdpSocket::connectToHost(const std::string& host, std::uint16_t port) {
    if (state_ != State::idle) return Error{EISCONN, "Cannot connect: socket is already connected or closed"};
    std::error_code parseError;
    auto address = asio::ip::make_address(host, parseError);
    if (!parseError) return connectTo({address, port});
    if (host.empty()) return Error{EDESTADDRREQ, "Cannot connect: no host"};
    // Names are resolved off the queue so that it never blocks.
    state_ = State::resolving;
    resolver_ = std::make_shared<asio::ip::udp::resolver>(queue_.context());
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    resolver_->async_resolve(host, std::to_string(port),
                             [weak, resolver = resolver_, host](const std::error_code& resolveError,
                                                          asio::ip::udp::resolver::results_type results) {
                                 auto self = weak.lock();
                                 if (!self || self->state_ != State::resolving) return;
                                 if (resolveError || results.empty()) {
                                     const std::string reason =
                                         resolveError ? resolveError.message() : "No address for host";
                                     oslog::networkFailures("udp").add("Cannot resolve " + host + ": " + reason);
                                     self->closeWithError(reason);
                                     return;
                                 }
                                 if (auto connected = self->connectTo(results.begin()->endpoint()); !connected)
                                     self->closeWithError(connected.error().reason);
                             });
    return {};
}

Result<> UdpSocket::connectTo(const asio::ip::udp::endpoint& peer) {
    auto worker = workerFor(queue_);
    if (!worker) {
        oslog::networkFailures("descriptors").add("No socket worker runs: " + worker.error().reason);
        return Error{worker.error().code, "Cannot connect: " + worker.error().reason};
    }
    channel_ = std::make_shared<Channel>(**worker, queue_, weak_from_this());
    channel_->open(peer);
    setPeer(peer);
    state_ = State::connected;
    if (receiving_) receiveNext();
    flushSends();
    return {};
}

Result<> UdpSocket::beginReceiving() {
    if (state_ == State::closed || state_ == State::idle)
        return Error{ENOTCONN, "Must bind or connect socket before receiving"};
    receiving_ = true;
    if (state_ == State::connected) receiveNext();
    return {};
}

void UdpSocket::sendData(Datagram data, dispatch::Duration timeout, long tag) {
    pending_.push_back({std::move(data), tag, std::chrono::steady_clock::now() + timeout});
    if (state_ != State::resolving) {
        flushSends();
        return;
    }
    // Still resolving: fail this send if the connection is not ready in time.
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    queue_.asyncAfter(timeout, [weak] {
        if (auto self = weak.lock()) self->flushSends();
    });
}

void UdpSocket::flushSends() {
    const auto now = std::chrono::steady_clock::now();
    while (!pending_.empty()) {
        PendingSend& send = pending_.front();
        if (state_ == State::resolving) {
            if (send.deadline > now) return;
            PendingSend expired = std::move(send);
            pending_.pop_front();
            if (auto delegate = delegate_.lock())
                delegate->udpSocketDidNotSendDataWithTag(*this, expired.tag, "Send operation timed out");
            continue;
        }
        PendingSend current = std::move(send);
        pending_.pop_front();
        if (state_ == State::connected)
            channel_->send(std::move(current.data), current.tag);
        else
            sendFinished(current.tag, false, ENOTCONN);
    }
}

void UdpSocket::sendFinished(long tag, bool sent, int errorNumber) {
    if (!sent) sayWhy(errorNumber);
    auto delegate = delegate_.lock();
    if (!delegate) return;
    if (sent)
        delegate->udpSocketDidSendDataWithTag(*this, tag);
    else
        delegate->udpSocketDidNotSendDataWithTag(*this, tag, systemErrorText(errorNumber));
}

void UdpSocket::receiveNext() {
    if (receivePending_ || state_ != State::connected) return;
    // The channel keeps receiving from now on, into its worker's buffer, so idle
    // sockets hold no buffer.
    receivePending_ = true;
    channel_->startReceiving();
}

void UdpSocket::received(const Datagram& datagram) {
    if (state_ != State::connected || !receiving_) return;
    if (auto delegate = delegate_.lock()) delegate->udpSocketDidReceiveData(*this, datagram, peerText_);
}

void UdpSocket::close() { closeWithError(std::nullopt); }

void UdpSocket::failed(int number) {
    sayWhy(number);
    closeWithError(systemErrorText(number));
}

void UdpSocket::sayWhy(int number) const {
    if (number == EMFILE || number == ENFILE || number == ENOBUFS || number == ENOMEM)
        oslog::networkFailures("descriptors").add("Cannot open a UDP socket: " + systemErrorText(number));
    else
        oslog::networkFailures("udp").add("Datagrams to " + peerText_ + ": " + systemErrorText(number));
}

void UdpSocket::closeWithError(const std::optional<std::string>& error) {
    if (state_ == State::closed) return;
    state_ = State::closed;
    if (resolver_) resolver_->cancel();
    if (channel_) channel_->close();
    channel_.reset();
    flushSends();  // pending sends fail as not connected
    if (auto delegate = delegate_.lock()) delegate->udpSocketDidClose(*this, error);
}

std::string UdpSocket::connectedAddress() const { return peerText_; }

void UdpSocket::setPeer(const asio::ip::udp::endpoint& peer) {
    peer_ = peer;
    // The sockets of one queue mostly talk to one server: its text is made once.
    thread_local asio::ip::udp::endpoint lastPeer;
    thread_local std::string lastText;
    if (lastText.empty() || peer != lastPeer) {
        lastPeer = peer;
        lastText = peer.address().to_string() + ":" + std::to_string(peer.port());
    }
    peerText_ = lastText;
}

}  // namespace net
