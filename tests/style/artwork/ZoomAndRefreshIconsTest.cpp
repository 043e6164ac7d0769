// The zoom and refresh icons on the recording backend and in images: one
// blue fill of clockwise outlines placed by unsnapped fractions of the frame.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr const char* zoom = "drawIconZoomWithFrame:";
constexpr const char* refresh = "drawIconRefreshWithFrame:";

struct IconRow {
    const char* message;
    Shape shape;
    std::vector<Piece> outlines;
};

const std::vector<IconRow>& rows() {
    static const std::vector<IconRow> table = {
        {zoom,
         {"bvBlue", "4+28c 6+23c 8+22c 5+25c", {0.16912, 0.17647, 0.82353, 0.83998}},
         {{0.77849, 0.17648, {0.50882, 0.17647, 0.82344, 0.4959}},
          {0.47023, 0.535, {0.16912, 0.52113, 0.48391, 0.83998}},
          {0.22563, 0.17717, {0.16912, 0.17647, 0.48391, 0.4959}},
          {0.58858, 0.52302, {0.50882, 0.50915, 0.82353, 0.82851}}}},
        {refresh,
         {"bvBlue", "1+21c 1+18c", {0.05882, 0.14706, 0.91177, 0.84954}},
         {{0.8008, 0.32443, {0.14676, 0.14706, 0.91177, 0.4904}},
          {0.20027, 0.50031, {0.05882, 0.49601, 0.83915, 0.84954}}}},
    };
    return table;
}

// Figures of five decimals hold to half a unit of the fifth.
constexpr double fifthPlace = 0.5e-5 + 1e-12;

TEST(ZoomAndRefreshIcons, OneBlueFillOfTheStatedOutlines) {
    for (const IconRow& row : rows()) {
        SCOPED_TRACE(row.message);
        for (const gfx::Rect& frame : {gfx::Rect{0, 0, 100, 100}, gfx::Rect{10, 20, 300, 150}}) {
            const Recording rec = record(row.message, frame);
            EXPECT_EQ(rec.otherOps, 0) << "fills only: no save, transform, clip or shadow";
            EXPECT_EQ(rec.finalSaveDepth, 0);
            ASSERT_EQ(rec.fills.size(), 1u);
            checkShape(rec.fills[0], row.shape, frame, "fill");
            checkPieces(rec.fills[0].path, row.outlines, frame, "outlines", fifthPlace);
            EXPECT_EQ(colorName(rec.finalFillColor), "bvBlue");
        }
    }
}

TEST(ZoomAndRefreshIcons, PointsFollowTheFrameUnsnapped) {
    // Ink of the zoom icon in (10, 20, 100, 100).
    const Bounds ink = analyse(record(zoom, {10, 20, 100, 100}).fills[0].path).bounds;
    EXPECT_NEAR(ink.minX, 26.912, 0.0005);
    EXPECT_NEAR(ink.maxX, 92.353, 0.0005);
    EXPECT_NEAR(ink.minY, 37.647, 0.0005);
    EXPECT_NEAR(ink.maxY, 103.998, 0.0005);
    // Both arrows of the refresh icon lie on one ring, through its edges' top and bottom points.
    const auto arrows = subpathsOf(record(refresh, {0, 0, 100, 100}).fills[0].path);
    for (double y : {14.706, 23.743}) EXPECT_TRUE(hasAnchor(arrows[0], {49.293, y}, 1e-9)) << y;
    for (double y : {75.913, 84.954}) EXPECT_TRUE(hasAnchor(arrows[1], {49.293, y}, 1e-9)) << y;
    // No snapping at a fractional origin.
    const gfx::Point first = record(zoom, {0.5, 0.5, 10, 10}).fills[0].path.elements().front().points[0];
    EXPECT_NEAR(first.x, 8.2849, 1e-12);
    EXPECT_NEAR(first.y, 2.2648, 1e-12);
    for (const char* message : {zoom, refresh}) {
        SCOPED_TRACE(message);
        // A negative width covers the same area and draws the same, unmirrored.
        EXPECT_EQ(record(message, {100, 0, -100, 100}).fills[0].path.elements(),
                  record(message, {0, 0, 100, 100}).fills[0].path.elements());
        // A frame twice as wide as high stretches the icon; nothing keeps it square.
        const Bounds wide = analyse(record(message, {0, 0, 200, 100}).fills[0].path).bounds;
        const Bounds square = analyse(record(message, {0, 0, 100, 100}).fills[0].path).bounds;
        EXPECT_NEAR(wide.maxX - wide.minX, 2 * (square.maxX - square.minX), 1e-9);
        EXPECT_NEAR(wide.maxY - wide.minY, square.maxY - square.minY, 1e-9);
    }
}

TEST(ZoomAndRefreshIcons, PixelsAtEachScale) {
    const gfx::ColorRef blue = StyleKit::bvBlue();
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef z = render(zoom, {100, 100}, 0, scale);
        EXPECT_TRUE(pixelIs(z, 77.6, 35, blue));   // upper right head, vertical arm
        EXPECT_TRUE(pixelIs(z, 22.4, 35, blue));   // upper left head
        EXPECT_TRUE(pixelIs(z, 35, 78.5, blue));   // lower left head, horizontal arm
        EXPECT_TRUE(pixelIs(z, 60, 60, blue));     // lower right shaft
        EXPECT_EQ(z->pixelAtPoint(50, 50).a, 0);   // the shafts stop short of the centre
        EXPECT_EQ(z->pixelAtPoint(56, 33).a, 0);   // between a head's arm and its shaft
        EXPECT_EQ(z->pixelAtPoint(10, 10).a, 0);

        const gfx::ImageRef r = render(refresh, {100, 100}, 0, scale);
        EXPECT_TRUE(pixelIs(r, 49.3, 19.2, blue));  // top of the ring
        EXPECT_TRUE(pixelIs(r, 49.3, 80.4, blue));  // bottom of the ring
        EXPECT_EQ(r->pixelAtPoint(49.3, 49.8).a, 0);  // the ring's middle
        EXPECT_EQ(r->pixelAtPoint(5, 50).a, 0);       // left of the ink
        EXPECT_EQ(r->pixelAtPoint(95, 30).a, 0);      // right of the ink
        EXPECT_EQ(r->pixelAtPoint(50, 10).a, 0);      // above the ring
    }
    // Zero width or height: nothing is painted.
    gfx::ImageContextScope scope({40, 40}, false, 2);
    for (const gfx::Rect& flat : {gfx::Rect{0, 0, 0, 40}, gfx::Rect{0, 0, 40, 0}}) {
        StyleKit::drawIconZoomWithFrame(flat);
        StyleKit::drawIconRefreshWithFrame(flat);
    }
    const gfx::ImageRef image = scope.image();
    for (int y = 0; y < image->pixelHeight(); ++y)
        for (int x = 0; x < image->pixelWidth(); ++x) ASSERT_EQ(image->pixel(x, y).a, 0);
}

}  // namespace
