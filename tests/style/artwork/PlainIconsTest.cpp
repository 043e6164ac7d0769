// The plain icons on the recording backend against a table of what each
// picture must be (fill order and colours per flag value, subpaths with their
// directions, first points and extents, fill rule), then the fixed-size
// pieces, worked points, pixels of rendered images and the chevron's tip.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"
#include "style/ImageKind.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

// Half a unit of the last decimal the extents are written with (and a hair
// for rounding): they are true outline bounds, curve extrema included.
constexpr double places4 = 0.5e-4 + 1e-12;
constexpr double places5 = 0.5e-5 + 1e-12;

struct Layer {
    Shape shape;  // with the flag set, or the only colour
    std::vector<Piece> pieces;
};

struct PlainRow {
    const char* message;
    const char* clearColor;  // the fill's colour with the flag clear; nullptr: no flag
    gfx::Rect reference;     // for the frame (0, 0, 100, 100)
    bool square;             // a fixed 44-point square is filled first
    std::vector<Layer> layers;
    double precision = places4;  // of the pieces' extents, in fractions of the reference
};

// The gauge's offsets are points; its table is in fractions of its 44-point design.
Bounds points(double x0, double y0, double x1, double y1) { return {x0 / 44, y0 / 44, x1 / 44, y1 / 44}; }
Piece dot(double x, double y, double x0, double y0, double x1, double y1) {
    return {x / 44, y / 44, points(x0, y0, x1, y1)};
}

const std::vector<PlainRow>& rows() {
    const gfx::Rect frame{0, 0, 100, 100};
    static const std::vector<PlainRow> table = {
        {"drawIconAddWithFrame:dark:", "bvBlue", frame, false,
         {{{"bvBlueDark", "4+14c", {-0.00003, -0.00003, 0.99997, 0.99997}},
           {{0.62487, 0.12486, {-0.00003, -0.00003, 0.99997, 0.99997}}}}},
         places5},
        {"drawIconTickWithFrame:colored:", "white", frame, false,
         {{{"bvBlue", "4+8a", {0.0250, 0.1001, 0.9637, 0.8847}},
           {{0.92653, 0.12127, {0.0250, 0.1001, 0.9637, 0.8847}}}}}},
        {"drawIconDownChevronWithFrame:", nullptr, frame, false,
         {{{"grey3", "14+9c", {0.0002, -0.000025, 0.9815, 0.95462}},
           {{0.96538, 0.16279, {0.0002, -0.000025, 0.9815, 0.95462}}}}}},
        {"drawIconToDoExampleWithFrame:", nullptr, {11, 5, 87, 90}, false,
         {{{"grey2", "12+8a 4+2a", {0, 0.0667, 0.7586, 1}},
           {{0.75862, 0.78031, {0, 0.0667, 0.7586, 0.8231}}, {0.37931, 1, {0.2671, 0.8901, 0.4916, 1}}}},
          {{"grey2", "6+2a 0+6c", {0.5517, 0, 1, 0.4333}},
           {{0.80439, 0.1, {0.7105, 0.1, 0.8044, 0.35}}, {1, 0.21667, {0.5517, 0, 1, 0.4333}}}}}},
        {"drawIconAppStoreWithFrame:", nullptr, frame, true,
         {{{"white", "2+4a 7+6a 8+7a", {0.0909, 0.1362, 0.8905, 0.8484}},
           {{0.19694, 0.70135, {0.1516, 0.6963, 0.3001, 0.8484}},
            {0.83601, 0.58019, {0.5265, 0.332, 0.8905, 0.8484}},
            {0.54822, 0.58019, {0.0909, 0.1362, 0.6065, 0.6877}}}}}},
        {"drawIconGooglePlayWithFrame:", nullptr, frame, true,
         {{{"whiteColor", "3+1a 3+2a 4+2a 3+2a", {0.1821, 0.1364, 0.8639, 0.8643}},
           {{0.32043, 0.14848, {0.2341, 0.1364, 0.658, 0.467}},
            {0.19466, 0.19011, {0.1821, 0.1901, 0.5218, 0.8136}},
            {0.81835, 0.42711, {0.5932, 0.3699, 0.8639, 0.6179}},
            {0.56038, 0.49775, {0.2329, 0.4977, 0.6941, 0.8643}}}}}},
        {"drawIconDashboardGreyWithFrame:", nullptr, {0, 0, 44, 44}, false,
         {{{"grey2", "1+12a 0+8c 0+8c 0+8c 2+12c 0+8c 0+8c", points(2, 5.82, 42, 37.5)},
           {dot(40.42, 18.15, 2, 5.82, 42, 37.5), dot(19.98, 9.54, 19.14, 8.7, 24.86, 14.46),
            dot(9.73, 28.01, 4.86, 23.1, 10.57, 28.86), dot(14.02, 17.93, 9.14, 13.02, 14.86, 18.78),
            dot(26.67, 18.12, 17.7, 16.31, 26.71, 34.63), dot(29.98, 17.93, 29.14, 13.02, 34.86, 18.78),
            dot(38.31, 28.01, 33.43, 23.1, 39.14, 28.86)}}},
         0.005 / 44 + 1e-12},  // points, to two places
        {"drawIconSettingsWithFrame:", nullptr, frame, false,
         {{{"bvBlue", "1+41a 0+4c", {0.25, 0.255, 0.745, 0.755}, true},
           {{0.74345, 0.47724, {0.25, 0.255, 0.745, 0.755}}, {0.49791, 0.58892, {0.4153, 0.4221, 0.5805, 0.5889}}}}}},
    };
    return table;
}

