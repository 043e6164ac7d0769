#include "ui/Controls.h"

#include "graphics/Context.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// Images may be rendered on any thread (each has its own current context): text laid
// out and drawn on several threads at once comes out as it does on one.
TEST(Text, LaidOutAndDrawnOnSeveralThreadsAtOnceAsOnOne) {
    const std::vector<std::string> texts = {"Brimvale", "Protected by your school", "Größe 12345",
                                            "a longer line of text that has to wrap within the width"};
    std::vector<ui::Size> alone;
    for (const auto& text : texts) alone.push_back(ui::measureText(text, nullptr, 120, 0));

    std::atomic<int> different{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 10; ++round) {
                for (std::size_t i = 0; i < texts.size(); ++i) {
                    auto label = std::make_shared<ui::Label>(ui::Rect{0, 0, 120, 80});
                    label->setNumberOfLines(0);
                    label->setText(texts[i]);
                    gfx::ImageContextScope scope({120, 80}, false, 1);
                    label->render(*gfx::currentContext());
                    if (ui::measureText(texts[i], nullptr, 120, 0) != alone[i]) ++different;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(different, 0);
    for (const auto& size : alone) EXPECT_GT(size.width, 0);
}

}  // namespace
