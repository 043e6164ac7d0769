// UDP sockets whose input and output run on threads of their own: every result is
// told on the owner's queue, to the right socket, and never after the socket is gone.

#include "dispatch/Dispatch.h"
#include "net/UdpSocket.h"
#include "../../integration/UdpAnswerServer.h"

#include <asio/posix/stream_descriptor.hpp>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <future>
#include <iostream>
#include <set>
#include <system_error>
#include <thread>

using namespace std::chrono_literals;

namespace {

class CountingDelegate : public net::UdpSocketDelegate {
public:
    void udpSocketDidSendDataWithTag(net::UdpSocket&, long) override {
        offQueue += !dispatch::DispatchQueue::main().isCurrent();
        ++sent;
    }
    void udpSocketDidReceiveData(net::UdpSocket&, const net::Datagram& data, const std::string&) override {
        offQueue += !dispatch::DispatchQueue::main().isCurrent();
        // The send is told before its answer.
        answeredBeforeSent += sent == 0;
        received.push_back(data);
    }
    void udpSocketDidClose(net::UdpSocket&, const std::optional<net::Error>& error) override {
        ++closed;
        closeError = error ? error->reason : "";
    }

    int sent = 0;
    int closed = 0;
    int offQueue = 0;
    int answeredBeforeSent = 0;
    std::string closeError;
    std::vector<net::Datagram> received;
};

net::Datagram query(int number) {
    return {static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number), 0x01, 0x00, 0x00};
}

// New descriptors take the lowest free number.
int lowestFreeDescriptor() {
    int descriptor = 0;
    while (::fcntl(descriptor, F_GETFD) >= 0) ++descriptor;
    return descriptor;
}

size_t openDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

}  // namespace

TEST(UdpSocketChannel, ManySocketsEachGetTheirOwnAnswersOnTheOwnersQueue) {
    UdpAnswerServer server(0);
    constexpr int count = 200;
    std::vector<std::shared_ptr<CountingDelegate>> delegates;
    std::vector<std::shared_ptr<net::UdpSocket>> sockets;
    for (int i = 0; i < count; ++i) {
        delegates.push_back(std::make_shared<CountingDelegate>());
        sockets.push_back(net::UdpSocket::make(delegates.back(), dispatch::DispatchQueue::main()));
        ASSERT_TRUE(sockets.back()->connectToHost("127.0.0.1", server.port()));
        ASSERT_TRUE(sockets.back()->beginReceiving());
        sockets.back()->sendData(query(i), 2s, 100000 + i);
    }
    auto allAnswered = [&] {
        for (const auto& delegate : delegates)
            if (delegate->received.empty()) return false;
        return true;
    };
    ASSERT_TRUE(dispatch::runMainUntil(allAnswered, 5s));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(delegates[i]->received, std::vector<net::Datagram>{UdpAnswerServer::answerTo(query(i), 0)});
        EXPECT_EQ(delegates[i]->sent, 1);
        EXPECT_EQ(delegates[i]->offQueue, 0);
        EXPECT_EQ(delegates[i]->answeredBeforeSent, 0);
    }
}

TEST(UdpSocketChannel, ClosedOrDroppedSocketsTellNothingMore) {
    UdpAnswerServer server(0, 1, 50ms);
    auto closedDelegate = std::make_shared<CountingDelegate>();
    auto droppedDelegate = std::make_shared<CountingDelegate>();
    auto closing = net::UdpSocket::make(closedDelegate, dispatch::DispatchQueue::main());
    auto dropped = net::UdpSocket::make(droppedDelegate, dispatch::DispatchQueue::main());
    for (auto* socket : {&closing, &dropped}) {
        ASSERT_TRUE((*socket)->connectToHost("127.0.0.1", server.port()));
        ASSERT_TRUE((*socket)->beginReceiving());
        (*socket)->sendData(query(7), 2s, 123456);
    }
    closing->close();
    dropped.reset();
    // The answers come after 50 ms; give them time to arrive and be dropped.
    ASSERT_TRUE(dispatch::runMainUntil([&] { return server.queries().size() == 2; }, 2s));
    dispatch::runMainFor(150ms);
    EXPECT_EQ(closedDelegate->closed, 1);
    EXPECT_TRUE(closedDelegate->received.empty());
    EXPECT_TRUE(droppedDelegate->received.empty());
    EXPECT_EQ(droppedDelegate->closed, 0);
    EXPECT_FALSE(closing->connectToHost("127.0.0.1", server.port()));
}