TEST(PlainIconTable, FillsColoursStructureAndExtents) {
    for (const PlainRow& row : rows()) {
        for (long flag : {0L, 1L, 2L, 3L}) {  // only the lowest bit counts
            if (!row.clearColor && flag > 0) break;
            const std::string where = std::string(row.message) + " flag " + std::to_string(flag);
            SCOPED_TRACE(where);
            const Recording rec = record(row.message, {0, 0, 100, 100}, flag);
            EXPECT_EQ(rec.otherOps, 0) << "plain icons neither save, transform, clip nor stroke";
            ASSERT_EQ(rec.fills.size(), row.layers.size() + (row.square ? 1 : 0));
            std::size_t i = 0;
            if (row.square) {
                EXPECT_EQ(colorName(rec.fills[0].color), "bvBlue");
                EXPECT_EQ(rec.fills[0].path.elements(), gfx::BezierPath::rect({0, 0, 44, 44}).elements());
                i = 1;
            }
            for (const Layer& layer : row.layers) {
                Shape shape = layer.shape;
                if (row.clearColor && !(flag & 1)) shape.color = row.clearColor;
                checkShape(rec.fills[i], shape, row.reference, where);
                checkPieces(rec.fills[i].path, layer.pieces, row.reference, where, row.precision);
                ++i;
            }
            EXPECT_EQ(rec.fills.back().color, rec.finalFillColor);
            EXPECT_EQ(rec.finalSaveDepth, 0);
        }
        const StyleKit::Routine* r = StyleKit::routine(row.message);
        EXPECT_EQ(StyleKit::performImage(r->imageMessage, {30, 20}, 1)->size(), (gfx::Size{30, 20}));
        // A negative size draws the standardised frame.
        const Recording flipped = record(row.message, {60, 70, -44, -50}, 1);
        const Recording plain = record(row.message, {16, 20, 44, 50}, 1);
        ASSERT_EQ(flipped.fills.size(), plain.fills.size());
        for (std::size_t i = 0; i < plain.fills.size(); ++i)
            EXPECT_EQ(flipped.fills[i].path.elements(), plain.fills[i].path.elements());
    }
}

gfx::Point firstPoint(const Fill& fill) { return fill.path.elements().front().points[0]; }

