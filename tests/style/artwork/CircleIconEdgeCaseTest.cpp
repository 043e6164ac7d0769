// Placement and pixel checks of the circled icons and the warning triangle:
// the frame's snapping, fixed points of the pictures, and holes that must
// show the circle beneath.

#include <gtest/gtest.h>

#include <string>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

void expectRect(const gfx::BezierPath& path, const gfx::Rect& want, double tolerance = 1e-9) {
    const gfx::Rect got = path.controlPointBounds();
    EXPECT_NEAR(got.minX(), want.minX(), tolerance);
    EXPECT_NEAR(got.minY(), want.minY(), tolerance);
    EXPECT_NEAR(got.width(), want.width(), tolerance);
    EXPECT_NEAR(got.height(), want.height(), tolerance);
}

gfx::Point firstPoint(const Fill& fill) { return fill.path.elements().front().points[0]; }

TEST(CircleIconFrame, GroupKeepsTheOriginAndRoundsTheSize) {
    // Origin unchanged, 44.4 down to 44 and 44.5 up to 45; glyph points unsnapped.
    Recording rec = record("drawCircleIconSleepWithFrame:colored:", {10.3, 20.6, 44.4, 44.5}, 1);
    ASSERT_EQ(rec.fills.size(), 2u);
    expectRect(rec.fills[0].path, {10.3, 20.6, 44, 45});
    EXPECT_NEAR(firstPoint(rec.fills[1]).x, 10.3 + 44 * 0.29941, 1e-9);
    EXPECT_NEAR(firstPoint(rec.fills[1]).y, 20.6 + 45 * 0.58705, 1e-9);

    rec = record("drawCircleIconSleepWithFrame:colored:", {0, 0, 40, 40}, 1);
    EXPECT_NEAR(firstPoint(rec.fills[1]).x, 11.9764, 1e-9);
    EXPECT_NEAR(firstPoint(rec.fills[1]).y, 23.482, 1e-9);

    rec = record("drawCircleIconBellWithFrame:", {10.25, 20.75, 31.5, 30.4});
    expectRect(rec.fills[0].path, {10.25, 20.75, 32, 30});
    EXPECT_NEAR(firstPoint(rec.fills[1]).x, 33.65, 1e-9);
    EXPECT_NEAR(firstPoint(rec.fills[1]).y, 40.2338, 1e-9);
}

TEST(CircleIconFrame, NegativeSizesAndSubPointWidths) {
    for (const char* message : {"drawCircleIconGearsWithFrame:", "drawCircleIconAppsWithFrame:"}) {
        SCOPED_TRACE(message);
        const Recording flipped = record(message, {50, 50, -40, -40});
        const Recording plain = record(message, {10, 10, 40, 40});
        ASSERT_EQ(flipped.fills.size(), plain.fills.size());
        for (std::size_t i = 0; i < plain.fills.size(); ++i)
            EXPECT_EQ(flipped.fills[i].path.elements(), plain.fills[i].path.elements());
    }
    // Below half a point the group has no width and nothing shows; half a point gives one.
    EXPECT_EQ(record("drawCircleIconCogWithFrame:", {0, 0, 0.4, 40}).fills[0].path.controlPointBounds().width(), 0);
    EXPECT_EQ(record("drawCircleIconCogWithFrame:", {0, 0, 0.5, 40}).fills[0].path.controlPointBounds().width(), 1);
    const gfx::ImageRef thin = render("drawCircleIconCogWithFrame:", {0.4, 40});
    for (double y : {5.0, 20.0, 35.0}) EXPECT_EQ(thin->pixelAtPoint(0, y).a, 0);
}

TEST(CircleIconFrame, UserAndUserDarkDifferOnlyInTheCircle) {
    const Recording user = record("drawCircleIconUserWithFrame:", {3, 4, 50, 50});
    const Recording dark = record("drawCircleIconUserDarkWithFrame:", {3, 4, 50, 50});
    ASSERT_EQ(user.fills.size(), 2u);
    ASSERT_EQ(dark.fills.size(), 2u);
    EXPECT_EQ(user.fills[1].path.elements(), dark.fills[1].path.elements());
    EXPECT_NE(user.fills[0].color, dark.fills[0].color);
}

