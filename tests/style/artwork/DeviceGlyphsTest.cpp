// The device glyphs on the recording backend: the frame they share (its
// snapped group at the worked sizes, the white disc and its grey rim, the
// state left behind), a table of each glyph (subpaths with directions, first
// points and extents), pixels of rendered images, and the shape of the
// outlines where the eye looks for an even bend, a mirror image or a point.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using gfx::RecordedOp;
using style::StyleKit;

constexpr double unstated = std::numeric_limits<double>::quiet_NaN();

const char* const deviceGlyphs[] = {
    "drawDeviceLaptopWithFrame:",  "drawDeviceDesktopWithFrame:", "drawDeviceMediaWithFrame:",
    "drawDeviceGamingWithFrame:",  "drawDeviceUnknownWithFrame:", "drawDeviceBoxWithFrame:",
    "drawDeviceAndroidWithFrame:", "drawDeviceIosWithFrame:",
};

gfx::ColorRef robotGreen() { return gfx::Color::rgba(0.522, 0.784, 0.031, 1); }

TEST(DeviceGlyphFrame, DiscAndRimInTheHalfPixelGroup) {
    const std::pair<gfx::Rect, gfx::Rect> cases[] = {  // frame, group
        {{0, 0, 48, 48}, {0.5, 0.5, 47, 47}},     {{0, 0, 24, 24}, {0.5, 0.5, 23, 23}},
        {{0, 0, 100, 100}, {2.5, 2.5, 95, 95}},   {{0, 0, 49, 49}, {1.5, 1.5, 46, 46}},
        {{10.3, 0, 48, 48}, {10.8, 0.5, 47, 47}}, {{10, 20, 37, 53}, {10.5, 21.5, 36, 50}},
        {{47, 73, -37, -53}, {10.5, 21.5, 36, 50}}, {{5, 5, 0, 0}, {5.5, 5.5, 0, 0}},
        {{0, 0, 1.02, 40}, {0.5, 0.5, 0, 39}},    {{0, 0, 1.03, 40}, {0.5, 0.5, 1, 39}},
    };
    using Kind = RecordedOp::Kind;
    const std::vector<Kind> order = {Kind::setFillColor, Kind::fill, Kind::setStrokeColor, Kind::stroke,
                                     Kind::setFillColor, Kind::fill};
    for (const char* message : deviceGlyphs) {
        for (const auto& [frame, group] : cases) {
            SCOPED_TRACE(std::string(message) + " in " + std::to_string(frame.origin.x) + ", " +
                         std::to_string(frame.size.width) + " x " + std::to_string(frame.size.height));
            const Recording rec = record(message, frame);
            ASSERT_EQ(rec.ops.size(), order.size());
            for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(rec.ops[i].kind, order[i]) << i;
            const auto disc = gfx::BezierPath::oval(group).elements();
            EXPECT_EQ(rec.ops[1].path.elements(), disc);
            EXPECT_EQ(rec.ops[1].state.fillColor, gfx::Color::whiteColor());  // the platform's, not the palette's
            const gfx::BezierPath& rim = rec.ops[3].path;
            EXPECT_EQ(rim.elements(), disc);
            EXPECT_EQ(rim.lineWidth, 0.5);
            EXPECT_EQ(rim.lineJoin, gfx::LineJoin::round);
            EXPECT_EQ(rim.lineCap, gfx::LineCap::butt);
            EXPECT_FALSE(rec.ops[5].path.usesEvenOddFillRule);
            // Every glyph point lies in the group; a collapsed side puts them all on its edge.
            const gfx::Rect glyph = rec.ops[5].path.controlPointBounds();
            EXPECT_GE(glyph.minX(), group.minX() - 1e-9);
            EXPECT_LE(glyph.maxX(), group.maxX() + 1e-9);
            EXPECT_EQ(rec.finalSaveDepth, 0);
            EXPECT_EQ(rec.finalState.ctm, gfx::Transform{});
            EXPECT_EQ(rec.finalState.strokeColor, StyleKit::grey2());
        }
    }
    const gfx::Point box = record("drawDeviceBoxWithFrame:", {0, 0, 48, 48}).fills[1].path.elements()[0].points[0];
    EXPECT_NEAR(box.x, 13.78267, 1e-9);
    EXPECT_NEAR(box.y, 13.28541, 1e-9);
}

struct DeviceRow {
    const char* message;
    Shape glyph;  // colour "other": the robot green, whose value the pixels check
    std::vector<Piece> pieces;
};

