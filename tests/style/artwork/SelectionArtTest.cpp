// The parent- and child-selection pictures: fixed offsets from the frame's
// origin, colours of their own, a transparency layer and clip (parent) and a
// faint backdrop at its own alpha (child).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using gfx::RecordedOp;

constexpr const char* parent = "drawSelectParentWithFrame:";
constexpr const char* child = "drawSelectChildWithFrame:";
const gfx::Rect points{0, 0, 1, 1};  // extents below are in points from the frame's origin
constexpr int outlineSteps = 64;     // a segment, when outlines are compared

// The path without its curves of zero length (the child's device has one):
// sampled, such a curve is all rounding noise, which the crossing check would
// read as the outline crossing itself.
gfx::BezierPath withoutEmptyCurves(const gfx::BezierPath& path) {
    gfx::BezierPath out;
    gfx::Point current{};
    for (const gfx::PathElement& e : path.elements()) {
        switch (e.kind) {
            case gfx::PathElement::Kind::move: out.moveTo(current = e.points[0]); break;
            case gfx::PathElement::Kind::line: out.lineTo(current = e.points[0]); break;
            case gfx::PathElement::Kind::curve:
                if (e.points[0] != current || e.points[1] != current || e.points[2] != current)
                    out.curveTo(current = e.points[2], e.points[0], e.points[1]);
                break;
            case gfx::PathElement::Kind::close: out.close(); break;
        }
    }
    return out;
}

bool inside(const std::vector<gfx::Point>& polygon, gfx::Point p) {
    bool in = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const gfx::Point a = polygon[i], b = polygon[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) in = !in;
    }
    return in;
}

// No two fills touch, overlap or nest; the device and the hand come closest,
// `narrowest` apart (to two places).
void expectApart(const std::vector<Fill>& fills, std::size_t device, std::size_t hand, double narrowest) {
    std::vector<std::vector<gfx::Point>> outlines;
    for (const Fill& f : fills) outlines.push_back(outlineOf(f.path, outlineSteps));
    const double closest = narrowestGap(outlines[device], outlines[hand]);
    EXPECT_NEAR(closest, narrowest, 0.005);
    for (std::size_t i = 0; i < outlines.size(); ++i)
        for (std::size_t j = i + 1; j < outlines.size(); ++j) {
            SCOPED_TRACE("fills " + std::to_string(i + 1) + " and " + std::to_string(j + 1));
            EXPECT_FALSE(inside(outlines[i], outlines[j][0]));
            EXPECT_FALSE(inside(outlines[j], outlines[i][0]));
            const bool handAndDevice = i == std::min(device, hand) && j == std::max(device, hand);
            if (!handAndDevice) {
                EXPECT_GT(narrowestGap(outlines[i], outlines[j]), closest);
            }
        }
}

