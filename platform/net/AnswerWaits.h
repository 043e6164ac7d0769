#pragma once
// Queries sent over UDP that wait for their first answer, all on one queue. Every wait
// lasts as long, so the waits end in the order they began; a road bounds how many
// wait, and their octets, through makeRoom. One timer ends the expired waits: it wakes
// at the earliest deadline, at most once a tick under load, and not at all while
// nothing waits.

#include "dispatch/Dispatch.h"

#include <asio/steady_timer.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

namespace net {

class AnswerWaits {
public:
    // What waits: its wait keeps it alive, and tells it when it ends without an answer.
    class Waiter {
    public:
        virtual ~Waiter() = default;
        bool awaitingAnswer() const { return static_cast<bool>(self_); }

    private:
        friend class AnswerWaits;
        // The wait expired, or ended to make room for a newer query.
        virtual void waitEnded() {}

        std::shared_ptr<Waiter> self_;
        std::size_t bytes_ = 0;
    };

    AnswerWaits(dispatch::DispatchQueue& queue, dispatch::Duration wait);
    // Lets go of the waiters still waiting, untold; call on the queue.
    ~AnswerWaits();
    AnswerWaits(const AnswerWaits&) = delete;
    AnswerWaits& operator=(const AnswerWaits&) = delete;

    // Whether one more query of `size` octets fits within the limits: `mostQueries`
    // waits in every set together, whose sockets share the descriptors, and `mostBytes`
    // in this one. At the limits this set's oldest waits end once they have lasted a
    // while, as unbound's jostling does: a flood's last queries then keep new ones out
    // for that long, not for their whole wait.
    bool makeRoom(std::size_t mostQueries, std::size_t mostBytes, std::size_t size);
    void begin(const std::shared_ptr<Waiter>& waiter, std::size_t bytes);
    // Ends the wait of `waiter`, whose answer came; the caller holds a reference.
    void end(Waiter& waiter);

    std::size_t count() const { return count_; }
    std::size_t bytes() const { return bytes_; }
    // The waits of every set of the process; any thread.
    static std::size_t countEverywhere();

private:
    struct Wait {
        std::chrono::steady_clock::time_point deadline;
        std::weak_ptr<Waiter> waiter;
    };
    void expire(Waiter& waiter);
    void arm();
    void expireDue();

    dispatch::Duration wait_;
    std::deque<Wait> waits_;  // in deadline order; answered ones stay until they reach the front
    std::size_t count_ = 0;   // waiters still waiting
    std::size_t bytes_ = 0;   // and the octets of their queries
    asio::steady_timer timer_;
    bool armed_ = false;
    std::chrono::steady_clock::time_point lastExpiry_;
    std::shared_ptr<AnswerWaits*> alive_;  // the timer's handler reaches the set through it
};

// Bounds of every road that sends queries over UDP and waits for their answers.
inline constexpr std::uint16_t dnsPort = 53;
inline constexpr std::chrono::seconds answerWait{2};  // for a query's first answer
inline constexpr std::size_t mostQueryBytesInFlight = 16 << 20;

// How many descriptors the process may spend on the UDP sockets of queries, on every
// road together: all that its limit allows but a reserve for the listener, the HTTPS
// connections and the rest.
std::size_t queryDescriptorBudget();

}  // namespace net