const std::vector<DeviceRow>& rows() {
    static const std::vector<DeviceRow> table = {
        {"drawDeviceLaptopWithFrame:",
         {"grey2", "4+0c 7+6a", {0.1522, 0.2826, 0.8478, 0.7174}},
         {{0.75269, 0.63486, {0.2457, 0.3286, 0.7527, 0.6349}}, {0.83567, 0.65338, {0.1522, 0.2826, 0.8478, 0.7174}}}},
        {"drawDeviceDesktopWithFrame:",
         {"grey2", "4+4a 0+4c 5+0c 5+0c 4+2a 9+3a 0+4c", {0.1956, 0.1956, 0.8478, 0.8044}},
         {{0.3587, 0.27681, {0.1956, 0.2768, 0.3995, 0.8044}}, {unstated, unstated, {0.2364, 0.6420, 0.2772, 0.6826}},
          {0.3587, 0.43913, {0.2364, 0.3986, 0.3587, 0.4391}}, {0.3587, 0.35797, {0.2364, 0.3174, 0.3587, 0.3580}},
          {0.62365, 0.72319, {0.4606, 0.6826, 0.6644, 0.7638}}, {0.80707, 0.19565, {0.2772, 0.1956, 0.8478, 0.6420}},
          {unstated, unstated, {0.5421, 0.5812, 0.5829, 0.6217}}}},
        {"drawDeviceMediaWithFrame:",
         {"grey2", "8+4a 8+4a", {0.1522, 0.3697, 0.8833, 0.6701}},
         {{0.75631, 0.36968, {0.1522, 0.3697, 0.8833, 0.5519}}, {0.75631, 0.56423, {0.1522, 0.5298, 0.8833, 0.6701}}}},
        {"drawDeviceGamingWithFrame:",
         {"grey2", "4+0a 0+5a 5+0c", {0.1522, 0.4040, 0.8913, 0.6739}},
         {{0.15217, 0.67391, {0.1522, 0.6268, 0.8913, 0.6739}}, {0.26827, 0.44654, {0.2208, 0.4465, 0.3157, 0.5443}},
          {0.8913, 0.40403, {0.1522, 0.4040, 0.8913, 0.5868}}}},
        {"drawDeviceUnknownWithFrame:",
         {"grey2", "0+4a 4+8a", {0.3696, 0.2391, 0.6416, 0.7576}},
         {{unstated, unstated, {0.4179, 0.6222, 0.5532, 0.7576}},
          {0.49572, 0.23913, {0.3696, 0.2391, 0.6416, 0.5865}}}},
        {"drawDeviceBoxWithFrame:",
         {"grey2", "4+0a 4+0a 4+0a", {0.2826, 0.2391, 0.7609, 0.7826}},
         {{0.28261, 0.27203, {0.2826, 0.2720, 0.3412, 0.7716}}, {0.35101, 0.3062, {0.3510, 0.2564, 0.7609, 0.7826}},
          {0.73465, 0.2497, {0.2946, 0.2391, 0.7347, 0.2967}}}},
        {"drawDeviceAndroidWithFrame:",
         {"other", "1+15c 0+4a 0+5a 2+4c 6+8c 9+17c", {0.1739, 0.1087, 0.8044, 0.8913}},
         {{0.62113, 0.11007, {0.2851, 0.1087, 0.6931, 0.3250}}, {0.57863, 0.20805, {0.5541, 0.2081, 0.6032, 0.2588}},
          {0.39947, 0.20805, {0.3749, 0.2081, 0.4241, 0.2588}}, {0.26143, 0.38072, {0.1739, 0.3356, 0.2614, 0.6287}},
          {0.80107, 0.36335, {0.7168, 0.3357, 0.8044, 0.6289}}, {0.69495, 0.34994, {0.2835, 0.3499, 0.6949, 0.8913}}}},
        {"drawDeviceIosWithFrame:",
         {"grey3", "2+23a 0+7a", {0.1902, 0.1522, 0.7609, 0.8044}},
         {{0.21967, 0.39192, {0.1902, 0.3068, 0.7609, 0.8044}}, {0.612, 0.15218, {0.4680, 0.1522, 0.6187, 0.3110}}}},
    };
    return table;
}

// First points and extents at the frame (0, 0, 100, 100), whose group is (2.5, 2.5, 95, 95).
TEST(DeviceGlyphTable, GlyphStructureFirstPointsAndExtents) {
    const gfx::Rect g{2.5, 2.5, 95, 95};
    for (const DeviceRow& row : rows()) {
        SCOPED_TRACE(row.message);
        const Recording rec = record(row.message, {0, 0, 100, 100});
        ASSERT_EQ(rec.fills.size(), 2u);
        checkShape(rec.fills[1], row.glyph, g, "glyph");
        checkPieces(rec.fills[1].path, row.pieces, g, "glyph", 0.5e-4 + 1e-12);
        EXPECT_EQ(rec.finalFillColor, rec.fills[1].color);
        const StyleKit::Routine* r = StyleKit::routine(row.message);
        EXPECT_EQ(StyleKit::performImage(r->imageMessage, {40, 30})->size(), (gfx::Size{40, 30}));
    }
}

