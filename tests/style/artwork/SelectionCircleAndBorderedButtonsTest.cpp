// The selection circle and the two halves of the bordered button: their ops
// and bounds for each value of the flag, their outlines, and pixels.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr const char* selection = "drawSelectionCircleWithFrame:selected:";
constexpr const char* top = "drawBorderedButtonTopWithFrame:highlighted:";
constexpr const char* bottom = "drawBorderedButtonBottomWithFrame:highlighted:";

TEST(SelectionCircleAndBorderedButtons, OpsBoundsAndStateLeftBehind) {
    const char* resting = "save, shadow 0.13 0 1 1, fill white, restore";
    const char* pressed = "save, fill grey1, restore";
    const std::string restingTop = resting + std::string(", fill grey1");
    const std::string pressedTop = pressed + std::string(", fill grey1");
    std::vector<WidgetRow> rows;
    for (long flag : {0L, 1L, 2L, 3L}) {  // only the lowest bit counts
        const bool set = flag & 1;
        rows.push_back({selection, {0, 0, 60, 60}, flag, 0, 0, set ? "fill bvBlue" : "stroke grey3 1", {{3, 3, 54, 54}},
                        set ? "bvBlue" : "blackColor", set ? "blackColor" : "grey3"});
        // Both edges of the group round halves up: not centred in a small frame.
        rows.push_back({selection, {0, 0, 10, 10}, flag, 0, 0, set ? "fill bvBlue" : "stroke grey3 1", {{1, 1, 9, 9}},
                        set ? "bvBlue" : "blackColor", set ? "blackColor" : "grey3"});
        // The separator is drawn whatever the state and leaves its grey set.
        rows.push_back({top, {0, 0, 240, 45}, flag, 0, 0, (set ? pressedTop : restingTop).c_str(),
                        {{20, 4, 200, 41}, {20, 44, 200, 1}}, "grey1", "blackColor"});
        rows.push_back({bottom, {0, 0, 240, 45}, flag, 0, 0, set ? pressed : resting, {{20, 0, 200, 41}}, "blackColor",
                        "blackColor"});
    }
    rows.push_back({top, {10.5, 5, 240, 45}, 0, 0, 0, restingTop.c_str(), {{30.5, 9, 200, 41}, {30.5, 49, 200, 1}},
                    "grey1", "blackColor"});
    rows.push_back({bottom, {240, 45, -240, -45}, 0, 0, 0, resting, {{20, 0, 200, 41}}, "blackColor", "blackColor"});
    for (const WidgetRow& row : rows) checkWidgetRow(row);
}

TEST(SelectionCircleAndBorderedButtons, OutlinesAndRoundedCorners) {
    const Recording circle = record(selection, {0, 0, 60, 60}, 1);
    ASSERT_EQ(circle.fills.size(), 1u);
    checkShape(circle.fills[0], {"bvBlue", "0+4c", {0.05, 0.05, 0.95, 0.95}}, {0, 0, 60, 60}, "disc");

    // Top half: the two top corners rounded by 5, the bottom ones square.
    const Recording topHalf = record(top, {0, 0, 240, 45});
    ASSERT_EQ(topHalf.fills.size(), 2u);
    EXPECT_EQ(topHalf.fills[0].path.elements(),
              gfx::BezierPath::roundedRect({20, 4, 200, 41}, gfx::topLeft | gfx::topRight, {5, 5}).elements());
    const Recording bottomHalf = record(bottom, {0, 0, 240, 45});
    ASSERT_EQ(bottomHalf.fills.size(), 1u);
    EXPECT_EQ(bottomHalf.fills[0].path.elements(),
              gfx::BezierPath::roundedRect({20, 0, 200, 41}, gfx::bottomLeft | gfx::bottomRight, {5, 5}).elements());
    for (const Fill* fill : {&topHalf.fills[0], &topHalf.fills[1], &bottomHalf.fills[0]}) {
        const PathShape shape = analyse(fill->path);
        ASSERT_EQ(shape.subpaths.size(), 1u);
        EXPECT_GT(shape.subpaths[0].signedArea, 0);
        EXPECT_EQ(shape.subpaths[0].selfCrossings, 0);
    }
    EXPECT_EQ(analyse(topHalf.fills[0].path).subpaths[0].counts(), std::pair(4, 2));
    EXPECT_EQ(analyse(bottomHalf.fills[0].path).subpaths[0].counts(), std::pair(3, 2));
}

TEST(SelectionCircleAndBorderedButtons, Pixels) {
    const gfx::ColorRef white = StyleKit::white(), grey1 = StyleKit::grey1();
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef disc = render(selection, {60, 60}, 1, scale);
        EXPECT_TRUE(pixelIs(disc, 30, 30, StyleKit::bvBlue()));
        EXPECT_TRUE(pixelIs(disc, 30, 4.2, StyleKit::bvBlue()));
        EXPECT_EQ(disc->pixelAtPoint(1, 1).a, 0);
        // Not selected: a grey line along the oval, nothing inside it.
        const gfx::ImageRef ring = render(selection, {60, 60}, 0, scale);
        EXPECT_EQ(ring->pixelAtPoint(30, 30).a, 0);
        EXPECT_GT(ring->pixelAtPoint(30, 3).a, 100);
        EXPECT_NEAR(ring->pixelAtPoint(30, 3).r, 0.514 * 255, 3);
        EXPECT_EQ(ring->pixelAtPoint(30, 5).a, 0);

        const gfx::ImageRef topImage = render(top, {240, 45}, 0, scale);
        EXPECT_TRUE(pixelIs(topImage, 120, 20, white));
        EXPECT_TRUE(pixelIs(topImage, 120, 44.5, grey1));  // the separator
        EXPECT_EQ(topImage->pixelAtPoint(10, 20).a, 0);    // the margins at the sides
        EXPECT_EQ(topImage->pixelAtPoint(120, 1).a, 0);    // and above
        EXPECT_EQ(topImage->pixelAtPoint(20.3, 4.3).a, 0); // outside the rounded corner
        EXPECT_TRUE(pixelIs(topImage, 20.3, 44.5, grey1)); // square at the bottom
        EXPECT_TRUE(pixelIs(render(top, {240, 45}, 1, scale), 120, 20, grey1));

        // Below the bottom half: the resting shadow, none when highlighted.
        const gfx::ImageRef bottomImage = render(bottom, {240, 45}, 0, scale);
        EXPECT_TRUE(pixelIs(bottomImage, 120, 20, white));
        EXPECT_GT(bottomImage->pixelAtPoint(120, 41.4).a, 0);
        EXPECT_EQ(bottomImage->pixelAtPoint(120, 41.4).r, 0);
        const gfx::ImageRef pressedImage = render(bottom, {240, 45}, 1, scale);
        EXPECT_TRUE(pixelIs(pressedImage, 120, 20, grey1));
        EXPECT_EQ(pressedImage->pixelAtPoint(120, 41.4).a, 0);
    }
}

}  // namespace
