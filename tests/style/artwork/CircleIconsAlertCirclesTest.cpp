// The white exclamation disc, which draws no circle of its own and lets
// whatever lies beneath show through its mark, and the red cross, whose
// colour is derived from the palette's parametric colour.

#include <gtest/gtest.h>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

const char* const exclamation = "drawCircleIconExclamationWhiteWithFrame:";
const char* const cross = "drawCircleIconCrossRedWithFrame:";

TEST(CircleIconsAlertCircles, ExclamationDiscIsOneFill) {
    const gfx::Rect frame{0, 0, 100, 100};
    const Recording rec = record(exclamation, frame);
    EXPECT_EQ(rec.otherOps, 0);
    ASSERT_EQ(rec.fills.size(), 1u);
    checkShape(rec.fills[0], {"whiteColor", "4+0a 1+4a 0+5c", {0, 0, 1, 1}}, frame, "disc");
    EXPECT_EQ(colorName(rec.finalFillColor), "whiteColor");
    checkImageRenderer(exclamation);

    // The disc spans exactly the group rectangle.
    const gfx::Rect disc = record(exclamation, {10.25, 20.75, 31.5, 30.4}).fills.at(0).path.controlPointBounds();
    EXPECT_EQ(disc, (gfx::Rect{10.25, 20.75, 32, 30}));
}

TEST(CircleIconsAlertCircles, ExclamationMarkShowsWhatLiesBeneath) {
    // Into an empty image the bar and dot stay transparent.
    checkPixelProbes({{exclamation, 0, 50, 30, nullptr},
                      {exclamation, 0, 50, 73, nullptr},
                      {exclamation, 0, 50, 62.5, "whiteColor"},
                      {exclamation, 0, 20, 50, "whiteColor"}});
    // Over a blue area they show the blue.
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE(scale);
        gfx::ImageContextScope scope({100, 100}, false, scale);
        gfx::currentContext()->setFillColor(StyleKit::bvBlue());
        gfx::currentContext()->fillRect({0, 0, 100, 100});
        StyleKit::perform(exclamation, {0, 0, 100, 100});
        const gfx::ImageRef overBlue = scope.image();
        EXPECT_TRUE(pixelIs(overBlue, 50, 30, StyleKit::bvBlue()));
        EXPECT_TRUE(pixelIs(overBlue, 50, 73, StyleKit::bvBlue()));
        EXPECT_TRUE(pixelIs(overBlue, 20, 50, gfx::Color::whiteColor()));
    }
}

TEST(CircleIconsAlertCircles, CrossIsAGreyMadeFromTheParametricColour) {
    checkCircleIconRow({cross, "red", nullptr, {{"other", "16+8a", {0.3125, 0.3125, 0.6969, 0.6970}}}});
    checkImageRenderer(cross);
    // The arm ends' curves reach the stated extents and no further.
    const Bounds b = analyse(record(cross, {0, 0, 1, 1}).fills.at(1).path).bounds;
    EXPECT_NEAR(b.minX, 0.3125, 0.00005);
    EXPECT_NEAR(b.maxX, 0.6969, 0.00005);
    EXPECT_NEAR(b.minY, 0.3125, 0.00005);
    EXPECT_NEAR(b.maxY, 0.697, 0.0005);

    // The palette's parametric colour is pure red: without its saturation,
    // white. The colour is made afresh at each call, apart from both whites.
    const Recording first = record(cross, {0, 0, 100, 100});
    const Recording second = record(cross, {0, 0, 100, 100});
    ASSERT_EQ(first.fills.size(), 2u);
    ASSERT_EQ(second.fills.size(), 2u);
    const gfx::RGBA c = first.fills[1].color->rgba();
    EXPECT_NEAR(c.red, 1, 1e-12);
    EXPECT_NEAR(c.green, 1, 1e-12);
    EXPECT_NEAR(c.blue, 1, 1e-12);
    EXPECT_NEAR(c.alpha, 1, 1e-12);
    EXPECT_NE(first.fills[1].color, second.fills[1].color);
    checkPixelProbes({{cross, 0, 35, 35, "whiteColor"}, {cross, 0, 50, 33, "red"}});  // an arm; between arms
}

}  // namespace
