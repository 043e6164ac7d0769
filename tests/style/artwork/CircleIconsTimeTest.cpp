// The clock and shutter circled icons: their table rows, the clock's ring and
// hands, the shutter's six turned blades and the holes each leaves.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr double none = std::numeric_limits<double>::quiet_NaN();
const gfx::Rect square{0, 0, 100, 100};

void expectPoint(const gfx::PathElement& e, double x, double y) {
    const gfx::Point p = e.kind == gfx::PathElement::Kind::curve ? e.points[2] : e.points[0];
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
}

// The outline of `path` walked in short straight steps, as fractions of `g`.
std::vector<gfx::Point> outline(const gfx::BezierPath& path, const gfx::Rect& g) {
    std::vector<gfx::Point> points;
    gfx::Point current{};
    for (const gfx::PathElement& e : path.elements()) {
        if (e.kind == gfx::PathElement::Kind::curve) {
            for (int i = 1; i <= 32; ++i) {
                const double t = i / 32.0, u = 1 - t;
                const double w[4] = {u * u * u, 3 * u * u * t, 3 * u * t * t, t * t * t};
                const gfx::Point c1 = e.points[0], c2 = e.points[1], end = e.points[2];
                points.push_back({w[0] * current.x + w[1] * c1.x + w[2] * c2.x + w[3] * end.x,
                                  w[0] * current.y + w[1] * c1.y + w[2] * c2.y + w[3] * end.y});
            }
            current = e.points[2];
        } else if (e.kind != gfx::PathElement::Kind::close) {
            current = e.points[0];
            points.push_back(current);
        }
    }
    for (gfx::Point& p : points) p = {(p.x - g.minX()) / g.width(), (p.y - g.minY()) / g.height()};
    return points;
}

TEST(CircleIconsTime, TableRows) {
    checkCircleIconRow({"drawCircleIconClockWithFrame:", "bvBlue", nullptr,
                        {{"white", "13+12a 13+12c 12+10a", {0.2250, 0.2250, 0.7875, 0.7875}}}});
    checkCircleIconRow({"drawCircleIconSnapshotWithFrame:", "bvBlue", nullptr,
                        {{"white", "2+8a 2+6a 3+8a 2+7a 2+7a 4+7a", {0.2250, 0.2250, 0.7750, 0.7750}}}});
}

TEST(CircleIconsTime, ClockRingIsTrueAndItsHandsMeetOnTheCentre) {
    const gfx::BezierPath glyph = record("drawCircleIconClockWithFrame:", square).fills[1].path;
    checkSubpaths(glyph,
                  {{0.74982, 0.36509, {0.2250, 0.2250, 0.7875, 0.7875}},
                   {0.67875, 0.60625, {0.3070, 0.3070, 0.7055, 0.7055}},
                   {0.54144, 0.36565, {0.4125, 0.3656, 0.5532, 0.5532}}},
                  square, 0.00006);
    // Both edges of the ring stay within 0.0005 of their circles.
    const std::vector<gfx::BezierPath> edges = subpathsOf(glyph);
    const double circles[2][3] = {{0.50625, 0.50625, 0.28125}, {0.50627, 0.50627, 0.19923}};
    for (int i = 0; i < 2; ++i)
        for (const gfx::Point& p : outline(edges[i], square))
            EXPECT_NEAR(std::hypot(p.x - circles[i][0], p.y - circles[i][1]), circles[i][2], 0.0005);
    // The curves end just past each 30 degrees, so their controls reach a little beyond the ring.
    const gfx::Rect controls = glyph.controlPointBounds();
    EXPECT_NEAR(controls.minX(), 22.42, 0.01);
    EXPECT_NEAR(controls.maxX(), 78.83, 0.01);
    // The hands' inner corner lies on the ring's centre.
    expectPoint(subpathsOf(glyph)[2].elements()[5], 50.630, 50.635);
}