// A main-queue socket's close is made by a threaded worker and reported back later; a
// socket made meanwhile takes the same descriptor number, and the late report of the
// close must not take its place in the main queue's set.
TEST(UdpSocketChannel, TheReusedDescriptorsAnswersArriveWhileTheFormerSocketsCloseIsReported) {
    UdpAnswerServer server(0, 1, 50ms);  // the close is reported before the answer comes
    auto& main = dispatch::DispatchQueue::main();
    constexpr int rounds = 20;
    int reused = 0;
    std::vector<std::shared_ptr<CountingDelegate>> delegates;
    std::vector<std::shared_ptr<net::UdpSocket>> sockets;
    // The workers' own descriptors exist from the first socket on.
    auto first = net::UdpSocket::make(std::make_shared<CountingDelegate>(), main);
    ASSERT_TRUE(first->connectToHost("127.0.0.1", server.port()));
    for (int i = 0; i < rounds; ++i) {
        main.async([&, i] {
            const int descriptor = lowestFreeDescriptor();  // the next socket's
            auto closing = net::UdpSocket::make(std::make_shared<CountingDelegate>(), main);
            EXPECT_TRUE(closing->connectToHost("127.0.0.1", server.port()));
            EXPECT_TRUE(closing->beginReceiving());
            closing->close();
            // After the step that hands the close to a worker at the end of this task.
            main.async([&, i, descriptor] {
                // The worker has closed it; the report of the close waits for this task.
                const auto deadline = std::chrono::steady_clock::now() + 5s;
                while (::fcntl(descriptor, F_GETFD) >= 0 && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
                delegates.push_back(std::make_shared<CountingDelegate>());
                sockets.push_back(net::UdpSocket::make(delegates.back(), main));
                EXPECT_TRUE(sockets.back()->connectToHost("127.0.0.1", server.port()));
                EXPECT_TRUE(sockets.back()->beginReceiving());
                reused += ::fcntl(descriptor, F_GETFD) >= 0;
                sockets.back()->sendData(query(i), 2s, 100000 + i);
            });
        });
        ASSERT_TRUE(dispatch::runMainUntil([&] { return sockets.size() == i + 1u; }, 10s));
    }
    EXPECT_EQ(reused, rounds) << "the new sockets did not take the closed ones' descriptors";
    dispatch::runMainUntil(
        [&] {
            return std::all_of(delegates.begin(), delegates.end(), [](const auto& each) { return !each->received.empty(); });
        },
        5s);
    int answered = 0;
    for (int i = 0; i < rounds; ++i)
        answered += delegates[i]->received == std::vector<net::Datagram>{UdpAnswerServer::answerTo(query(i), 0)};
    EXPECT_EQ(answered, rounds);
}

TEST(UdpSocketChannel, UnreachableAddressClosesTheSocketWithTheError) {
    // Only loopback exists in the test's namespace, so no route leads there.
    auto delegate = std::make_shared<CountingDelegate>();
    auto socket = net::UdpSocket::make(delegate, dispatch::DispatchQueue::main());
    ASSERT_TRUE(socket->connectToHost("192.0.2.1", 53));
    ASSERT_TRUE(socket->beginReceiving());
    socket->sendData(query(1), 2s, 100001);
    ASSERT_TRUE(dispatch::runMainUntil([&] { return delegate->closed == 1; }, 2s));
    EXPECT_NE(delegate->closeError.find("unreachable"), std::string::npos) << delegate->closeError;
    EXPECT_EQ(delegate->sent, 0);
    EXPECT_TRUE(socket->isClosed());
}

TEST(UdpSocketChannel, MainQueueSocketsMadeAloneOrInBurstsAreAnsweredOnFreshPortsAndLetGoWhole) {
    UdpAnswerServer server(0);
    auto& main = dispatch::DispatchQueue::main();
    std::vector<std::shared_ptr<CountingDelegate>> delegates;
    std::vector<std::shared_ptr<net::UdpSocket>> sockets;
    auto make = [&](int i) {
        delegates.push_back(std::make_shared<CountingDelegate>());
        sockets.push_back(net::UdpSocket::make(delegates.back(), main));
        EXPECT_TRUE(sockets.back()->connectToHost("127.0.0.1", server.port()));
        EXPECT_TRUE(sockets.back()->beginReceiving());
        sockets.back()->sendData(query(i), 2s, 100000 + i);
    };
    auto allAnswered = [&] {
        for (const auto& delegate : delegates)
            if (delegate->received.empty()) return false;
        return true;
    };
    // The workers' own descriptors exist from the first socket on.
    main.async([&] { make(0); });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return delegates.size() == 1 && allAnswered(); }, 2s));
    sockets.clear();
    dispatch::runMainFor(50ms);  // its close is done
    const size_t before = openDescriptors();

    // One socket per task, as a query that comes alone; then a burst in one task.
    constexpr int alone = 20, count = 120;
    for (int i = 1; i < alone; ++i) main.async([&, i] { make(i); });
    main.async([&] {
        for (int i = alone; i < count; ++i) make(i);
    });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return delegates.size() == count && allAnswered(); }, 5s));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(delegates[i]->received, std::vector<net::Datagram>{UdpAnswerServer::answerTo(query(i), 0)});
        EXPECT_EQ(delegates[i]->sent, 1);
        EXPECT_EQ(delegates[i]->offQueue, 0);
    }
    const auto ports = server.sourcePorts();
    EXPECT_EQ(std::set<std::uint16_t>(ports.begin() + 1, ports.end()).size(), count - 1u);

    // All let go in one task, as the provider's resolver set does: every descriptor closes.
    main.async([&] { sockets.clear(); });
    EXPECT_TRUE(dispatch::runMainUntil([&] { return openDescriptors() == before; }, 2s)) << openDescriptors();
}