TEST(CircleIconPlacement, PinDotsStandOnWholeAndHalfPoints) {
    // The second dot stands on a half point; at 30 the fourth is 5 wide and 4 high.
    const std::pair<double, std::vector<gfx::Rect>> cases[] = {
        {40, {{0, 0, 40, 40}, {6, 17, 6, 6}, {13.5, 17, 6, 6}, {21, 17, 6, 6}, {29, 17, 6, 6}}},
        {30, {{0, 0, 30, 30}, {5, 13, 4, 4}, {10.5, 13, 4, 4}, {16, 13, 4, 4}, {21, 13, 5, 4}}}};
    for (const auto& [side, rects] : cases) {
        const Recording rec = record("drawCircleIconPinWithFrame:", {0, 0, side, side});
        ASSERT_EQ(rec.fills.size(), rects.size());
        for (std::size_t i = 0; i < rects.size(); ++i) expectRect(rec.fills[i].path, rects[i]);
    }
}

TEST(CircleIconPlacement, AppsGridHasItsOwnRectangle) {
    Recording rec = record("drawCircleIconAppsWithFrame:", {0, 0, 40, 40});
    ASSERT_EQ(rec.fills.size(), 10u);
    expectRect(rec.fills[0].path, {0, 1, 40, 39});
    EXPECT_NEAR(firstPoint(rec.fills[1]).x, 11.4393193, 1e-6);
    EXPECT_NEAR(firstPoint(rec.fills[1]).y, 11, 1e-9);
    // Grid rectangle (10, 11, 20.01, 19.3): three columns and three rows of squares.
    const gfx::Rect grid{10, 11, 20.01, 19.3};
    const double columns[][2] = {{0, 0.28771}, {0.3499, 0.63761}, {0.71229, 1}};
    const double rows[][2] = {{0, 0.28572}, {0.35714, 0.64286}, {0.71428, 1}};
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE("square " + std::to_string(i + 1));
        const auto& col = columns[i % 3];
        const auto& row = rows[i / 3];
        const PathShape square = analyse(rec.fills[1 + i].path);
        ASSERT_EQ(square.subpaths.size(), 1u);
        EXPECT_EQ(square.subpaths[0].counts(), std::pair(4, 4));
        EXPECT_EQ(colorName(rec.fills[1 + i].color), "whiteColor");
        expectRect(rec.fills[1 + i].path,
                   {grid.minX() + grid.width() * col[0], grid.minY() + grid.height() * row[0],
                    grid.width() * (col[1] - col[0]), grid.height() * (row[1] - row[0])},
                   grid.width() * 0.00003);
    }
    rec = record("drawCircleIconAppsWithFrame:", {0, 0, 30, 30});
    expectRect(rec.fills[0].path, {0, 0, 30, 30});
    expectRect(rec.fills[1].path, {8, 8, 14.01 * 0.28771, 14.3 * 0.28572}, 1e-6);
}

TEST(WarningTriangle, FixedSizeBoxHeldRightAndCentred) {
    struct Case {
        gfx::Rect frame;
        double boxX, boxY;
    };
    for (const Case& c : {Case{{0, 0, 80, 68}, 0, 0}, Case{{0, 0, 160, 160}, 80, 46}, Case{{0, 0, 100.4, 68}, 20, 0},
                          Case{{0, 0, 100.5, 68}, 21, 0}, Case{{0, 0, 69, 69}, -11, 1},
                          Case{{0, 0, 40, 40}, -40, -14}, Case{{5.5, 2.25, 80, 68}, 5.5, 2.25}}) {
        SCOPED_TRACE(std::to_string(c.frame.size.width) + " x " + std::to_string(c.frame.size.height));
        const Recording rec = record("drawIconWarningTriangleWithFrame:colored:", c.frame, 1);
        ASSERT_EQ(rec.fills.size(), 2u);
        EXPECT_NEAR(firstPoint(rec.fills[0]).x, c.boxX + 78.51, 1e-9);
        EXPECT_NEAR(firstPoint(rec.fills[0]).y, c.boxY + 53.34, 1e-9);
    }
}

