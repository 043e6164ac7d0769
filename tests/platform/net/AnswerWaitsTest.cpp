// Waits for first answers, on the main queue.

#include "net/AnswerWaits.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

// A set let go of by a task that runs after its timer has expired, and before that
// timer's handler, which can no longer be cancelled then: the handler touches nothing
// (AddressSanitizer tells a use after free).
TEST(AnswerWaits, SetGoneBetweenItsTimerExpiringAndItsHandlerIsNotTouched) {
    auto& main = dispatch::DispatchQueue::main();
    auto waits = std::make_unique<net::AnswerWaits>(main, 10ms);
    auto waiter = std::make_shared<net::AnswerWaits::Waiter>();
    waits->begin(waiter, 1);
    main.async([&] {
        std::this_thread::sleep_for(50ms);  // the deadline passes meanwhile
        // Queued now, so it runs before the handler of the timer the loop finds expired next.
        main.async([&] { waits.reset(); });
    });
    dispatch::runMainUntil([&] { return !waits; }, 5s);
    dispatch::runMainFor(50ms);
    EXPECT_FALSE(waits);
    EXPECT_FALSE(waiter->awaitingAnswer());
}
