// The Tallis and Vorn Home reverse logos: their layers against the stated
// table, the group rectangles with their own edge rounding, the emblem the
// two share with the gaps between its blades, and pixels of rendered images.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using gfx::Point;
using gfx::Rect;
using style::StyleKit;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();  // no first point stated

// Within half a unit of the last stated place, a figure on that edge
// counting as a miss: it would round the other way.
constexpr double fourthPlace = 0.5e-4 - 1e-12;
constexpr double fifthPlace = 0.5e-5 - 1e-12;

constexpr const char* tallis = "drawLogoReverseTallisWithFrame:";
constexpr const char* vornHome = "drawLogoReverseVornHomeWithFrame:";

// One filled layer: its colour, its subpaths ("lines+curves" and direction,
// as in Shape) and each outline's extent and stated first point.
struct Layer {
    const char* color;
    const char* subpaths;
    std::vector<Piece> outlines;
};

const std::vector<Layer>& tallisLayers() {
    static const std::vector<Layer> table = {
        {"whiteColor", "0+5a", {{0.23650, 0.36267, {0.1422, 0.0112, 0.2619, 0.6505}}}},
        {"grey2", "0+4a", {{0.13482, 1.0, {0.0764, 0.6674, 0.2707, 1.0}}}},
        {"whiteColor", "0+5a", {{0.16490, 0.19631, {0.0691, 0.0, 0.1796, 0.6364}}}},
        {"whiteColor", "0+6a", {{0.13166, 0.44589, {0.0, 0.4459, 0.1317, 0.9774}}}},
        {"whiteColor", "0+5a", {{0.13438, 0.42737, {0.0001, 0.2132, 0.1344, 0.7509}}}},
        {"grey1", "1+5a", {{0.10397, 0.66627, {0.1040, 0.5817, 0.2754, 0.8662}}}},
        {"white", "6+25a 11+13a 0+4c 5+4a 7+6a 13+6a",
         {{0.36072, 0.29851, {0.3094, 0.1516, 0.4408, 0.8444}},
          {0.57783, 0.33998, {0.4426, 0.3400, 0.6350, 0.8443}},
          {0.71109, 0.72222, {0.6758, 0.4688, 0.7464, 0.7222}},
          {0.75705, 0.40368, {0.6410, 0.3428, 0.7944, 0.8482}},
          {0.84292, 0.45842, {0.8069, 0.3407, 0.8931, 0.8445}},
          {0.95378, 0.59329, {0.8991, 0.1562, 1.0, 0.8443}}}},
    };
    return table;
}

const std::vector<Layer>& vornHomeLayers() {
    static const std::vector<Layer> table = {
        {"whiteColor", "0+5a", {{0.24145, 0.26038, {0.14515, 0.00802, 0.26734, 0.46702}}}},
        {"grey2", "0+4a", {{0.13764, 0.71797, {0.07799, 0.47919, 0.27634, 0.71797}}}},
        {"whiteColor", "0+5a", {{0.16835, 0.14094, {0.07059, 0.0, 0.18337, 0.45689}}}},
        {"whiteColor", "0+6a", {{0.13442, 0.32013, {0.0, 0.32013, 0.13442, 0.70172}}}},
        {"whiteColor", "0+5a", {{0.13719, 0.30684, {0.00009, 0.15305, 0.13719, 0.53915}}}},
        {"grey1", "1+5a", {{0.10614, 0.47836, {0.10614, 0.41763, 0.28117, 0.62187}}}},
        {"whiteColor", "7+1a 6+0a 3+6c 6+6a 1+4c 5+4a",
         {{0.93930, 0.60334, {0.83485, 0.09891, 1.0, 0.60334}},
          {nan, nan, {0.49652, 0.09891, 0.62953, 0.60334}},
          {nan, nan, {0.36302, 0.19553, 0.43204, 0.37054}},
          {nan, nan, {0.31620, 0.09891, 0.47852, 0.60334}},
          {nan, nan, {0.68762, 0.19622, 0.78769, 0.50603}},
          {nan, nan, {0.64887, 0.09891, 0.83366, 0.60334}}}},
        {"white", "0+5a 0+9c 13+15c 1+4a 3+12c 12+0a",
         {{0.72006, 0.90236, {0.72006, 0.83800, 0.75401, 0.96738}},
          {nan, nan, {0.70548, 0.80540, 0.76859, 1.0}},
          {nan, nan, {0.77981, 0.80540, 0.87807, 0.99660}},
          {nan, nan, {0.90363, 0.83562, 0.93389, 0.88282}},
          {nan, nan, {0.88880, 0.80540, 0.94782, 1.0}},
          {nan, nan, {0.62331, 0.74833, 0.69281, 0.99660}}}},
    };
    return table;
}