TEST(CircleIconsTime, ShutterBladesAreTheFirstTurned) {
    const gfx::BezierPath glyph = record("drawCircleIconSnapshotWithFrame:", square).fills[1].path;
    checkSubpaths(glyph,
                  {{0.76193, 0.41630, {0.5880, 0.4083, 0.7750, 0.6475}},
                   {none, none, {0.4690, 0.2312, 0.7429, 0.3854}},
                   {none, none, {0.4815, 0.5337, 0.7071, 0.7750}},
                   {none, none, {0.2250, 0.3507, 0.4123, 0.5917}},
                   {none, none, {0.2571, 0.6146, 0.5310, 0.7688}},
                   {none, none, {0.2942, 0.2250, 0.5185, 0.4653}}},
                  square, 0.0021);
    // Turned back about the centre, every point of blade k lies within 0.0021
    // of the first blade's outline (turns in screen degrees, clockwise).
    const std::vector<gfx::BezierPath> blades = subpathsOf(glyph);
    const std::vector<gfx::Point> first = outline(blades[0], square);
    const double turns[] = {0, -60, 60, 180, 120, -120};
    for (int k = 1; k < 6; ++k) {
        SCOPED_TRACE("blade " + std::to_string(k + 1));
        const double a = -turns[k] * std::numbers::pi / 180;
        double worst = 0;
        for (const gfx::Point& p : outline(blades[k], square)) {
            const gfx::Point back{0.5 + (p.x - 0.5) * std::cos(a) - (p.y - 0.5) * std::sin(a),
                                  0.5 + (p.x - 0.5) * std::sin(a) + (p.y - 0.5) * std::cos(a)};
            double nearest = 1;
            for (std::size_t i = 0; i + 1 < first.size(); ++i) {
                const gfx::Point s = first[i], e = first[i + 1];
                const double len2 = (e.x - s.x) * (e.x - s.x) + (e.y - s.y) * (e.y - s.y);
                const double along = (back.x - s.x) * (e.x - s.x) + (back.y - s.y) * (e.y - s.y);
                const double t = len2 == 0 ? 0 : std::clamp(along / len2, 0.0, 1.0);
                nearest = std::min(nearest, std::hypot(back.x - s.x - t * (e.x - s.x), back.y - s.y - t * (e.y - s.y)));
            }
            worst = std::max(worst, nearest);
        }
        EXPECT_LT(worst, 0.0021);
    }
    // Stated edges: blade 2's long edge and blade 4's short edge, and blade 5 the half-turn of blade 2.
    const auto& blade2 = blades[1].elements();
    const auto& blade4 = blades[3].elements();
    const auto& blade5 = blades[4].elements();
    expectPoint(blade2[5], 73.147, 38.542);
    expectPoint(blade4[2], 40.086, 59.167);
    expectPoint(blade5[5], 26.853, 61.458);
    for (std::size_t i : {0, 2, 5}) {
        EXPECT_NEAR(blade2[i].points[0].x + blade5[i].points[0].x, 100, 0.02);
        EXPECT_NEAR(blade2[i].points[0].y + blade5[i].points[0].y, 100, 0.02);
    }
}

TEST(CircleIconsTime, ProbesAtEveryScale) {
    struct Probe {
        double x, y;
        bool circle;
    };
    const std::pair<const char*, std::vector<Probe>> pictures[] = {
        {"drawCircleIconClockWithFrame:",
         {{0.40, 0.40, true}, {0.50, 0.34, true}, {0.60, 0.60, true}, {0.80, 0.50, true},  // face and outside
          {0.25, 0.50625, false}, {0.53, 0.45, false}, {0.45, 0.53, false}, {0.53, 0.53, false}}},  // ring, hands
        {"drawCircleIconSnapshotWithFrame:",
         {{0.5, 0.5, true}, {0.55, 0.45, true}, {0.70, 0.3969, true}, {0.50, 0.30, true},  // opening and gaps
          {0.70, 0.50, false}, {0.76, 0.50, false}}},                                       // the first blade
    };
    for (const auto& [message, probes] : pictures)
        for (double scale : {1.0, 2.0, 3.0}) {
            const gfx::ImageRef image = render(message, {160, 160}, 0, scale);
            for (const Probe& p : probes) {
                SCOPED_TRACE(std::string(message) + " at " + std::to_string(p.x) + ", " + std::to_string(p.y) +
                             " scale " + std::to_string(scale));
                EXPECT_TRUE(pixelIs(image, p.x * 160, p.y * 160, p.circle ? StyleKit::bvBlue() : StyleKit::white()));
            }
        }
}

TEST(CircleIconsTime, WideFrameSqueezesEachAxisOnItsOwn) {
    // At 160 x 80 the clock's ring spans 36 to 126 across and 18 to 63 down.
    const PathShape clock = analyse(record("drawCircleIconClockWithFrame:", {0, 0, 160, 80}).fills[1].path);
    EXPECT_NEAR(clock.bounds.minX, 36, 0.01);
    EXPECT_NEAR(clock.bounds.maxX, 126, 0.01);
    EXPECT_NEAR(clock.bounds.minY, 18, 0.01);
    EXPECT_NEAR(clock.bounds.maxY, 63, 0.01);
}

}  // namespace
