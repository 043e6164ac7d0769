// The dark gradients: one clipped linear gradient whose direction the entry
// chooses, and the shading it paints.

#include <gtest/gtest.h>

#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

constexpr const char* up = "drawDarkGradientUpWithFrame:";
constexpr const char* down = "drawDarkGradientDownWithFrame:";

TEST(DarkGradients, ClippedToTheSnappedFrameRunningUpOrDown) {
    struct Case {
        const char* message;
        gfx::Rect frame, clip;
        double startY, endY;
    };
    for (const Case& c : {Case{up, {0, 0, 100, 40}, {0, 0, 100, 40}, 0, 40},
                          Case{down, {0, 0, 100, 40}, {0, 0, 100, 40}, 40, 0},
                          Case{down, {7.25, 2.5, 100.4, 40.6}, {7.25, 2.5, 100, 41}, 43.5, 2.5},  // size snapped
                          Case{up, {100, 40, -100, -40}, {0, 0, 100, 40}, 0, 40}}) {
        checkWidgetRow({c.message, c.frame, 0, 0, 0, "save, clip, gradient clearColor blackColor, restore", {},
                        "blackColor", "blackColor"});
        const Recording rec = record(c.message, c.frame);
        EXPECT_EQ(rec.ops.at(1).path.elements(), gfx::BezierPath::rect(c.clip).elements());
        const gfx::RecordedOp& gradient = rec.ops.at(2);
        EXPECT_EQ(gradient.start, (gfx::Point{c.clip.midX(), c.startY}));
        EXPECT_EQ(gradient.end, (gfx::Point{c.clip.midX(), c.endY}));
        EXPECT_EQ(gradient.gradientLocations, (std::vector<double>{0, 1}));
        EXPECT_EQ(gradient.gradientOptions, 0u);  // nothing beyond the two edges
    }
}

TEST(DarkGradients, Pixels) {
    for (double scale : {1.0, 2.0, 3.0}) {
        // Drawn into (10, 10, 100, 40) of a larger image, so the outside shows too.
        const gfx::ImageRef upImage = renderInFrame(up, {120, 60}, {10, 10, 100, 40}, scale);
        const gfx::ImageRef downImage = renderInFrame(down, {120, 60}, {10, 10, 100, 40}, scale);
        EXPECT_LE(upImage->pixelAtPoint(60, 10.1).a, 8);
        EXPECT_NEAR(upImage->pixelAtPoint(60, 30).a, 128, 8);
        EXPECT_GE(upImage->pixelAtPoint(60, 49.9).a, 247);
        EXPECT_GE(downImage->pixelAtPoint(60, 10.1).a, 247);
        EXPECT_LE(downImage->pixelAtPoint(60, 49.9).a, 8);
        // Black throughout: the transparent end does not grey the middle.
        EXPECT_EQ(upImage->pixelAtPoint(60, 30).r, 0);
        EXPECT_EQ(upImage->pixelAtPoint(11, 30), upImage->pixelAtPoint(108, 30));
        for (const gfx::Point p : {gfx::Point{5, 49}, gfx::Point{115, 49}, gfx::Point{60, 55}, gfx::Point{60, 5}})
            EXPECT_EQ(upImage->pixelAtPoint(p.x, p.y).a + downImage->pixelAtPoint(p.x, p.y).a, 0);
        // A height that snaps to 0 paints nothing.
        const gfx::ImageRef flat = renderInFrame(up, {120, 60}, {10, 10, 100, 0.4}, scale);
        for (int y = 0; y < flat->pixelHeight(); ++y) ASSERT_EQ(flat->pixel(int(60 * scale), y).a, 0);
    }
}

}  // namespace