TEST(DeviceGlyphPixels, HolesShowTheDiscAtEveryScale) {
    struct Probe {
        const char* message;
        double fx, fy;         // fractions of the group (0.5, 0.5, 47, 47)
        gfx::ColorRef color;
    };
    const gfx::ColorRef white = gfx::Color::whiteColor(), grey2 = StyleKit::grey2();
    const Probe probes[] = {
        {"drawDeviceLaptopWithFrame:", 0.5, 0.48, white},      // screen
        {"drawDeviceLaptopWithFrame:", 0.5, 0.69, grey2},      // base
        {"drawDeviceDesktopWithFrame:", 0.30, 0.3377, white},  // upper slot
        {"drawDeviceDesktopWithFrame:", 0.30, 0.60, grey2},    // tower
        {"drawDeviceGamingWithFrame:", 0.26827, 0.49542, white},  // round opening
        {"drawDeviceUnknownWithFrame:", 0.40, 0.45, white},    // under the hook's tip
        {"drawDeviceBoxWithFrame:", 0.55, 0.5, grey2},
        {"drawDeviceAndroidWithFrame:", 0.57863, 0.23342, white},  // eye
        {"drawDeviceAndroidWithFrame:", 0.49, 0.55, robotGreen()},
        {"drawDeviceIosWithFrame:", 0.72, 0.5, white},         // the bite
        {"drawDeviceIosWithFrame:", 0.45, 0.55, StyleKit::grey3()},
    };
    for (double scale : {1.0, 2.0, 3.0}) {
        for (const Probe& p : probes) {
            SCOPED_TRACE(std::string(p.message) + " at " + std::to_string(p.fx) + ", " + std::to_string(p.fy) +
                         " scale " + std::to_string(scale));
            const gfx::ImageRef image = render(p.message, {48, 48}, 0, scale);
            EXPECT_TRUE(pixelIs(image, 0.5 + 47 * p.fx, 0.5 + 47 * p.fy, p.color));
            EXPECT_EQ(image->pixelAtPoint(2, 2).a, 0);  // outside the disc
        }
    }
}

// Curvature in units of the group, along outlines between anchors.
TEST(DeviceGlyphCurves, DomeSidesMirrorAndTheAppleFlankBendsEvenly) {
    const gfx::Rect g{2.5, 2.5, 95, 95};
    // The dome's sides, each from the flat bottom to the root of its antenna:
    // the left runs up, the right down, so curve i at t meets its mirror image
    // at the other end of the list at 1 - t, where the curvature, flipped twice,
    // keeps its sign.
    const gfx::BezierPath robot = record("drawDeviceAndroidWithFrame:", {0, 0, 100, 100}).fills[1].path;
    const std::vector<Cubic> left = curvesBetween(robot, g, {0.28506, 0.32503}, {0.38939, 0.16522});
    const std::vector<Cubic> right = curvesBetween(robot, g, {0.58833, 0.16585}, {0.6931, 0.32503});
    ASSERT_EQ(left.size(), right.size());
    ASSERT_FALSE(left.empty());
    for (std::size_t i = 0; i < left.size(); ++i) {
        for (double t = 0; t <= 1; t += 0.125) {
            SCOPED_TRACE("dome, curve " + std::to_string(i) + " at " + std::to_string(t));
            const double k = curvatureAt(left[i], t), mirrored = curvatureAt(right[right.size() - 1 - i], 1 - t);
            EXPECT_GT(k, 0);  // clockwise, bulging outwards
            EXPECT_NEAR(k, mirrored, 0.25 * std::abs(mirrored));
        }
    }
    // The apple's left flank, from the shoulder to the lowest point of the left
    // lobe: it bends one way, never nearly straight, and no joint between two
    // curves sharpens or eases the bend at once.
    const gfx::BezierPath apple = record("drawDeviceIosWithFrame:", {0, 0, 100, 100}).fills[1].path;
    const std::vector<Cubic> flank = curvesBetween(apple, g, {0.36843, 0.30881}, {0.37421, 0.80435});
    ASSERT_GE(flank.size(), 2u);
    for (std::size_t i = 0; i < flank.size(); ++i) {
        for (double t = 0; t <= 1; t += 0.0625) {
            SCOPED_TRACE("apple flank, curve " + std::to_string(i) + " at " + std::to_string(t));
            EXPECT_LT(curvatureAt(flank[i], t), -1.2);  // anticlockwise: a radius under 0.83 of the group
        }
        if (i == 0) continue;
        const double before = std::abs(curvatureAt(flank[i - 1], 1)), after = std::abs(curvatureAt(flank[i], 0));
        EXPECT_LT(std::max(before, after) / std::min(before, after), 1.5) << "joint before curve " << i;
    }
}

