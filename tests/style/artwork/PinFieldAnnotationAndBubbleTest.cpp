// The PIN field, the map annotation and the speech bubble: what each draws in
// which order, where it lands for each resizing behaviour, and pixels of the
// rendered pictures.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr const char* pinField = "drawPinFieldWithFrame:resizing:";
constexpr const char* mapAnnotation = "drawMapAnnotationWithFrame:resizing:";
constexpr const char* speechBubble = "drawSpeechBubbleWithFrame:";

std::string pinFieldOps(const char* fit, const char* shadow) {
    return std::string("save, ") + fit + ", save, shadow 0.13 " + shadow +
           ", fill whiteColor, restore, stroke grey2 0.5, stroke grey2 0.5, stroke grey2 0.5, restore";
}

std::vector<gfx::Rect> pinFieldPainted(double x, double scaleX, double scaleY) {
    std::vector<gfx::Rect> painted{{x + 2 * scaleX, scaleY, 280 * scaleX, 60 * scaleY}};
    for (double divider : {72.0, 142.0, 212.0}) painted.push_back({x + divider * scaleX, scaleY, 0, 60 * scaleY});
    return painted;
}

TEST(PinFieldAnnotationAndBubble, OpsBoundsAndStateLeftBehind) {
    const std::string designSize = pinFieldOps("identity, identity", "0 1 1");
    const std::string doubled = pinFieldOps("identity, scale 2 2", "0 2 2");
    const std::string centred = pinFieldOps("translate 142 0, identity", "0 1 1");
    const std::string stretched = pinFieldOps("identity, scale 2 1", "0 1 1");
    const std::string filled = pinFieldOps("translate -142 0, scale 2 2", "0 2 2");
    const char* annotation = "save, identity, identity, save, shadow 0.13 0 0 2, fill whiteColor, restore, "
                             "fill bvBlue, restore";
    const std::vector<WidgetRow> rows = {
        // A frame equal to the design, or the zero rectangle, draws at design size.
        {pinField, {0, 0, 284, 64}, 0, 2, 0, designSize.c_str(), pinFieldPainted(0, 1, 1), "blackColor", "blackColor"},
        {pinField, {0, 0, 0, 0}, 0, 1, 0, designSize.c_str(), pinFieldPainted(0, 1, 1), "blackColor", "blackColor"},
        {pinField, {0, 0, 568, 128}, 0, 0, 0, doubled.c_str(), pinFieldPainted(0, 2, 2), "blackColor", "blackColor"},
        {pinField, {0, 0, 568, 64}, 0, 0, 0, centred.c_str(), pinFieldPainted(142, 1, 1), "blackColor", "blackColor"},
        // Stretched twice as wide, the shadow follows the smaller factor.
        {pinField, {0, 0, 568, 64}, 0, 2, 0, stretched.c_str(), pinFieldPainted(0, 2, 1), "blackColor", "blackColor"},
        {pinField, {0, 0, 284, 128}, 0, 1, 0, filled.c_str(), pinFieldPainted(-142, 2, 2), "blackColor", "blackColor"},
        {mapAnnotation, {0, 0, 38, 38}, 0, 0, 0, annotation, {{1, 1, 36, 36}, {3, 3, 32, 32}}, "blackColor",
         "blackColor"},
        {mapAnnotation, {0, 0, 76, 76}, 0, 0, 0,
         "save, identity, scale 2 2, save, shadow 0.13 0 0 4, fill whiteColor, restore, fill bvBlue, restore",
         {{2, 2, 72, 72}, {6, 6, 64, 64}}, "blackColor", "blackColor"},
        {mapAnnotation, {0, 0, 76, 76}, 0, 3, 0,
         "save, translate 19 19, identity, save, shadow 0.13 0 0 2, fill whiteColor, restore, fill bvBlue, restore",
         {{20, 20, 36, 36}, {22, 22, 32, 32}}, "blackColor", "blackColor"},
        // The bubble saves nothing and leaves its blue as the fill colour.
        {speechBubble, {0, 0, 100, 60}, 0, 0, 0, "fill bvBlue, fill bvBlue", {{-0.44, 0, 23.44, 20}, {12, 0, 88, 60}},
         "bvBlue", "blackColor"},
        {speechBubble, {100, 0, -100, 60}, 0, 0, 0, "fill bvBlue, fill bvBlue",
         {{-0.44, 0, 23.44, 20}, {12, 0, 88, 60}}, "bvBlue", "blackColor"},
        {speechBubble, {10, 10, 100.4, 60.6}, 0, 0, 0, "fill bvBlue, fill bvBlue",
         {{9.56, 10, 23.44, 20}, {22, 10, 88, 61}}, "bvBlue", "blackColor"},
    };
    for (const WidgetRow& row : rows) checkWidgetRow(row);
}

