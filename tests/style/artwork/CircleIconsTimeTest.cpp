// The clock and shutter circled icons: their table rows, the clock's ring and
// hands, the shutter's turned blades, and the face and gaps that show the circle.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr double none = std::numeric_limits<double>::quiet_NaN();
const gfx::Rect square{0, 0, 100, 100};

void expectEnd(const gfx::PathElement& e, double x, double y) {
    const gfx::Point p = e.kind == gfx::PathElement::Kind::curve ? e.points[2] : e.points[0];
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
}

// `path` turned about the square's centre, clockwise on screen for positive degrees.
gfx::BezierPath turned(const gfx::BezierPath& path, double degrees) {
    const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    auto turn = [&](gfx::Point p) {
        return gfx::Point{50 + (p.x - 50) * c - (p.y - 50) * s, 50 + (p.x - 50) * s + (p.y - 50) * c};
    };
    gfx::BezierPath out;
    for (const gfx::PathElement& e : path.elements()) {
        switch (e.kind) {
            case gfx::PathElement::Kind::move: out.moveTo(turn(e.points[0])); break;
            case gfx::PathElement::Kind::line: out.lineTo(turn(e.points[0])); break;
            case gfx::PathElement::Kind::curve:
                out.curveTo(turn(e.points[2]), turn(e.points[0]), turn(e.points[1]));
                break;
            case gfx::PathElement::Kind::close: out.close(); break;
        }
    }
    return out;
}

TEST(CircleIconsTime, ClockAsStated) {
    checkCircleIconRow({"drawCircleIconClockWithFrame:",
                        "bvBlue",
                        nullptr,
                        {{"white", "13+12a 13+12c 12+10a", {0.2250, 0.2250, 0.7875, 0.7875}}}});
    const gfx::BezierPath glyph = record("drawCircleIconClockWithFrame:", square).fills[1].path;
    checkPieces(glyph,
                {{0.74982, 0.36509, {0.2250, 0.2250, 0.7875, 0.7875}},   // ring, outer edge
                 {0.67875, 0.60625, {0.3070, 0.3070, 0.7055, 0.7055}},   // ring, inner edge
                 {0.54144, 0.36565, {0.4125, 0.3656, 0.5532, 0.5532}}},  // hands
                square, "", 0.00006);
    // The ring's curves end just past each 30 degrees, so their controls reach beyond it.
    EXPECT_NEAR(glyph.controlPointBounds().minX(), 22.42, 0.01);
    EXPECT_NEAR(glyph.controlPointBounds().maxX(), 78.83, 0.01);
    expectEnd(subpathsOf(glyph)[2].elements()[5], 50.630, 50.635);  // the hands' inner corner, on the centre
}

TEST(CircleIconsTime, ShutterBladesAsStated) {
    checkCircleIconRow({"drawCircleIconSnapshotWithFrame:", "bvBlue", nullptr,
                        {{"white", "2+8a 2+6a 3+8a 2+7a 2+7a 4+7a", {0.2250, 0.2250, 0.7750, 0.7750}}}});
    const gfx::BezierPath glyph = record("drawCircleIconSnapshotWithFrame:", square).fills[1].path;
    // Extents to four places, measured on the curves.
    checkPieces(glyph,
                {{0.76193, 0.41630, {0.5880, 0.4083, 0.7750, 0.6475}}, {none, none, {0.4690, 0.2312, 0.7429, 0.3854}},
                 {none, none, {0.4815, 0.5337, 0.7071, 0.7750}}, {none, none, {0.2250, 0.3507, 0.4123, 0.5917}},
                 {none, none, {0.2571, 0.6146, 0.5310, 0.7688}}, {none, none, {0.2942, 0.2250, 0.5185, 0.4653}}},
                square, "", 0.00005 + 1e-12);
    const std::vector<gfx::BezierPath> blades = subpathsOf(glyph);
    expectEnd(blades[1].elements()[5], 73.147, 38.542);  // blade 2's long edge ends
    expectEnd(blades[3].elements()[2], 40.086, 59.167);  // blade 4's short edge ends
    // Each blade is the first turned by a multiple of 60 degrees (clockwise
    // on screen for positive turns), to within 0.0021 of the group.
    const double turns[] = {-60, 60, 180, 120, -120};
    for (std::size_t i = 1; i < blades.size(); ++i) {
        const double apart = farthestApart(outlineOf(blades[i]), outlineOf(turned(blades[0], turns[i - 1])));
        EXPECT_LE(apart, 0.0021 * 100) << "blade " << i + 1;
    }
    for (std::size_t i : {0, 2, 5}) {                    // blade 5 is blade 2 turned by half
        EXPECT_NEAR(blades[1].elements()[i].points[0].x + blades[4].elements()[i].points[0].x, 100, 0.02);
        EXPECT_NEAR(blades[1].elements()[i].points[0].y + blades[4].elements()[i].points[0].y, 100, 0.02);
    }
}

TEST(CircleIconsTime, FaceAndGapsShowTheCircle) {
    checkCircleProbes("drawCircleIconClockWithFrame:", 0, StyleKit::bvBlue(), StyleKit::white(),
                {{0.40, 0.40, true}, {0.50, 0.34, true}, {0.60, 0.60, true}, {0.80, 0.50, true},  // face, outside
                 {0.25, 0.50625, false}, {0.53, 0.45, false}, {0.45, 0.53, false}, {0.53, 0.53, false}});
    checkCircleProbes("drawCircleIconSnapshotWithFrame:", 0, StyleKit::bvBlue(), StyleKit::white(),
                {{0.5, 0.5, true}, {0.55, 0.45, true}, {0.70, 0.3969, true}, {0.50, 0.30, true},  // opening, gaps
                 {0.70, 0.50, false}, {0.76, 0.50, false}});
}

}  // namespace