TEST(UdpSocketChannel, AnOwnersWorkGoesOutWithoutWaitingForAnotherOwnersQueue) {
    UdpAnswerServer server(0);
    // Main-queue sockets whose work would wait for the main queue's next turn, which
    // does not come while the other queue's socket is answered.
    std::vector<std::shared_ptr<CountingDelegate>> waitingDelegates;
    std::vector<std::shared_ptr<net::UdpSocket>> waiting;
    dispatch::DispatchQueue::main().async([&] {
        for (int i = 0; i < 8; ++i) {
            waitingDelegates.push_back(std::make_shared<CountingDelegate>());
            waiting.push_back(net::UdpSocket::make(waitingDelegates.back(), dispatch::DispatchQueue::main()));
            EXPECT_TRUE(waiting.back()->connectToHost("127.0.0.1", server.port()));
            EXPECT_TRUE(waiting.back()->beginReceiving());
            waiting.back()->sendData(query(i), 2s, 100000 + i);
        }
    });
    ASSERT_TRUE(dispatch::runMainUntil([&] { return waiting.size() == 8; }, 2s));

    class SignallingDelegate : public net::UdpSocketDelegate {
    public:
        void udpSocketDidReceiveData(net::UdpSocket&, const net::Datagram&, const std::string&) override {
            std::lock_guard lock(mutex);
            answered = true;
            changed.notify_all();
        }
        std::mutex mutex;
        std::condition_variable changed;
        bool answered = false;
    };
    auto delegate = std::make_shared<SignallingDelegate>();
    // Results may still be on their way to an owner's queue after its socket is gone, so
    // the queue lives as long as the process, as the main queue does.
    static auto& queue = *new dispatch::DispatchQueue("test.owner");
    std::shared_ptr<net::UdpSocket> socket;
    queue.async([&] {
        socket = net::UdpSocket::make(delegate, queue);
        EXPECT_TRUE(socket->connectToHost("127.0.0.1", server.port()));
        EXPECT_TRUE(socket->beginReceiving());
        socket->sendData(query(100), 2s, 100100);
    });
    {
        std::unique_lock lock(delegate->mutex);
        EXPECT_TRUE(delegate->changed.wait_for(lock, 2s, [&] { return delegate->answered; }));
    }
    EXPECT_TRUE(dispatch::runMainUntil(
        [&] {
            for (const auto& each : waitingDelegates)
                if (each->received.empty()) return false;
            return true;
        },
        2s));
    std::promise<void> released;  // the socket goes on its own queue
    queue.async([&] {
        socket.reset();
        released.set_value();
    });
    released.get_future().wait();
}