// Each layer's outlines against the table, their extents to within `tolerance`.
void checkLayers(const char* message, const std::vector<Layer>& layers, const Rect& frame, const Rect& group,
                 double tolerance) {
    SCOPED_TRACE(message);
    const Recording rec = record(message, frame);
    EXPECT_EQ(rec.otherOps, 0) << "fills only: no save, transform, clip, shadow or stroke";
    EXPECT_EQ(rec.finalSaveDepth, 0);
    ASSERT_EQ(rec.fills.size(), layers.size());
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const std::string where = "layer " + std::to_string(i + 1);
        Shape shape{layers[i].color, layers[i].subpaths, layers[i].outlines.front().extent};
        for (const Piece& o : layers[i].outlines) {
            Bounds& e = shape.extent;
            e = {std::min(e.minX, o.extent.minX), std::min(e.minY, o.extent.minY), std::max(e.maxX, o.extent.maxX),
                 std::max(e.maxY, o.extent.maxY)};
        }
        checkShape(rec.fills[i], shape, group, where);
        checkPieces(rec.fills[i].path, layers[i].outlines, group, where, tolerance);
    }
    EXPECT_EQ(colorName(rec.finalFillColor), "white") << "the palette's white stays set";
}

TEST(ReverseLogos, LayersAsStated) {
    checkLayers(tallis, tallisLayers(), {0, 0, 200, 100}, {7, 28, 190, 52.77}, fourthPlace);
    checkLayers(tallis, tallisLayers(), {0, 0, 260, 130}, {9, 36, 247, 68.77}, fourthPlace);
    checkLayers(vornHome, vornHomeLayers(), {0, 0, 200, 100}, {7, 14, 186.1, 73.5}, fifthPlace);
    checkLayers(vornHome, vornHomeLayers(), {0, 0, 400, 200}, {14, 28, 372.1, 146.5}, fifthPlace);
}

// The group rectangle, solved from the first points of two layers whose
// fractions are known; read as a standardised rectangle.
Rect groupOf(const char* message, const Rect& frame, std::size_t a, Point fa, std::size_t b, Point fb) {
    const Recording rec = record(message, frame);
    const Point pa = rec.fills.at(a).path.elements().front().points[0];
    const Point pb = rec.fills.at(b).path.elements().front().points[0];
    const double width = (pb.x - pa.x) / (fb.x - fa.x), height = (pb.y - pa.y) / (fb.y - fa.y);
    return {pa.x - width * fa.x, pa.y - height * fa.y, width, height};
}

Rect tallisGroupOf(const Rect& frame) { return groupOf(tallis, frame, 0, {0.23650, 0.36267}, 6, {0.36072, 0.29851}); }
Rect vornHomeGroupOf(const Rect& frame) { return groupOf(vornHome, frame, 0, {0.24145, 0.26038}, 6, {0.93930, 0.60334}); }

void expectRect(const Rect& got, const Rect& want) {
    EXPECT_NEAR(got.origin.x, want.origin.x, 1e-9);
    EXPECT_NEAR(got.origin.y, want.origin.y, 1e-9);
    EXPECT_NEAR(got.size.width, want.size.width, 1e-9);
    EXPECT_NEAR(got.size.height, want.size.height, 1e-9);
}

