// The dark gradients: one clipped linear gradient from clear to black, its
// direction chosen by the entry, and the shading it paints.

#include <gtest/gtest.h>

#include <string>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr const char* up = "drawDarkGradientUpWithFrame:";
constexpr const char* down = "drawDarkGradientDownWithFrame:";

gfx::RecordedOp only(const Recording& rec, gfx::RecordedOp::Kind kind) {
    gfx::RecordedOp found{};
    int count = 0;
    for (const gfx::RecordedOp& op : rec.ops)
        if (op.kind == kind) {
            found = op;
            ++count;
        }
    EXPECT_EQ(count, 1) << gfx::kindName(kind);
    return found;
}

TEST(DarkGradients, OpsAndStateLeftBehind) {
    const char* ops = "save, clip, gradient rgba(0,0,0,0) blackColor, restore";
    for (const char* message : {up, down})
        for (const gfx::Rect& frame : {gfx::Rect{0, 0, 100, 40}, gfx::Rect{5.5, 3, 100.4, 40.6}})
            checkWidgetRow({message, frame, 0, 0, 0, ops, {}, "blackColor", "blackColor"});
}

TEST(DarkGradients, UpAndDownRunOppositeWaysOverTheSnappedFrame) {
    struct Case {
        const char* message;
        gfx::Rect frame;
        gfx::Rect clip;
        gfx::Point start, end;
    };
    for (const Case& c : {
             Case{up, {0, 0, 100, 40}, {0, 0, 100, 40}, {50, 0}, {50, 40}},
             Case{down, {0, 0, 100, 40}, {0, 0, 100, 40}, {50, 40}, {50, 0}},
             // Origin kept, size snapped: 100.4 x 40.6 paints 100 x 41.
             Case{up, {0, 0, 100.4, 40.6}, {0, 0, 100, 41}, {50, 0}, {50, 41}},
             Case{down, {7.25, 2.5, 100.4, 40.6}, {7.25, 2.5, 100, 41}, {57.25, 43.5}, {57.25, 2.5}},
             Case{up, {100, 40, -100, -40}, {0, 0, 100, 40}, {50, 0}, {50, 40}},
         }) {
        SCOPED_TRACE(c.message);
        const Recording rec = record(c.message, c.frame);
        const gfx::RecordedOp clip = only(rec, gfx::RecordedOp::Kind::clip);
        EXPECT_EQ(clip.path.elements(), gfx::BezierPath::rect(c.clip).elements());
        const gfx::RecordedOp gradient = only(rec, gfx::RecordedOp::Kind::gradient);
        EXPECT_EQ(gradient.start, c.start);
        EXPECT_EQ(gradient.end, c.end);
        EXPECT_EQ(gradient.gradientLocations, (std::vector<double>{0, 1}));
        EXPECT_EQ(gradient.gradientOptions, 0u);  // nothing beyond the two edges
    }
}

TEST(DarkGradients, Pixels) {
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        // Drawn into (10, 10, 100, 40) of a larger image, so the outside shows too.
        const gfx::ImageRef upImage = renderInFrame(up, {120, 60}, {10, 10, 100, 40}, scale);
        const gfx::ImageRef downImage = renderInFrame(down, {120, 60}, {10, 10, 100, 40}, scale);
        auto alpha = [](const gfx::ImageRef& image, double y) { return image->pixelAtPoint(60, y).a; };
        EXPECT_LE(alpha(upImage, 10.1), 8);  // transparent at the top
        EXPECT_NEAR(alpha(upImage, 30), 128, 8);
        EXPECT_GE(alpha(upImage, 49.9), 247);  // opaque at the bottom
        EXPECT_GE(alpha(downImage, 10.1), 247);
        EXPECT_NEAR(alpha(downImage, 30), 128, 8);
        EXPECT_LE(alpha(downImage, 49.9), 8);
        // Black all the way: the transparent end does not lighten the middle.
        const gfx::Pixel middle = upImage->pixelAtPoint(60, 30);
        EXPECT_LE(middle.r + middle.g + middle.b, 6);
        // The same shade along a line, and nothing outside the frame.
        EXPECT_EQ(upImage->pixelAtPoint(11, 30), upImage->pixelAtPoint(108, 30));
        for (const gfx::Point p : {gfx::Point{5, 49}, gfx::Point{115, 49}, gfx::Point{60, 55}, gfx::Point{60, 5}}) {
            EXPECT_EQ(upImage->pixelAtPoint(p.x, p.y).a, 0);
            EXPECT_EQ(downImage->pixelAtPoint(p.x, p.y).a, 0);
        }
        // A height that snaps to 0 paints nothing.
        const gfx::ImageRef flat = renderInFrame(up, {120, 60}, {10, 10, 100, 0.4}, scale);
        for (int y = 0; y < flat->pixelHeight(); ++y) ASSERT_EQ(flat->pixel(60 * int(scale), y).a, 0);
    }
}

}  // namespace