TEST(PlainIcons, WorkedPointsAndGroups) {
    EXPECT_EQ(firstPoint(record("drawIconTickWithFrame:colored:", {0, 0, 100, 100}, 1).fills[0]),
              (gfx::Point{0.92653 * 100, 0.12127 * 100}));
    const gfx::Point moved = firstPoint(record("drawIconTickWithFrame:colored:", {10, 20, 40, 40}, 1).fills[0]);
    EXPECT_NEAR(moved.x, 47.0612, 1e-9);
    EXPECT_NEAR(moved.y, 24.8508, 1e-9);
    // The plus's top tip lies just above the frame; the chevron's inner vertex and lowest point.
    EXPECT_TRUE(hasAnchor(record("drawIconAddWithFrame:dark:", {0, 0, 100, 100}).fills[0].path, {49.998, -0.003}));
    const gfx::BezierPath chevron = record("drawIconDownChevronWithFrame:", {0, 0, 100, 100}).fills[0].path;
    EXPECT_TRUE(hasAnchor(chevron, {49.086, 72.387}));
    // Its end caps rise just above the frame, its tip dips just below its end points.
    const Bounds chevronBounds = analyse(chevron).bounds;
    EXPECT_NEAR(chevronBounds.maxY / 100, 0.95462, places5);
    EXPECT_NEAR(chevronBounds.minY / 100, -0.000025, 0.5e-6 + 1e-12);
    // The bell's group is (5, 2, 38, 40) in 44 points: the badge disc and the clapper's lowest point.
    const Recording bell = record("drawIconToDoExampleWithFrame:", {0, 0, 44, 44});
    const Bounds disc = analyse(subpathsOf(bell.fills[1].path)[1]).bounds;
    for (auto [got, want] : {std::pair{disc.minX, 25.96536}, {disc.maxX, 43.0}, {disc.minY, 2.0}, {disc.maxY, 19.3332}})
        EXPECT_NEAR(got, want, 1e-4);
    EXPECT_EQ(analyse(bell.fills[0].path).bounds.maxY, 42);
    EXPECT_EQ(firstPoint(record("drawIconToDoExampleWithFrame:", {0, 0, 22, 22}).fills[1]),
              (gfx::Point{3 + 18 * 0.80439, 1 + 20 * 0.1}));  // group (3, 1, 18, 20)
}

TEST(PlainIcons, FixedSizePiecesIgnoreTheFrameSize) {
    // The store badges keep their 44-point square at the frame's origin; only the glyph scales.
    for (const char* message : {"drawIconAppStoreWithFrame:", "drawIconGooglePlayWithFrame:"}) {
        for (const gfx::Rect& frame : {gfx::Rect{0, 0, 88, 88}, gfx::Rect{5, 6, 20, 20}, gfx::Rect{5, 6, 0, 0}}) {
            SCOPED_TRACE(std::string(message) + " " + std::to_string(frame.size.width));
            const Recording rec = record(message, frame);
            EXPECT_EQ(rec.fills[0].path.controlPointBounds(), (gfx::Rect{frame.minX(), frame.minY(), 44, 44}));
            const Bounds glyph = analyse(rec.fills[1].path).bounds;
            EXPECT_TRUE(glyph.minX >= frame.minX() && glyph.maxX <= frame.maxX());
        }
    }
    // The gauge is 40 x 31.68 points in any frame and moves with its origin.
    const Bounds design = analyse(record("drawIconDashboardGreyWithFrame:", {0, 0, 44, 44}).fills[0].path).bounds;
    EXPECT_NEAR(design.maxX - design.minX, 40, 0.01);
    EXPECT_NEAR(design.maxY - design.minY, 31.68, 0.01);
    const Bounds moved = analyse(record("drawIconDashboardGreyWithFrame:", {7, 9, 20, 20}).fills[0].path).bounds;
    EXPECT_NEAR(moved.minX, design.minX + 7, 1e-9);
    EXPECT_NEAR(moved.maxY, design.maxY + 9, 1e-9);
}