TEST(ReverseLogos, TallisGroupEdges) {
    expectRect(tallisGroupOf({0, 0, 200, 100}), {7, 28, 190, 52.77});
    const Point first = record(tallis, {0, 0, 200, 100}).fills[0].path.elements().front().points[0];
    EXPECT_NEAR(first.x, 51.935, 1e-9);
    EXPECT_NEAR(first.y, 47.1381, fourthPlace);
    expectRect(tallisGroupOf({0, 0, 260, 130}), {9, 36, 247, 68.77});
    // 50 x 0.80769 = 40.38: the bottom goes to 40.77, not back to 39.77.
    expectRect(tallisGroupOf({0, 0, 100, 50}), {4, 14, 95, 26.77});
    // One point high: top on the frame's top, bottom 0.77 below it.
    expectRect(tallisGroupOf({0, 5, 200, 1}), {7, 5, 190, 0.77});
    // No height: the bottom edge lies 0.23 above the top; the logo stands
    // upright in that band.
    expectRect(tallisGroupOf({0, 5, 200, 0}), {7, 4.77, 190, 0.23});
    const Recording flat = record(tallis, {0, 5, 200, 0});
    const Bounds apex = analyse(flat.fills[2].path).bounds;  // the top blade holds the apex
    EXPECT_NEAR(apex.minY, 4.77, 1e-9);
    // No width: everything collapses onto the frame's left edge.
    for (const Fill& fill : record(tallis, {3, 0, 0, 100}).fills) {
        const Rect r = fill.path.controlPointBounds();
        EXPECT_EQ(r.minX(), 3);
        EXPECT_EQ(r.width(), 0);
    }
}

TEST(ReverseLogos, VornHomeGroupEdges) {
    expectRect(vornHomeGroupOf({0, 0, 200, 100}), {7, 14, 186.1, 73.5});
    const Point first = record(vornHome, {0, 0, 200, 100}).fills[0].path.elements().front().points[0];
    EXPECT_NEAR(first.x, 51.933845, 1e-9);
    EXPECT_NEAR(first.y, 33.13793, 1e-9);
    // Not twice the group of the 200 x 100 frame: the right and bottom edges round on their own.
    expectRect(vornHomeGroupOf({0, 0, 400, 200}), {14, 28, 372.1, 146.5});
    // The frame's origin is added unchanged.
    expectRect(vornHomeGroupOf({10.5, 20.25, 200, 100}), {17.5, 34.25, 186.1, 73.5});
    expectRect(vornHomeGroupOf({0, 0, 1, 1}), {0, 0, 1.1, 0.5});
    // 100 x 0.96551 = 96.551 puts the right edge at 96.1, not 97.1; 50 x 0.87498
    // = 43.749 puts the bottom edge at 43.5, not 44.5.
    expectRect(vornHomeGroupOf({0, 0, 100, 50}), {4, 7, 92.1, 36.5});
    // An empty frame still fills all eight layers, inside a 0.1 x 0.5 group.
    const Recording empty = record(vornHome, {0, 0, 0, 0});
    ASSERT_EQ(empty.fills.size(), 8u);
    for (const Fill& fill : empty.fills) {
        const Bounds ink = analyse(fill.path).bounds;
        EXPECT_GE(ink.minX, -1e-12);
        EXPECT_GE(ink.minY, -1e-12);
        EXPECT_LE(ink.maxX, 0.1 + 1e-12);
        EXPECT_LE(ink.maxY, 0.5 + 1e-12);
    }
}

TEST(ReverseLogos, BothDrawOneEmblem) {
    // At 200 x 100 the Tallis blades are the Vorn Home blades moved 14 points down.
    const Recording t = record(tallis, {0, 0, 200, 100});
    const Recording v = record(vornHome, {0, 0, 200, 100});
    for (std::size_t blade = 0; blade < 6; ++blade) {
        SCOPED_TRACE("blade " + std::to_string(blade + 1));
        EXPECT_EQ(t.fills[blade].color, v.fills[blade].color);
        const auto& te = t.fills[blade].path.elements();
        const auto& ve = v.fills[blade].path.elements();
        ASSERT_EQ(te.size(), ve.size());
        for (std::size_t i = 0; i < te.size(); ++i)
            for (int k = 0; k < 3; ++k) {
                if (te[i].kind == gfx::PathElement::Kind::close) continue;
                if (te[i].kind != gfx::PathElement::Kind::curve && k > 0) continue;
                EXPECT_NEAR(te[i].points[k].x, ve[i].points[k].x, 0.003);
                EXPECT_NEAR(te[i].points[k].y, ve[i].points[k].y + 14, 0.003);
            }
    }
}