// Convex hull of a set of points: its lower and then its upper chain.
std::vector<gfx::Point> hullOf(std::vector<gfx::Point> points) {
    std::sort(points.begin(), points.end(),
              [](gfx::Point a, gfx::Point b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    auto cross = [](gfx::Point o, gfx::Point a, gfx::Point b) {
        return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
    };
    std::vector<gfx::Point> hull;
    for (int pass = 0; pass < 2; ++pass) {
        const std::size_t base = hull.size();
        for (gfx::Point p : points) {
            while (hull.size() >= base + 2 && cross(hull[hull.size() - 2], hull.back(), p) <= 0) hull.pop_back();
            hull.push_back(p);
        }
        hull.pop_back();
        std::reverse(points.begin(), points.end());
    }
    return hull;
}

// A smooth oval: no dent deeper than `dent` points into its convex hull, and
// no kink where its curves meet.
void expectSmoothOval(const gfx::BezierPath& path, double dent, const std::string& where) {
    SCOPED_TRACE(where);
    const std::vector<gfx::Point> outline = outlineOf(path, outlineSteps);
    const std::vector<gfx::Point> hull = hullOf(outline);
    double deepest = 0;
    for (gfx::Point p : outline) {
        double depth = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < hull.size(); ++i)
            depth = std::min(depth, distanceToSegment(p, hull[i], hull[(i + 1) % hull.size()]));
        deepest = std::max(deepest, depth);
    }
    EXPECT_LT(deepest, dent);
    const std::vector<gfx::PathElement>& e = path.elements();  // a move, curves, a close
    for (std::size_t i = 1; i + 1 < e.size(); ++i) {
        const gfx::Point before = e[i].points[1], at = e[i].points[2];
        const gfx::Point after = (i + 2 < e.size() ? e[i + 1] : e[1]).points[0];
        const double turn = std::atan2((at.x - before.x) * (after.y - at.y) - (at.y - before.y) * (after.x - at.x),
                                       (at.x - before.x) * (after.x - at.x) + (at.y - before.y) * (after.y - at.y));
        EXPECT_LT(std::abs(turn) * 180 / std::numbers::pi, 0.5) << "kink at (" << at.x << ", " << at.y << ")";
    }
}

bool rgbaIs(const gfx::ColorRef& c, double r, double g, double b, double a) {
    const gfx::RGBA v = c->rgba();
    return v.red == r && v.green == g && v.blue == b && v.alpha == a;
}

// An outline the fill closes: one subpath of curves that stops short of its start.
void expectOpenHead(const Fill& fill, gfx::Point end, const Bounds& extent) {
    const PathShape shape = analyse(fill.path);
    ASSERT_EQ(shape.subpaths.size(), 1u);
    EXPECT_EQ(shape.subpaths[0].counts(), std::make_pair(0, 5));
    EXPECT_EQ(shape.subpaths[0].selfCrossings, 0);
    EXPECT_EQ(fill.path.elements().back().kind, gfx::PathElement::Kind::curve) << "no closePath";
    EXPECT_EQ(fill.path.elements().back().points[2], end);
    EXPECT_NEAR(shape.bounds.minX, extent.minX, 0.006);
    EXPECT_NEAR(shape.bounds.minY, extent.minY, 0.006);
    EXPECT_NEAR(shape.bounds.maxX, extent.maxX, 0.006);
    EXPECT_NEAR(shape.bounds.maxY, extent.maxY, 0.006);
}

TEST(SelectParent, TwelveFillsInALayerUnderTheArtworkClip) {
    const Recording rec = record(parent, {0, 0, 100, 100});
    ASSERT_GE(rec.ops.size(), 4u);
    EXPECT_EQ(rec.ops[0].kind, RecordedOp::Kind::save);
    EXPECT_EQ(rec.ops[1].kind, RecordedOp::Kind::beginLayer);
    ASSERT_EQ(rec.ops[2].kind, RecordedOp::Kind::clip);
    EXPECT_EQ(rec.ops[2].path.elements(), gfx::BezierPath::rect({11, 12, 62.1, 57.95}).elements());
    EXPECT_EQ(rec.ops[rec.ops.size() - 2].kind, RecordedOp::Kind::endLayer);
    EXPECT_EQ(rec.ops.back().kind, RecordedOp::Kind::restore);
    EXPECT_EQ(rec.finalSaveDepth, 0);
    EXPECT_EQ(rec.finalFillColor, gfx::Color::blackColor());

    ASSERT_EQ(rec.fills.size(), 12u);
    const std::vector<std::pair<int, Shape>> outlines = {
        {2, {"other", "0+4*", {27.58, 60.74, 34.44, 67.75}}},   // small figure's right foot
        {3, {"other", "0+4*", {18.78, 61.86, 24.51, 69.98}}},   // its left foot
        {6, {"other", "0+4*", {55.92, 59.30, 63.33, 69.53}}},   // large figure's right foot
        {7, {"other", "0+4*", {44.40, 57.97, 53.23, 66.80}}},   // its left foot
        {8, {"other", "0+4*", {11.00, 55.33, 17.54, 60.63}}},   // small figure's arm
        {9, {"other", "0+4*", {66.00, 48.57, 73.10, 54.30}}},   // large figure's arm
        {10, {"other", "6+6*", {32.10, 27.61, 38.07, 37.06}}},  // device
        {11, {"other", "2+3*", {37.30, 29.60, 41.99, 36.17}}},  // hand
    };
    for (const auto& [i, shape] : outlines) checkShape(rec.fills[i], shape, points, "fill " + std::to_string(i + 1));
    expectOpenHead(rec.fills[4], {50.97, 26.71}, {46.83, 12.00, 62.65, 27.62});
    EXPECT_EQ(rec.fills[0].path.elements(), gfx::BezierPath::oval({16.1, 31.82, 10.1, 11.1}).elements());
    EXPECT_EQ(rec.fills[1].path.elements(), gfx::BezierPath::oval({16.1, 44.52, 14.9, 13.8}).elements());
    EXPECT_EQ(rec.fills[5].path.elements(), gfx::BezierPath::oval({40.9, 30.62, 25.1, 24.1}).elements());
    expectApart(rec.fills, 10, 11, 0.65);
    for (int i : {2, 3, 6, 7}) expectSmoothOval(rec.fills[i].path, 0.01, "foot, fill " + std::to_string(i + 1));
    // The arms' lower edges run nearly straight through three anchors in a row.
    for (int i : {8, 9}) expectSmoothOval(rec.fills[i].path, 0.05, "arm, fill " + std::to_string(i + 1));
    for (std::size_t i = 0; i < rec.fills.size(); ++i) {
        const bool isArm = i == 8 || i == 9;
        EXPECT_TRUE(isArm ? rgbaIs(rec.fills[i].color, 0.115, 0.598, 0.835, 1)
                          : rgbaIs(rec.fills[i].color, 0.102, 0.602, 0.838, 1))
            << "fill " << i + 1;
    }
}

TEST(SelectChild, BackdropAtItsOwnAlphaThenTheFigure) {
    gfx::RecordingContext context;
    context.setAlpha(0.5);
    gfx::pushContext(context);
    style::StyleKit::drawSelectChildWithFrame({0, 0, 100, 100});
    gfx::popContext();
    const std::vector<RecordedOp> fills = context.opsOf(RecordedOp::Kind::fill);
    ASSERT_EQ(fills.size(), 7u);
    EXPECT_EQ(fills[0].state.alpha, 0.28);
    EXPECT_EQ(fills[0].path.elements(), gfx::BezierPath::oval({5, 5.04, 70.1, 69.8}).elements());
    for (std::size_t i = 1; i < fills.size(); ++i) EXPECT_EQ(fills[i].state.alpha, 0.5) << "fill " << i + 1;
    for (const RecordedOp& f : fills) EXPECT_TRUE(rgbaIs(f.state.fillColor, 1, 1, 1, 1));
    EXPECT_EQ(fills[0].state.fillColor, fills[6].state.fillColor) << "one colour for all";
    // Alpha and depth are the caller's again; the fill colour stays the routine's white.
    EXPECT_EQ(context.state().alpha, 0.5);
    EXPECT_EQ(context.saveDepth(), 0);
    EXPECT_EQ(context.state().fillColor, fills[6].state.fillColor);

    const Recording rec = record(child, {0, 0, 100, 100});
    ASSERT_EQ(rec.fills.size(), 7u);
    EXPECT_EQ(analyse(rec.fills[5].path).subpaths.at(0).counts(), std::make_pair(5, 6));
    const std::vector<std::pair<int, Shape>> outlines = {
        {3, {"other", "0+4*", {52.58, 43.96, 63.65, 52.34}}},   // upper foot
        {4, {"other", "0+4*", {43.73, 55.31, 55.58, 62.56}}},   // lower foot
        {5, {"other", "5+5*", {52.59, 25.25, 62.87, 41.03}}},   // device, less its empty curve
        // The hand's outline is given in full; its leftmost point is 49.385.
        {6, {"other", "2+3*", {49.385, 31.32, 54.08, 37.28}}},  // hand
    };
    for (auto [i, shape] : outlines) {
        checkShape({withoutEmptyCurves(rec.fills[i].path), rec.fills[i].color}, shape, points,
                   "fill " + std::to_string(i + 1));
    }
    expectOpenHead(rec.fills[1], {33.61, 30.45}, {29.42, 14.98, 45.41, 31.47});
    // Above the backdrop, which holds them all.
    expectApart({rec.fills.begin() + 1, rec.fills.end()}, 4, 5, 0.74);
    for (int i : {3, 4}) expectSmoothOval(rec.fills[i].path, 0.01, "foot, fill " + std::to_string(i + 1));
    EXPECT_EQ(rec.fills[2].path.elements(), gfx::BezierPath::oval({20, 33.14, 23.3, 25.3}).elements());
}

TEST(SelectionArt, OnlyTheFramesOriginCounts) {
    for (const char* message : {parent, child}) {
        SCOPED_TRACE(message);
        const Recording small = record(message, {0, 0, 10, 10});
        const Recording large = record(message, {0, 0, 100, 100});
        const Recording flipped = record(message, {100, 0, -100, 50});
        const Recording moved = record(message, {0.25, 10.5, 80, 80});
        ASSERT_EQ(small.fills.size(), large.fills.size());
        for (std::size_t i = 0; i < large.fills.size(); ++i) {
            EXPECT_EQ(small.fills[i].path.elements(), large.fills[i].path.elements());
            EXPECT_EQ(flipped.fills[i].path.elements(), large.fills[i].path.elements());
            // Moved by exactly the origin's fractions, nothing snapped.
            const gfx::Point a = large.fills[i].path.elements()[0].points[0];
            const gfx::Point b = moved.fills[i].path.elements()[0].points[0];
            EXPECT_NEAR(b.x - a.x, 0.25, 1e-12);
            EXPECT_NEAR(b.y - a.y, 10.5, 1e-12);
        }
    }
}

TEST(SelectionArt, PixelsAtThreeScales) {
    const auto figure = gfx::Color::rgba(0.102, 0.602, 0.838, 1), clear = gfx::Color::rgba(0, 0, 0, 0);
    const auto white = gfx::Color::rgba(1, 1, 1, 1), faint = gfx::Color::rgba(1, 1, 1, 0.28);
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef p = render(parent, {80, 80}, 0, scale);
        EXPECT_TRUE(pixelIs(p, 54.5, 19.5, figure)) << "large head";
        EXPECT_TRUE(pixelIs(p, 53, 45, figure)) << "large body";
        EXPECT_TRUE(pixelIs(p, 54.5, 29, clear)) << "between head and body";
        EXPECT_TRUE(pixelIs(p, 34.5, 32, figure)) << "device";
        EXPECT_TRUE(pixelIs(p, 8, 58, clear)) << "left of the artwork";
        EXPECT_TRUE(pixelIs(p, 76, 76, clear)) << "the image's spare corner";
        // A smaller image cuts the picture off at its right and bottom.
        const gfx::ImageRef cut = render(parent, {50, 50}, 0, scale);
        EXPECT_TRUE(pixelIs(cut, 45, 40, figure));

        const gfx::ImageRef c = render(child, {80, 80}, 0, scale);
        EXPECT_TRUE(pixelIs(c, 31.5, 45.5, white)) << "body";
        EXPECT_TRUE(pixelIs(c, 37.5, 23.5, white)) << "head";
        EXPECT_TRUE(pixelIs(c, 12.5, 40.5, faint)) << "backdrop";
        EXPECT_TRUE(pixelIs(c, 37.5, 32.5, faint)) << "between head and body";
        EXPECT_TRUE(pixelIs(c, 2.5, 2.5, clear)) << "outside the backdrop";
    }
}

}  // namespace