TEST(WarningTriangle, ColouredSwapsTriangleAndMark) {
    for (long flag : {0L, 1L, 2L, 3L}) {
        SCOPED_TRACE(flag);
        const bool set = flag & 1;
        const Recording rec = record("drawIconWarningTriangleWithFrame:colored:", {0, 0, 80, 68}, flag);
        ASSERT_EQ(rec.fills.size(), 2u);
        EXPECT_EQ(rec.otherOps, 0);
        EXPECT_EQ(colorName(rec.fills[0].color), set ? "white" : "red");
        EXPECT_EQ(colorName(rec.fills[1].color), set ? "red" : "white");
        EXPECT_EQ(rec.finalFillColor, rec.fills[1].color);
        const auto triangle = analyse(rec.fills[0].path).subpaths;
        const auto mark = analyse(rec.fills[1].path).subpaths;  // dot, then bar
        ASSERT_EQ(triangle.size(), 1u);
        ASSERT_EQ(mark.size(), 2u);
        EXPECT_EQ(triangle[0].counts(), std::pair(3, 6));
        EXPECT_EQ(mark[0].counts(), std::pair(1, 8));
        EXPECT_EQ(mark[1].counts(), std::pair(4, 0));
        EXPECT_TRUE(triangle[0].endsOnStart && mark[0].endsOnStart && mark[1].endsOnStart);
    }
    const gfx::ImageRef set = render("drawIconWarningTriangleWithFrame:colored:", {80, 68}, 1);
    EXPECT_TRUE(pixelIs(set, 40.28, 54.8, StyleKit::red()));    // dot
    EXPECT_TRUE(pixelIs(set, 40.28, 30, StyleKit::red()));      // bar
    EXPECT_TRUE(pixelIs(set, 20, 60, StyleKit::white()));       // triangle
    EXPECT_EQ(set->pixelAtPoint(8, 8).a, 0);                    // outside it
    const gfx::ImageRef clear = render("drawIconWarningTriangleWithFrame:colored:", {80, 68}, 0);
    EXPECT_TRUE(pixelIs(clear, 40.28, 54.8, StyleKit::white()));
    EXPECT_TRUE(pixelIs(clear, 20, 60, StyleKit::red()));
}

// Points (in a 100 x 100 picture) that must show the circle, or the glyph's white.
struct Probe {
    const char* message;
    long flag;
    double x, y;
    bool circle;
};

TEST(CircleIconPixels, HolesShowTheCircleAndGlyphsAreWhite) {
    const Probe probes[] = {
        {"drawCircleIconBellWithFrame:", 0, 50.3, 70, true},          // between rim and clapper
        {"drawCircleIconExclamationWithFrame:", 0, 50, 62.5, true},   // gap under the bar
        {"drawCircleIconExclamationWithFrame:", 0, 50, 20, false},    // bar
        {"drawCircleIconGearsWithFrame:", 0, 38.98, 37.12, true},     // large hole
        {"drawCircleIconGearsWithFrame:", 0, 68.28, 52.86, true},     // medium hole
        {"drawCircleIconGearsWithFrame:", 0, 45.13, 68.17, true},     // small hole
        {"drawCircleIconGearsWithFrame:", 0, 38.98, 25, false},       // between hole and teeth
        {"drawCircleIconCogWithFrame:", 0, 50, 50, true},             // hub
        {"drawCircleIconDevicePhoneWithFrame:colored:", 0, 50, 50, true},   // screen
        {"drawCircleIconDevicePhoneWithFrame:colored:", 1, 49.7, 79, true},  // home button
        {"drawCircleIconPlayWithFrame:colored:", 0, 33, 47, true},    // direction cross
        {"drawCircleIconSchoolWithFrame:colored:", 1, 40, 58, true},    // pocket slot
        {"drawCircleIconSchoolWithFrame:colored:", 1, 69.5, 50, true},  // gap before the strap
        {"drawCircleIconSchoolWithFrame:colored:", 1, 52.2, 26, true},  // inside the carrying loop
        {"drawCircleIconSchoolWithFrame:colored:", 1, 61, 60, true},    // between the front and the back
        {"drawCircleIconNoFilterWithFrame:", 0, 50, 50, false},       // bar
        {"drawCircleIconNoFilterWithFrame:", 0, 65, 65, true},        // segment below the bar
        {"drawCircleIconNoFilterWithFrame:", 0, 30, 45, true},        // segment above the bar
        {"drawCircleIconNoFilterWithFrame:", 0, 50, 60, false},       // funnel stem
        {"drawCircleIconPadlockWithFrame:", 0, 50.5, 56, true},       // keyhole
        {"drawCircleIconPadlockWithFrame:", 0, 50.5, 38, true},       // under the shackle
        {"drawCircleIconLocationPinWithFrame:", 0, 49, 43, true},     // round hole
        {"drawCircleIconBrowserWithFrame:", 0, 50, 55, true},         // content area
        {"drawCircleIconRedFlagWithFrame:", 0, 55, 35, false},        // the flag is white
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(std::string(p.message) + " at " + std::to_string(p.x) + ", " + std::to_string(p.y));
        const gfx::ImageRef image = render(p.message, {100, 100}, p.flag);
        const Recording rec = record(p.message, {0, 0, 100, 100}, p.flag);
        const gfx::ColorRef expected = p.circle ? rec.fills[0].color : gfx::Color::whiteColor();
        EXPECT_TRUE(pixelIs(image, p.x, p.y, expected));
    }
}

}  // namespace