TEST(ReverseLogos, GapsBetweenBlades) {
    // Clockwise around the centre, each blade beside the next and the last
    // beside the first.
    const std::vector<int> ring = {3, 1, 6, 2, 4, 5};
    const auto neighbours = [&](int a, int b) {
        const auto i = std::find(ring.begin(), ring.end(), a) - ring.begin();
        const auto j = std::find(ring.begin(), ring.end(), b) - ring.begin();
        return (i + 1) % 6 == j || (j + 1) % 6 == i;
    };
    // The gaps are 0.0026 to 0.0044 of the Tallis group's 190 points; the
    // Vorn Home blades are the same drawing, so they keep the same gaps in points.
    const double width = 190;
    for (const char* message : {tallis, vornHome}) {
        SCOPED_TRACE(message);
        const Recording rec = record(message, {0, 0, 200, 100});
        std::vector<std::vector<Point>> blades;
        for (int i = 0; i < 6; ++i) blades.push_back(outlineOf(rec.fills[i].path, 200));
        for (int a = 1; a <= 6; ++a)
            for (int b = a + 1; b <= 6; ++b) {
                const double gap = narrowestGap(blades[a - 1], blades[b - 1]) / width;
                SCOPED_TRACE("blades " + std::to_string(a) + " and " + std::to_string(b) + ": gap " +
                             std::to_string(gap));
                if (neighbours(a, b)) {
                    EXPECT_GT(gap, 0.0026 - fourthPlace);
                    EXPECT_LT(gap, 0.0044 + fourthPlace);
                } else {
                    EXPECT_GT(gap, 0.0044) << "blades that are not neighbours lie further apart";
                }
            }
    }
}

TEST(ReverseLogos, PixelsAtEachScale) {
    const gfx::ColorRef white = gfx::Color::whiteColor();
    const gfx::ColorRef darkGrey = StyleKit::grey2();
    const gfx::ColorRef lightGrey = StyleKit::grey1();
    // Emblem points of both logos, in points from the group's corner.
    struct Probe {
        double x, y;
        gfx::ColorRef color;  // null: transparent
    };
    const std::vector<Probe> emblem = {
        {41, 22, white}, {24, 10, white}, {8, 28, white}, {8, 46, white},  // the white blades
        {30, 46, darkGrey}, {44, 38.5, lightGrey},                       // the grey blades
        {27, 30.5, nullptr},                                            // the open centre
    };
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef t = render(tallis, {200, 100}, 0, scale);
        const gfx::ImageRef v = render(vornHome, {200, 100}, 0, scale);
        for (const Probe& p : emblem) {
            SCOPED_TRACE(std::to_string(p.x) + ", " + std::to_string(p.y));
            if (p.color) {
                EXPECT_TRUE(pixelIs(t, 7 + p.x, 28 + p.y, p.color));
                EXPECT_TRUE(pixelIs(v, 7 + p.x, 14 + p.y, p.color));
            } else {
                EXPECT_EQ(t->pixelAtPoint(7 + p.x, 28 + p.y).a, 0);
                EXPECT_EQ(v->pixelAtPoint(7 + p.x, 14 + p.y).a, 0);
            }
        }
        // Letters: stems filled, counters open, no background anywhere.
        EXPECT_TRUE(pixelIs(t, 154.4, 68, white));     // a, stem
        EXPECT_EQ(t->pixelAtPoint(142.1, 59.4).a, 0);  // a, counter
        EXPECT_EQ(t->pixelAtPoint(100, 10).a, 0);
        EXPECT_TRUE(pixelIs(v, 103.7, 40, white));     // L, stem
        EXPECT_EQ(v->pixelAtPoint(80.8, 34.8).a, 0);   // R, counter
        EXPECT_TRUE(pixelIs(v, 124.3, 74, white));     // H of Home, left stem
        EXPECT_EQ(v->pixelAtPoint(144.2, 80.3).a, 0);  // o of Home, counter
        EXPECT_EQ(v->pixelAtPoint(100, 95).a, 0);
    }
}

}  // namespace