TEST(PlainIconPixels, HolesStayClearAtEveryScale) {
    struct Probe {
        const char* message;
        long flag;
        double x, y;           // in a `side` x `side` picture
        const char* expected;  // a colour name, or nullptr for a transparent pixel
        double side = 44;
    };
    const Probe probes[] = {
        {"drawIconAddWithFrame:dark:", 1, 22, 22, "bvBlueDark"},
        {"drawIconAddWithFrame:dark:", 0, 5, 5, nullptr},                 // between the arms
        {"drawIconTickWithFrame:colored:", 0, 18.9, 34.5, "white"},       // white on nothing
        {"drawIconDownChevronWithFrame:", 0, 21.6, 15, nullptr},          // inside the V
        {"drawIconToDoExampleWithFrame:", 0, 79.5, 25, nullptr, 100},     // the count's stem, a hole
        {"drawIconToDoExampleWithFrame:", 0, 89, 25, "grey2", 100},       // the badge beside it
        {"drawIconToDoExampleWithFrame:", 0, 19.4, 35.1, nullptr},        // between rim and clapper
        {"drawIconAppStoreWithFrame:", 0, 12, 27.9, "white"},             // cross bar
        {"drawIconGooglePlayWithFrame:", 0, 9, 22, "whiteColor"},         // left strip
        {"drawIconDashboardGreyWithFrame:", 0, 22, 11.58, nullptr},       // top dot
        {"drawIconDashboardGreyWithFrame:", 0, 22, 30.3, nullptr},        // hub
        {"drawIconDashboardGreyWithFrame:", 0, 22, 20, "grey2"},          // dial
        {"drawIconSettingsWithFrame:", 0, 21.9, 22.2, nullptr},           // the cog's hole
        {"drawIconSettingsWithFrame:", 0, 22, 15, "bvBlue"},              // its ring
    };
    for (double scale : {1.0, 2.0, 3.0}) {
        for (const Probe& p : probes) {
            SCOPED_TRACE(std::string(p.message) + " at " + std::to_string(p.x) + ", " + std::to_string(p.y) +
                         " scale " + std::to_string(scale));
            const gfx::ImageRef image = render(p.message, {p.side, p.side}, p.flag, scale);
            if (!p.expected) {
                EXPECT_EQ(image->pixelAtPoint(p.x, p.y).a, 0);
            } else {
                const std::string name = p.expected;
                const gfx::ColorRef color = name == "whiteColor" ? gfx::Color::whiteColor() : StyleKit::color(name);
                EXPECT_TRUE(pixelIs(image, p.x, p.y, color));
            }
        }
    }
    // The settings image kind is the plain cog, with a quarter of the side free on each edge.
    const gfx::ImageRef cog = style::ImageKind(style::ImageKind::Case::settings).image({40, 40});
    EXPECT_TRUE(pixelIs(cog, 20, 13, StyleKit::bvBlue()));
    EXPECT_EQ(cog->pixelAtPoint(9, 20).a, 0);
}

// The chevron's rounded tip: its right side, from the end of the arm's outer
// edge to the flat bottom, mirrors the left side and the edge above it (about
// the bottom's middle) and turns no tighter than the left does anywhere.
TEST(PlainIconCurves, ChevronTipSidesMirrorEachOther) {
    const gfx::Rect frame{0, 0, 100, 100};
    const gfx::BezierPath chevron = record("drawIconDownChevronWithFrame:", frame).fills[0].path;
    const std::vector<Cubic> right = curvesBetween(chevron, frame, {0.5346, 0.91659}, {0.49113, 0.95461});
    const std::vector<Cubic> left = curvesBetween(chevron, frame, {0.49021, 0.95461}, {0.45183, 0.92682});
    ASSERT_FALSE(right.empty());
    ASSERT_EQ(left.size(), 1u);
    const double axis = (0.49021 + 0.49113) / 2;
    std::vector<gfx::Point> leftSide;
    double leftTightest = 0;
    for (double t = 0; t <= 1; t += 1.0 / 64) {
        leftSide.push_back(pointAt(left[0], t));
        leftTightest = std::max(leftTightest, std::abs(curvatureAt(left[0], t)));
    }
    leftSide.push_back({0.01614, 0.1627});  // on up the arm's outer edge, where the right's first curve faces
    for (std::size_t i = 0; i < right.size(); ++i) {
        for (double t = 0; t <= 1; t += 1.0 / 16) {
            SCOPED_TRACE("right side, curve " + std::to_string(i) + " at " + std::to_string(t));
            EXPECT_LE(std::abs(curvatureAt(right[i], t)), 1.1 * leftTightest);
            const gfx::Point p = pointAt(right[i], t);
            double gap = 1;
            for (std::size_t j = 0; j + 1 < leftSide.size(); ++j)
                gap = std::min(gap, distanceToSegment({2 * axis - p.x, p.y}, leftSide[j], leftSide[j + 1]));
            EXPECT_LT(gap, 0.001);
        }
    }
}

}  // namespace