namespace {

// Leaves no descriptor free, then tries to connect: the workers cannot be set up. Once
// descriptors are free again, a later socket sets them up and is answered.
[[noreturn]] void connectWithNoDescriptorLeftThenWithSome() {
    UdpAnswerServer server(0);
    rlimit before{};
    ::getrlimit(RLIMIT_NOFILE, &before);
    auto delegate = std::make_shared<CountingDelegate>();
    auto socket = net::UdpSocket::make(delegate, dispatch::DispatchQueue::main());
    const rlimit none{static_cast<rlim_t>(lowestFreeDescriptor()), before.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &none);
    const auto connected = socket->connectToHost("127.0.0.1", server.port());
    std::cerr << (connected ? "connected" : connected.error().reason);
    bool failedAsItShould = !connected && !socket->beginReceiving();

    ::setrlimit(RLIMIT_NOFILE, &before);
    std::this_thread::sleep_for(1100ms);  // set-up is tried again at most once a second
    auto later = net::UdpSocket::make(delegate, dispatch::DispatchQueue::main());
    bool answered = later->connectToHost("127.0.0.1", server.port()) && later->beginReceiving();
    later->sendData(query(1), 2s, 100001);
    answered = answered && dispatch::runMainUntil([&] { return !delegate->received.empty(); }, 2s);
    // Without the process's exit handlers, which would tear the test framework down
    // under the running test.
    std::_Exit(failedAsItShould && answered ? 0 : 1);
}

size_t threadCount() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

// Leaves eight descriptors free: the threaded workers take two each and the main
// queue's worker its epoll set, and then the main queue's loop, watching a descriptor
// for the first time, has too few for its poller. The main queue's sockets then go to
// the threaded workers, no more of which start, until descriptors are free again.
[[noreturn]] void connectWhenTheMainQueuesLoopHasNoDescriptorLeft() {
    UdpAnswerServer server(0);
    {
        // A poller made, and its failure caught, once before: the sanitizers' first look
        // at these types takes descriptors of its own.
        asio::io_context other;
        asio::posix::stream_descriptor unused(other);
        try {
            throw std::system_error(std::error_code(EMFILE, std::system_category()));
        } catch (const std::system_error& error) {
            std::cerr << error.code().message() << "\n";
        }
    }
    rlimit before{};
    ::getrlimit(RLIMIT_NOFILE, &before);
    int limit = 0;
    for (int free = 0; free < 8; ++limit)
        if (::fcntl(limit, F_GETFD) < 0) ++free;
    const rlimit few{static_cast<rlim_t>(limit), before.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &few);
    const size_t threads = threadCount();
    auto delegate = std::make_shared<CountingDelegate>();
    std::vector<std::shared_ptr<net::UdpSocket>> sockets;
    auto connect = [&] {
        sockets.push_back(net::UdpSocket::make(delegate, dispatch::DispatchQueue::main()));
        try {
            return sockets.back()->connectToHost("127.0.0.1", server.port()) && sockets.back()->beginReceiving();
        } catch (const std::exception& error) {
            std::cerr << "connecting threw " << error.what() << "\n";
            return false;
        }
    };
    bool good = connect();
    ::setrlimit(RLIMIT_NOFILE, &before);
    good = connect() && good;
    const size_t started = threadCount() - threads;
    if (started != 3) std::cerr << started << " threads started\n";
    sockets.back()->sendData(query(1), 2s, 100001);
    good = good && started == 3 && dispatch::runMainUntil([&] { return delegate->received.size() == 1; }, 2s);

    std::this_thread::sleep_for(1100ms);  // set-up is tried again at most once a second
    dispatch::DispatchQueue::main().async([&] { good = connect() && good; });
    dispatch::runMainUntil([&] { return sockets.size() == 3; }, 2s);
    sockets.back()->sendData(query(2), 2s, 100002);
    good = good && dispatch::runMainUntil([&] { return delegate->received.size() == 2; }, 2s);
    std::_Exit(good ? 0 : 1);
}

std::set<pid_t> threadIds() {
    std::set<pid_t> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(static_cast<pid_t>(std::stoi(entry.path().filename().string())));
    return ids;
}

std::atomic<int> heldThreads{0};
std::atomic<bool> releaseThreads{false};

void holdThread(int) {
    ++heldThreads;
    while (!releaseThreads) {
        timespec pause{0, 1'000'000};
        ::nanosleep(&pause, nullptr);
    }
}

// A main-queue socket closed while its answer is on the way: the close is made by a
// threaded worker, here held still, and the answer that arrives meanwhile must not
// keep the main queue busy until then.
[[noreturn]] void lateAnswerWhileTheCloseWaitsForAWorker() {
    UdpAnswerServer server(0, 1, 50ms);
    auto& main = dispatch::DispatchQueue::main();
    const auto before = threadIds();
    auto delegate = std::make_shared<CountingDelegate>();
    auto socket = net::UdpSocket::make(delegate, main);
    bool good = socket->connectToHost("127.0.0.1", server.port()) && socket->beginReceiving();
    const auto after = threadIds();
    std::this_thread::sleep_for(20ms);  // the workers wait for work
    std::signal(SIGUSR1, holdThread);
    int workers = 0;
    for (pid_t id : after)
        if (!before.contains(id)) workers += ::syscall(SYS_tgkill, ::getpid(), id, SIGUSR1) == 0;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (heldThreads < workers && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    good = good && workers == 3 && heldThreads == 3;

    main.async([&] {
        socket->sendData(query(1), 2s, 100001);
        socket->close();
    });
    good = dispatch::runMainUntil([&] { return server.queries().size() == 1; }, 2s) && good;
    std::this_thread::sleep_for(100ms);  // the answer has come
    auto& loop = main.context();
    loop.restart();
    const size_t tasks = loop.run_for(200ms);
    std::cerr << tasks << " tasks";
    releaseThreads = true;
    std::_Exit(good && tasks < 50 && delegate->received.empty() ? 0 : 1);
}

}  // namespace

TEST(UdpSocketWorkers, WithNoDescriptorLeftTheWorkersFailTheConnectionWithTheReasonAndAreSetUpLater) {
    // The workers are set up with the first socket of a process, so this runs in a
    // process of its own, started afresh.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Without a journal, the log's line on why comes first on the same stream.
    EXPECT_EXIT(connectWithNoDescriptorLeftThenWithSome(), testing::ExitedWithCode(0),
                "Cannot connect: Too many open files$");
}

TEST(UdpSocketWorkers, WhenTheMainQueuesLoopCannotWatchItsSetItsSocketsGoToTheOtherWorkers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(connectWhenTheMainQueuesLoopHasNoDescriptorLeft(), testing::ExitedWithCode(0), "");
}

TEST(UdpSocketWorkers, ALateAnswerToAMainQueueSocketWhoseCloseWaitsLeavesTheMainQueueIdle) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(lateAnswerWhileTheCloseWaitsForAWorker(), testing::ExitedWithCode(0), "");
}
