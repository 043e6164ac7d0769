#include "net/AnswerWaits.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <optional>

namespace net {

namespace {

// Under load the timer wakes at most this often; a wait may thus last this much longer.
constexpr auto kTick = std::chrono::milliseconds(100);
// At the limits a new query takes the place of the oldest once that has waited this long.
constexpr auto kJostleAfter = std::chrono::milliseconds(200);

// Descriptors kept for everything but the queries' sockets; a low limit keeps half.
constexpr rlim_t kReservedDescriptors = 256;
constexpr std::size_t kMostQueryDescriptors = 10000;

// Waits of every set: the roads may run on different queues.
std::atomic<std::size_t> waitsEverywhere{0};

}  // namespace

AnswerWaits::AnswerWaits(dispatch::DispatchQueue& queue, dispatch::Duration wait)
    : wait_(wait), timer_(queue.context()), alive_(std::make_shared<AnswerWaits*>(this)) {}

AnswerWaits::~AnswerWaits() {
    waitsEverywhere -= count_;
    for (auto& wait : waits_)
        if (auto waiter = wait.waiter.lock()) waiter->self_.reset();
}

bool AnswerWaits::makeRoom(std::size_t mostQueries, std::size_t mostBytes, std::size_t size) {
    std::optional<std::chrono::steady_clock::time_point> now;
    while (waitsEverywhere >= mostQueries || bytes_ + size > mostBytes) {
        if (waits_.empty()) return false;
        auto waiter = waits_.front().waiter.lock();
        if (waiter && waiter->awaitingAnswer()) {
            if (!now) now = std::chrono::steady_clock::now();
            if (waits_.front().deadline - wait_ + kJostleAfter > *now) return false;
        }
        waits_.pop_front();
        if (waiter) expire(*waiter);
    }
    return true;
}

void AnswerWaits::begin(const std::shared_ptr<Waiter>& waiter, std::size_t bytes) {
    waiter->self_ = waiter;
    waiter->bytes_ = bytes;
    ++count_;
    ++waitsEverywhere;
    bytes_ += bytes;
    waits_.push_back({std::chrono::steady_clock::now() + wait_, waiter});
    arm();
}

void AnswerWaits::end(Waiter& waiter) {
    if (!waiter.self_) return;
    --count_;
    --waitsEverywhere;
    bytes_ -= waiter.bytes_;
    waiter.self_.reset();
    if (count_ > 0) return;
    // Nothing waits: the timer has nothing to wake for.
    waits_.clear();
    if (armed_) timer_.cancel();
    armed_ = false;
}

void AnswerWaits::expire(Waiter& waiter) {
    if (!waiter.self_) return;
    auto keep = waiter.self_;
    end(waiter);
    waiter.waitEnded();
}

void AnswerWaits::arm() {
    if (armed_ || waits_.empty()) return;
    armed_ = true;
    timer_.expires_at(std::max(waits_.front().deadline, lastExpiry_ + kTick));
    // An expired wait may already be queued when the set goes: it cannot be cancelled
    // then, so it reaches the set only through a reference that goes with the set.
    timer_.async_wait([set = std::weak_ptr<AnswerWaits*>(alive_)](const std::error_code& error) {
        auto waits = set.lock();
        if (error || !waits) return;
        (*waits)->armed_ = false;
        (*waits)->expireDue();
    });
}

void AnswerWaits::expireDue() {
    const auto now = std::chrono::steady_clock::now();
    lastExpiry_ = now;
    while (!waits_.empty()) {
        auto& front = waits_.front();
        auto waiter = front.waiter.lock();
        if (waiter && waiter->awaitingAnswer()) {
            if (front.deadline > now) break;
            waits_.pop_front();
            expire(*waiter);
            continue;
        }
        waits_.pop_front();
    }
    arm();
}

std::size_t AnswerWaits::countEverywhere() { return waitsEverywhere; }

std::size_t queryDescriptorBudget() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kMostQueryDescriptors;
    const rlim_t reserved = std::min(kReservedDescriptors, limit.rlim_cur / 2);
    return static_cast<std::size_t>(std::min<rlim_t>(limit.rlim_cur - reserved, kMostQueryDescriptors));
}

}  // namespace net