TEST(PinFieldAnnotationAndBubble, OutlinesRunClockwiseWithoutCrossing) {
    const Recording field = record(pinField, {0, 0, 284, 64});
    ASSERT_EQ(field.fills.size(), 1u);
    checkShape(field.fills[0], {"whiteColor", "4+4c", {0.01, 0.02, 0.99, 0.95}}, {0, 0, 284, 64}, "card");

    const Recording annotation = record(mapAnnotation, {0, 0, 38, 38});
    ASSERT_EQ(annotation.fills.size(), 2u);
    checkShape(annotation.fills[0], {"whiteColor", "0+4c", {0.03, 0.03, 0.97, 0.97}}, {0, 0, 38, 38}, "ring");
    checkShape(annotation.fills[1], {"bvBlue", "0+4c", {0.08, 0.08, 0.92, 0.92}}, {0, 0, 38, 38}, "disc");

    const Recording bubble = record(speechBubble, {0, 0, 100, 60});
    ASSERT_EQ(bubble.fills.size(), 2u);
    checkShape(bubble.fills[0], {"bvBlue", "3+0c", {-0.0044, 0, 0.23, 0.33}}, {0, 0, 100, 60}, "tail");
    checkShape(bubble.fills[1], {"bvBlue", "4+4c", {0.12, 0, 1, 1}}, {0, 0, 100, 60}, "body");
    EXPECT_EQ(bubble.fills[0].path.elements().front().points[0], (gfx::Point{23, 20}));
}

TEST(PinFieldAnnotationAndBubble, DividersAreHalfADesignPointWide) {
    for (double scale : {1.0, 2.0}) {
        const Recording rec = record(pinField, {0, 0, 284 * scale, 64 * scale});
        for (const gfx::RecordedOp& op : rec.ops) {
            if (op.kind == gfx::RecordedOp::Kind::stroke) {
                EXPECT_EQ(op.path.lineWidth * op.state.ctm.a, 0.5 * scale);
            }
        }
    }
}

TEST(PinFieldAnnotationAndBubble, ResizingValuesOutsideTheFourFitByAspect) {
    for (const char* message : {pinField, mapAnnotation}) {
        SCOPED_TRACE(message);
        const gfx::Rect frame{0, 0, 568, 200};
        const std::string aspectFit = opsLine(record(message, frame, 0, 0));
        EXPECT_EQ(opsLine(record(message, frame, 0, 7)), aspectFit);
        EXPECT_EQ(opsLine(record(message, frame, 0, -1)), aspectFit);
        EXPECT_NE(opsLine(record(message, frame, 0, 1)), aspectFit);
    }
}

TEST(PinFieldAnnotationAndBubble, Pixels) {
    const gfx::ColorRef white = gfx::Color::whiteColor();
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef field = render(pinField, {284, 64}, 0, scale);
        EXPECT_TRUE(pixelIs(field, 37, 31, white));   // first cell
        EXPECT_TRUE(pixelIs(field, 247, 31, white));  // last cell
        EXPECT_LT(field->pixelAtPoint(72, 31).r, 250);  // the divider's grey
        EXPECT_EQ(field->pixelAtPoint(72, 31).a, 255);
        // The shadow falls below the card, not above it.
        EXPECT_GT(field->pixelAtPoint(142, 61.5).a, field->pixelAtPoint(142, 0.5).a);
        EXPECT_EQ(field->pixelAtPoint(142, 61.5).r, 0);

        const gfx::ImageRef annotation = render(mapAnnotation, {38, 38}, 0, scale);
        EXPECT_TRUE(pixelIs(annotation, 19, 19, StyleKit::bvBlue()));
        EXPECT_TRUE(pixelIs(annotation, 19, 2.2, white));  // the white ring, 2 wide
        EXPECT_TRUE(pixelIs(annotation, 35.1, 19, white));
        // An even halo: as dark left as right, above as below.
        EXPECT_GT(annotation->pixelAtPoint(0.25, 19).a, 0);
        EXPECT_NEAR(annotation->pixelAtPoint(0.25, 19).a, annotation->pixelAtPoint(37.75, 19).a, 2);
        EXPECT_NEAR(annotation->pixelAtPoint(19, 0.25).a, annotation->pixelAtPoint(19, 37.75).a, 2);

        const gfx::ImageRef bubble = render(speechBubble, {100, 60}, 0, scale);
        EXPECT_TRUE(pixelIs(bubble, 50, 30, StyleKit::bvBlue()));
        EXPECT_TRUE(pixelIs(bubble, 5, 1, StyleKit::bvBlue()));  // inside the pointer
        EXPECT_EQ(bubble->pixelAtPoint(5, 10).a, 0);             // below its slanted edge
        EXPECT_EQ(bubble->pixelAtPoint(5, 50).a, 0);             // the free strip on the left
    }
}

}  // namespace
