// The spinner discs and the two pulsing spinners: their ops, where each disc
// lands for a fraction and a resizing behaviour, the fractions that draw a
// disc under a singular transform, and pixels of the rendered pictures.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr const char* blueDisc = "drawSpinnerCircleBlueWithFrame:";
constexpr const char* lightDisc = "drawSpinnerCircleLightBlueWithFrame:";
constexpr const char* pulse = "drawSpinnerCircleAnimatableWithFrame:resizing:fraction:";
constexpr const char* smallPulse = "drawSpinnerCircleAnimatableSmallWithFrame:resizing:fraction:";

// The fitted design, then the light disc and the blue disc, each scaled about its centre.
std::string pulseOps(const std::string& fit, const std::string& light, const std::string& blue) {
    auto disc = [](const std::string& transform, const char* colour) {
        return "save, " + transform + (transform.ends_with("scale 0 0") ? "" : std::string(", fill ") + colour) +
               ", restore";
    };
    return "save, " + fit + ", " + disc(light, "bvBlueLight") + ", " + disc(blue, "bvBlue") + ", restore";
}

TEST(Spinners, OpsBoundsAndStateLeftBehind) {
    const std::string rest = pulseOps("identity, identity", "translate 15 15, identity", "translate 15 15, identity");
    const std::string half = pulseOps("identity, identity", "translate 15 15, scale 1.5 1.5",
                                      "translate 15 15, scale 0.5 0.5");
    const std::string end = pulseOps("identity, identity", "translate 15 15, scale 2 2", "translate 15 15, scale 0 0");
    const std::string beyond = pulseOps("identity, identity", "translate 15 15, scale 2.5 2.5",
                                        "translate 15 15, scale -0.5 -0.5");
    const std::string inside = pulseOps("identity, identity", "translate 15 15, scale 0.5 0.5",
                                        "translate 15 15, scale 1.5 1.5");
    const std::string wide = pulseOps("translate 15 0, identity", "translate 15 15, identity",
                                      "translate 15 15, identity");
    const std::string stretched = pulseOps("identity, scale 2 1", "translate 15 15, identity",
                                           "translate 15 15, identity");
    const std::string small = pulseOps("identity, identity", "translate 9 9, identity", "translate 9.07 8.93, identity");
    const std::vector<WidgetRow> rows = {
        // A disc keeps the frame's origin and snaps its size; its colour stays set.
        {blueDisc, {10.3, 0, 20.4, 20.6}, 0, 0, 0, "fill bvBlue", {{10.3, 0, 20, 21}}, "bvBlue", "blackColor"},
        {lightDisc, {10.3, 0, 20.4, 20.6}, 0, 0, 0, "fill bvBlueLight", {{10.3, 0, 20, 21}}, "bvBlueLight",
         "blackColor"},
        {blueDisc, {30.3, 0, -20.4, 20.6}, 0, 0, 0, "fill bvBlue", {{9.9, 0, 20, 21}}, "bvBlue", "blackColor"},
        // At rest the blue disc covers the light one; both discs set their colour in a saved state.
        {pulse, {0, 0, 30, 30}, 0, 0, 0, rest.c_str(), {{7.5, 7.5, 15, 15}, {7.5, 7.5, 15, 15}}, "blackColor",
         "blackColor"},
        {pulse, {0, 0, 30, 30}, 0, 0, 0.5, half.c_str(), {{3.75, 3.75, 22.5, 22.5}, {11.25, 11.25, 7.5, 7.5}},
         "blackColor", "blackColor"},
        // At 1 the light disc touches the four sides; the blue one is not drawn.
        {pulse, {0, 0, 30, 30}, 0, 0, 1, end.c_str(), {{0, 0, 30, 30}}, "blackColor", "blackColor"},
        // Nothing clamps the fraction: beyond 1 the blue disc comes back, mirrored.
        {pulse, {0, 0, 30, 30}, 0, 0, 1.5, beyond.c_str(), {{-3.75, -3.75, 37.5, 37.5}, {11.25, 11.25, 7.5, 7.5}},
         "blackColor", "blackColor"},
        {pulse, {0, 0, 30, 30}, 0, 0, -0.5, inside.c_str(), {{11.25, 11.25, 7.5, 7.5}, {3.75, 3.75, 22.5, 22.5}},
         "blackColor", "blackColor"},
        {pulse, {0, 0, 60, 30}, 0, 0, 0, wide.c_str(), {{22.5, 7.5, 15, 15}, {22.5, 7.5, 15, 15}}, "blackColor",
         "blackColor"},
        // Stretched, the discs become ellipses twice as wide as high.
        {pulse, {0, 0, 60, 30}, 0, 2, 0, stretched.c_str(), {{15, 7.5, 30, 15}, {15, 7.5, 30, 15}}, "blackColor",
         "blackColor"},
        // The small spinner's blue disc sits 0.07 right of and above the light one.
        {smallPulse, {0, 0, 18, 18}, 0, 0, 0, small.c_str(), {{4.5, 4.5, 9, 9}, {4.57, 4.43, 9, 9}}, "blackColor",
         "blackColor"},
    };
    for (const WidgetRow& row : rows) checkWidgetRow(row);
}