// The robot's arms are mirror images of each other about the line between
// their centres, and its dome bends gradually from one foot over the crown to
// the other, across the roots of the antennae too, where the dome runs on
// under each antenna: no shoulder where the bend sharpens or eases at once.
TEST(DeviceGlyphCurves, RobotArmsMirrorAndTheDomeBendsEvenly) {
    const gfx::Rect g{2.5, 2.5, 95, 95};
    const gfx::BezierPath robot = record("drawDeviceAndroidWithFrame:", {0, 0, 100, 100}).fills[1].path;
    const std::vector<gfx::BezierPath> parts = subpathsOf(robot);
    ASSERT_EQ(parts.size(), 6u);
    const Bounds left = analyse(parts[3]).bounds, right = analyse(parts[4]).bounds;
    const double sum = (left.minX + left.maxX + right.minX + right.maxX) / 2;  // twice the mirror line
    std::vector<gfx::Point> mirrored = outlineOf(parts[3]);
    for (gfx::Point& p : mirrored) p.x = sum - p.x;
    EXPECT_LT(farthestApart(mirrored, outlineOf(parts[4])) / g.width(), 0.001);  // the flats on the right arm's ends

    const gfx::Point feet[] = {{0.28506, 0.32503}, {0.6931, 0.32503}};
    const gfx::Point roots[] = {{0.38939, 0.16522}, {0.39789, 0.1616}, {0.57985, 0.16218}, {0.58833, 0.16585}};
    std::vector<double> bend;  // curvature along the dome, foot to foot
    for (const auto& [from, to] : {std::pair(feet[0], roots[0]), std::pair(roots[1], roots[2]),
                                   std::pair(roots[3], feet[1])}) {
        const std::vector<Cubic> curves = curvesBetween(robot, g, from, to);
        ASSERT_FALSE(curves.empty());
        for (const Cubic& c : curves)
            for (double t = 0; t <= 1; t += 0.125) bend.push_back(curvatureAt(c, t));
    }
    for (std::size_t i = 1; i < bend.size(); ++i) {
        SCOPED_TRACE("dome sample " + std::to_string(i));
        EXPECT_GT(bend[i], 0);  // clockwise, bulging outwards
        EXPECT_LT(std::max(bend[i], bend[i - 1]) / std::min(bend[i], bend[i - 1]), 1.2);
    }
}

// Below the bite the apple's side bends one way only, from its lowest point on
// the right up to the bite's lower lip, and no joint from there round the lip
// to the bite's deepest point is a kink; the leaf's two sides meet in a point
// at either tip.
TEST(DeviceGlyphCurves, AppleRoundsIntoTheBiteAndTheLeafTipsArePointed) {
    const gfx::Rect g{2.5, 2.5, 95, 95};
    const gfx::BezierPath apple = record("drawDeviceIosWithFrame:", {0, 0, 100, 100}).fills[1].path;
    // Anticlockwise, or straight where the side runs into the lip: a curvature
    // of 0.5, a radius of two groups, is straight to the eye.
    for (const Cubic& c : curvesBetween(apple, g, {0.60258, 0.8035}, {0.76057, 0.62982}))
        for (double t = 0; t <= 1; t += 0.0625) EXPECT_LT(curvatureAt(c, t), 0.5) << "at " << t;
    for (gfx::Point corner : cornersOf(subpathsOf(apple)[0])) {
        const double fx = (corner.x - g.minX()) / g.width(), fy = (corner.y - g.minY()) / g.height();
        EXPECT_FALSE(fx > 0.6 && fy > 0.49831 && fy < 0.81) << "corner at " << fx << ", " << fy;
    }
    // Each tip turns through a radius under a 400th of the group.
    const std::pair<gfx::Point, gfx::Point> tips[] = {{{0.46893, 0.30606}, {0.48156, 0.31095}},
                                                       {{0.61792, 0.15694}, {0.612, 0.15218}}};
    for (const auto& [from, to] : tips) {
        const std::vector<Cubic> tip = curvesBetween(apple, g, from, to);
        ASSERT_EQ(tip.size(), 1u);
        double sharpest = 0;
        for (double t = 0; t <= 1; t += 1.0 / 256) sharpest = std::max(sharpest, std::abs(curvatureAt(tip[0], t)));
        EXPECT_GT(sharpest, 400) << "tip from " << from.x << ", " << from.y;
    }
}

}  // namespace
