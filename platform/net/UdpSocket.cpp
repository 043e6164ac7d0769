#include "net/UdpSocket.h"

#include <asio/ip/address.hpp>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
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

std::string systemErrorText(int number) {
    return std::error_code(number, asio::error::get_system_category()).message();
}

class SocketWorker;
SocketWorker& worker(size_t index);

// What a worker's epoll set holds: something to tell when its descriptor is readable.
class Watched {
public:
    virtual ~Watched() = default;
    virtual void readable() = 0;
};

}  // namespace

// The socket's system side, on its worker: the descriptor, its place in the worker's
// epoll set, its sends, receives and close. Results go to the owner's queue in order.
class UdpSocket::Channel : public Watched, public std::enable_shared_from_this<UdpSocket::Channel> {
public:
    Channel(size_t worker, dispatch::DispatchQueue& owner, std::weak_ptr<UdpSocket> socket)
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

    size_t worker_;
    dispatch::DispatchQueue& owner_;
    std::weak_ptr<UdpSocket> socket_;
    // The rest is touched on the worker only.
    int fd_ = -1;
    bool receiving_ = false;
    bool watched_ = false;
    bool closed_ = false;
};

namespace {

// A thread with an epoll set of its own, level-triggered: one receive per readable
// socket per round, and whatever is left shows up in the next round. Work arrives in
// batches. Each owner's queue gets a round's datagrams in one task, before the round
// takes its new work, and that work's results in another.
class SocketWorker {
public:
    SocketWorker() : epoll_(::epoll_create1(EPOLL_CLOEXEC)), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        epoll_event event{EPOLLIN, {.ptr = nullptr}};
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
        thread_ = std::thread([this] { run(); });
    }

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
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
        if (thread_.joinable()) thread_.join();
    }

    // On the worker.
    bool watch(int fd, Watched* watched) {
        epoll_event event{EPOLLIN, {.ptr = watched}};
        return ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) == 0;
    }

    void report(dispatch::DispatchQueue& owner, dispatch::Task task) {
        for (auto& [queue, tasks] : reports_) {
            if (queue != &owner) continue;
            tasks.push_back(std::move(task));
            return;
        }
        reports_.push_back({&owner, {}});
        reports_.back().second.push_back(std::move(task));
    }

    // Keeps a closed channel until the round ends: events fetched with it may still name it.
    void retire(std::shared_ptr<Watched> watched) { retired_.push_back(std::move(watched)); }

    std::vector<std::uint8_t>& buffer() { return buffer_; }

private:
    void run() {
        epoll_event events[kEventsPerWait];
        for (;;) {
            const int count = ::epoll_wait(epoll_, events, kEventsPerWait, -1);
            bool woken = false;
            for (int i = 0; i < count; ++i) {
                if (events[i].data.ptr)
                    static_cast<Watched*>(events[i].data.ptr)->readable();
                else
                    woken = true;
            }
            // What came in goes back before new work is taken: opening sockets takes a while.
            sendReports();
            if (woken) {
                std::uint64_t ignored;
                [[maybe_unused]] auto read = ::read(wake_, &ignored, sizeof ignored);
                std::vector<dispatch::Task> tasks;
                {
                    std::lock_guard lock(mutex_);
                    if (stopping_) return;
                    tasks.swap(inbox_);
                }
                for (auto& task : tasks) task();
                sendReports();
            }
            retired_.clear();
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

    int epoll_;
    int wake_;
    std::mutex mutex_;
    std::vector<dispatch::Task> inbox_;
    bool stopping_ = false;
    std::vector<std::pair<dispatch::DispatchQueue*, std::vector<dispatch::Task>>> reports_;
    std::vector<std::shared_ptr<Watched>> retired_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kMaximumDatagram);
    std::thread thread_;
};

SocketWorker* workers[kSocketWorkers] = {};

// Never destroyed, like the process's other system threads; stopped and joined at exit.
SocketWorker& worker(size_t index) {
    static const bool created = [] {
        for (auto*& each : workers) each = new SocketWorker;
        std::atexit([] {
            for (auto* each : workers) each->stop();
        });
        return true;
    }();
    (void)created;
    return *workers[index];
}

size_t nextWorker() {
    static std::atomic<size_t> next{0};
    return next++ % kSocketWorkers;
}