TEST(Spinners, DiscsAreOneOvalRunningClockwise) {
    for (const char* message : {blueDisc, lightDisc, pulse, smallPulse}) {
        const Recording rec = record(message, {0, 0, 30, 30});
        for (const Fill& fill : rec.fills) {
            const PathShape shape = analyse(fill.path);
            ASSERT_EQ(shape.subpaths.size(), 1u) << message;
            EXPECT_EQ(shape.subpaths[0].counts(), std::pair(0, 4)) << message;
            EXPECT_GT(shape.subpaths[0].signedArea, 0) << message;
            EXPECT_EQ(shape.subpaths[0].selfCrossings, 0) << message;
        }
    }
    // The two disc colours share one body: the same oval in a different colour.
    const Recording blue = record(blueDisc, {3, 4, 25.5, 20});
    const Recording light = record(lightDisc, {3, 4, 25.5, 20});
    ASSERT_EQ(blue.fills.size(), 1u);
    ASSERT_EQ(light.fills.size(), 1u);
    EXPECT_EQ(blue.fills[0].path.elements(), light.fills[0].path.elements());
}

TEST(Spinners, FractionsThatMakeADiscsTransformSingularDrawThatDiscNot) {
    // 1 scales the blue disc by 0, -1 the light one; a fraction that is not a
    // finite number leaves no transform invertible, so neither disc is drawn.
    // The saves and transforms still run and are all undone.
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    struct Case {
        double fraction;
        std::vector<std::string> drawn;
    };
    for (const char* message : {pulse, smallPulse}) {
        for (const Case& c : {Case{1, {"bvBlueLight"}}, Case{-1, {"bvBlue"}}, Case{nan, {}}, Case{inf, {}},
                              Case{-inf, {}}, Case{0.999, {"bvBlueLight", "bvBlue"}}}) {
            SCOPED_TRACE(std::string(message) + " fraction " + std::to_string(c.fraction));
            const Recording rec = record(message, {0, 0, 30, 30}, 0, 0, c.fraction);
            std::vector<std::string> drawn;
            for (const Fill& fill : rec.fills) drawn.push_back(colorName(fill.color));
            EXPECT_EQ(drawn, c.drawn);
            EXPECT_EQ(rec.finalSaveDepth, 0);
            EXPECT_EQ(rec.finalState.ctm, gfx::Transform{});
        }
    }
}

TEST(Spinners, ResizingValuesOutsideTheFourFitByAspect) {
    for (const char* message : {pulse, smallPulse}) {
        SCOPED_TRACE(message);
        const gfx::Rect frame{0, 0, 60, 30};
        const std::string aspectFit = opsLine(record(message, frame, 0, 0, 0.3));
        EXPECT_EQ(opsLine(record(message, frame, 0, 7, 0.3)), aspectFit);
        EXPECT_NE(opsLine(record(message, frame, 0, 2, 0.3)), aspectFit);
    }
}

TEST(Spinners, Pixels) {
    const gfx::ColorRef blue = StyleKit::bvBlue(), light = StyleKit::bvBlueLight();
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef disc = render(blueDisc, {20, 20}, 0, scale);
        EXPECT_TRUE(pixelIs(disc, 10, 10, blue));
        EXPECT_EQ(disc->pixelAtPoint(0.5, 0.5).a, 0);
        EXPECT_TRUE(pixelIs(render(lightDisc, {20, 20}, 0, scale), 10, 10, light));

        const gfx::Size size{30, 30};
        const gfx::Rect frame{0, 0, 30, 30};
        const gfx::ImageRef rest = renderInFrame(pulse, size, frame, scale, 0, 0, 0);
        EXPECT_TRUE(pixelIs(rest, 15, 15, blue));
        EXPECT_TRUE(pixelIs(rest, 8, 15, blue));  // the light disc lies wholly under the blue one
        EXPECT_EQ(rest->pixelAtPoint(15, 6).a, 0);
        const gfx::ImageRef half = renderInFrame(pulse, size, frame, scale, 0, 0, 0.5);
        EXPECT_TRUE(pixelIs(half, 15, 15, blue));
        EXPECT_TRUE(pixelIs(half, 15, 6, light));
        EXPECT_EQ(half->pixelAtPoint(15, 2).a, 0);
        const gfx::ImageRef end = renderInFrame(pulse, size, frame, scale, 0, 0, 1);
        EXPECT_TRUE(pixelIs(end, 15, 15, light));
        EXPECT_TRUE(pixelIs(end, 15, 1.2, light));
        EXPECT_EQ(end->pixelAtPoint(1, 1).a, 0);

        const gfx::ImageRef small = renderInFrame(smallPulse, {18, 18}, {0, 0, 18, 18}, scale, 0, 0, 0.5);
        EXPECT_TRUE(pixelIs(small, 9, 9, blue));
        EXPECT_TRUE(pixelIs(small, 9, 3, light));
    }
    // The renderer draws the pulse at its design size, fitted by aspect.
    gfx::setScreenScale(2);
    const gfx::ImageRef image = StyleKit::imageOfSpinnerCircleAnimatableWithFraction(0.5);
    EXPECT_EQ(image->size(), (gfx::Size{30, 30}));
    EXPECT_TRUE(pixelIs(image, 15, 6, light));
}

}  // namespace
