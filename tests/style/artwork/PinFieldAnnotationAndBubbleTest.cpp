// The PIN field, the map annotation and the speech bubble: ops, placement for
// each resizing behaviour, and pixels.

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

// The fitted card casting its shadow, then three dividers without one.
std::string pinFieldOps(const std::string& fit, const std::string& shadow) {
    return "save, " + fit + ", save, shadow 0.13 " + shadow + ", fill whiteColor, restore, " +
           "stroke grey2 0.5, stroke grey2 0.5, stroke grey2 0.5, restore";
}

std::vector<gfx::Rect> pinFieldPainted(double x, double sx, double sy) {
    return {{x + 2 * sx, sy, 280 * sx, 60 * sy}, {x + 72 * sx, sy, 0, 60 * sy}, {x + 142 * sx, sy, 0, 60 * sy},
            {x + 212 * sx, sy, 0, 60 * sy}};
}

TEST(PinFieldAnnotationAndBubble, OpsPlacementAndStateLeftBehind) {
    const std::string unscaled = pinFieldOps("identity, identity", "0 1 1");
    const std::string doubled = pinFieldOps("identity, scale 2 2", "0 2 2");
    const std::string centred = pinFieldOps("translate 142 0, identity", "0 1 1");
    const std::string stretched = pinFieldOps("identity, scale 2 1", "0 1 1");  // the shadow follows the smaller factor
    const std::string filled = pinFieldOps("translate -142 0, scale 2 2", "0 2 2");
    const std::string annotation =
        "save, identity, identity, save, shadow 0.13 0 0 2, fill whiteColor, restore, fill bvBlue, restore";
    const std::string annotationDoubled =
        "save, identity, scale 2 2, save, shadow 0.13 0 0 4, fill whiteColor, restore, fill bvBlue, restore";
    const char* bubble = "fill bvBlue, fill bvBlue";
    const char* black = "blackColor";
    const std::vector<WidgetRow> rows = {
        {pinField, {0, 0, 284, 64}, 0, 2, 0, unscaled.c_str(), pinFieldPainted(0, 1, 1), black, black},
        {pinField, {0, 0, 0, 0}, 0, 1, 0, unscaled.c_str(), pinFieldPainted(0, 1, 1), black, black},
        {pinField, {0, 0, 568, 128}, 0, 0, 0, doubled.c_str(), pinFieldPainted(0, 2, 2), black, black},
        {pinField, {0, 0, 568, 64}, 0, 0, 0, centred.c_str(), pinFieldPainted(142, 1, 1), black, black},
        {pinField, {0, 0, 568, 64}, 0, 2, 0, stretched.c_str(), pinFieldPainted(0, 2, 1), black, black},
        {pinField, {0, 0, 284, 128}, 0, 1, 0, filled.c_str(), pinFieldPainted(-142, 2, 2), black, black},
        {mapAnnotation, {0, 0, 38, 38}, 0, 0, 0, annotation.c_str(), {{1, 1, 36, 36}, {3, 3, 32, 32}}, black, black},
        {mapAnnotation, {0, 0, 76, 76}, 0, 0, 0, annotationDoubled.c_str(), {{2, 2, 72, 72}, {6, 6, 64, 64}}, black,
         black},
        // The bubble saves nothing and leaves its blue as the fill colour.
        {speechBubble, {0, 0, 100, 60}, 0, 0, 0, bubble, {{-0.44, 0, 23.44, 20}, {12, 0, 88, 60}}, "bvBlue", black},
        {speechBubble, {110.4, 10, -100.4, 60.6}, 0, 0, 0, bubble, {{9.56, 10, 23.44, 20}, {22, 10, 88, 61}}, "bvBlue",
         black},
    };
    for (const WidgetRow& row : rows) checkWidgetRow(row);

    // The tail is the one outline drawn point by point.
    const Recording rec = record(speechBubble, {0, 0, 100, 60});
    checkShape(rec.fills.at(0), {"bvBlue", "3+0c", {-0.0044, 0, 0.23, 0.33}}, {0, 0, 100, 60}, "tail");
    EXPECT_EQ(rec.fills[0].path.elements().front().points[0], (gfx::Point{23, 20}));

    // A raw resizing value outside 0...3 reaches the body as aspectFit.
    for (const char* message : {pinField, mapAnnotation}) {
        const std::string aspectFit = opsLine(record(message, {0, 0, 568, 200}, 0, 0));
        EXPECT_EQ(opsLine(record(message, {0, 0, 568, 200}, 0, 7)), aspectFit);
        EXPECT_NE(opsLine(record(message, {0, 0, 568, 200}, 0, 1)), aspectFit);
    }
}

TEST(PinFieldAnnotationAndBubble, Pixels) {
    const gfx::ColorRef white = gfx::Color::whiteColor(), blue = StyleKit::bvBlue();
    checkProbes(pinField, {284, 64}, 0, 0, 0, {{37, 31, white}, {247, 31, white}, {0.5, 31, nullptr}});
    checkProbes(mapAnnotation, {38, 38}, 0, 0, 0, {{19, 19, blue}, {19, 2.2, white}, {35.1, 19, white}});
    checkProbes(speechBubble, {100, 60}, 0, 0, 0, {{50, 30, blue}, {5, 1, blue}, {5, 10, nullptr}, {5, 50, nullptr}});
    for (double scale : {1.0, 2.0, 3.0}) {
        // The card's shadow falls downward; the annotation's halo is even all round.
        const gfx::ImageRef field = renderInFrame(pinField, {284, 64}, {0, 0, 284, 64}, scale);
        EXPECT_GT(field->pixelAtPoint(142, 61.5).a, field->pixelAtPoint(142, 0.5).a + 10);
        EXPECT_LT(field->pixelAtPoint(72, 31).r, 250);  // a divider
        const gfx::ImageRef halo = renderInFrame(mapAnnotation, {38, 38}, {0, 0, 38, 38}, scale);
        EXPECT_GT(halo->pixelAtPoint(0.25, 19).a, 0);
        EXPECT_NEAR(halo->pixelAtPoint(0.25, 19).a, halo->pixelAtPoint(37.75, 19).a, 2);
        EXPECT_NEAR(halo->pixelAtPoint(19, 0.25).a, halo->pixelAtPoint(19, 37.75).a, 2);
    }
}

}  // namespace
