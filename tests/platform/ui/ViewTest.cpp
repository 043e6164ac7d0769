#include "ui/View.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

void waitForAnimationsToEnd() {
    for (int i = 0; i < 300 && ui::animationsRunning(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(ui::animationsRunning());
}

// A frame begun while a fade runs and finished after it ended must be followed
// by one more: otherwise the screen keeps a half-faded picture.
TEST(FramePacer, OwesOneFrameAfterTheLastAnimationEnds) {
    waitForAnimationsToEnd();
    ui::FramePacer pacer;
    EXPECT_FALSE(pacer.frameOwed());

    auto view = std::make_shared<ui::View>();
    ui::View::animate(0.2, [&] { view->setAlpha(0); });
    EXPECT_TRUE(pacer.frameOwed());
    EXPECT_TRUE(pacer.beginFrame()) << "a frame drawn during the fade needs a follow-up";

    waitForAnimationsToEnd();
    EXPECT_TRUE(pacer.frameOwed()) << "the fade ended after the last frame began";
    EXPECT_FALSE(pacer.beginFrame()) << "this frame shows the final state";
    EXPECT_FALSE(pacer.frameOwed());
    EXPECT_EQ(view->presentationAlpha(), 0);
}

}  // namespace