// Work for the workers goes over in batches: waking a sleeping worker costs the
// sender a system call, which would otherwise be paid for nearly every socket
// operation. Work added during one task of the owner's queue is handed over in small
// batches, the rest once that task is done.
class Handoff {
public:
    static Handoff& shared() {
        static Handoff* instance = new Handoff;
        return *instance;
    }

    void add(dispatch::DispatchQueue& owner, size_t thread, dispatch::Task task) {
        std::unique_lock lock(mutex_);
        pending_[thread].push_back(std::move(task));
        if (pending_[thread].size() >= kHandoffBatch) {
            auto batch = take(thread);
            lock.unlock();
            worker(thread).post(std::move(batch));
            return;
        }
        if (flushPending_) return;
        flushPending_ = true;
        owner.async([this] { flush(); });
    }

private:
    void flush() {
        std::vector<dispatch::Task> batches[kSocketWorkers];
        {
            std::lock_guard lock(mutex_);
            for (size_t i = 0; i < kSocketWorkers; ++i)
                if (!pending_[i].empty()) batches[i] = take(i);
            flushPending_ = false;
        }
        for (size_t i = 0; i < kSocketWorkers; ++i)
            if (!batches[i].empty()) worker(i).post(std::move(batches[i]));
    }

    // A worker's waiting work, leaving room for the next batch; under the lock.
    std::vector<dispatch::Task> take(size_t thread) {
        std::vector<dispatch::Task> batch;
        batch.reserve(kHandoffBatch);
        batch.swap(pending_[thread]);
        return batch;
    }

    std::mutex mutex_;
    std::vector<dispatch::Task> pending_[kSocketWorkers];
    bool flushPending_ = false;
};

}  // namespace

// ---- Channel, on its worker ----

void UdpSocket::Channel::handOver(dispatch::Task task) { Handoff::shared().add(owner_, worker_, std::move(task)); }

template <class Action>
void UdpSocket::Channel::report(Action action) {
    worker(worker_).report(owner_, [weak = socket_, action = std::move(action)] {
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
    if (!worker(worker_).watch(fd_, this)) fail(errno);
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
        if (self->fd_ >= 0) ::close(self->fd_);  // also leaves the epoll set
        worker(self->worker_).retire(self);
    });
}

void UdpSocket::Channel::readable() {
    if (closed_) return;
    auto& buffer = worker(worker_).buffer();
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
    if (fd_ >= 0) ::close(fd_);
    worker(worker_).retire(shared_from_this());
    report([message = systemErrorText(number)](UdpSocket& socket) { socket.closeWithError(message); });
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

bool UdpSocket::connectToHost(const std::string& host, std::uint16_t port, std::string* error) {
    auto fail = [&](std::string text) {
        if (error) *error = std::move(text);
        return false;
    };
    if (state_ != State::idle) return fail("Cannot connect: socket is already connected or closed");
    std::error_code parseError;
    auto address = asio::ip::make_address(host, parseError);
    if (!parseError) {
        connectTo({address, port});
        return true;
    }
    if (host.empty()) return fail("Cannot connect: no host");
    // Names are resolved off the queue so that it never blocks.
    state_ = State::resolving;
    resolver_ = std::make_shared<asio::ip::udp::resolver>(queue_.context());
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    resolver_->async_resolve(host, std::to_string(port),
                             [weak, resolver = resolver_](const std::error_code& resolveError,
                                                          asio::ip::udp::resolver::results_type results) {
                                 auto self = weak.lock();
                                 if (!self || self->state_ != State::resolving) return;
                                 if (resolveError || results.empty()) {
                                     self->closeWithError(resolveError ? resolveError.message()
                                                                       : "No address for host");
                                     return;
                                 }
                                 self->connectTo(results.begin()->endpoint());
                             });
    return true;
}

void UdpSocket::connectTo(const asio::ip::udp::endpoint& peer) {
    channel_ = std::make_shared<Channel>(nextWorker(), queue_, weak_from_this());
    channel_->open(peer);
    setPeer(peer);
    state_ = State::connected;
    if (receiving_) receiveNext();
    flushSends();
}

bool UdpSocket::beginReceiving(std::string* error) {
    if (state_ == State::closed || state_ == State::idle) {
        if (error) *error = "Must bind or connect socket before receiving";
        return false;
    }
    receiving_ = true;
    if (state_ == State::connected) receiveNext();
    return true;
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
