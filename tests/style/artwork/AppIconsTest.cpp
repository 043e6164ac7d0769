// The two app icons: one geometry, a tile in the snapped frame and the logo
// standing on it, in two colourings.

#include <gtest/gtest.h>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

constexpr const char* childIcon = "drawBrimvaleChildAppIconWithFrame:";
constexpr const char* parentIcon = "drawBrimvaleParentAppIconWithFrame:";

const char* const artworkSubpaths =
    "2+8a 5+12c 4+4c 2+10c 4+4c 0+4c 9+18c 4+3c 4+3c 2+8a 6+12c 4+4c 1+5a 3+14c "
    "0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c "
    "0+4c 0+4c 0+4c 0+4c 0+4c 0+3c 0+3c 0+6c 0+6c";

TEST(AppIcons, TileThenArtworkInEachColouring) {
    struct Row {
        const char* message;
        const char* tile;
        const char* artwork;
    };
    const gfx::Rect frame{0, 0, 100, 100};
    for (const Row& row : {Row{childIcon, "bvBlue", "whiteColor"}, Row{parentIcon, "white", "bvBlue"}}) {
        SCOPED_TRACE(row.message);
        const Recording rec = record(row.message, frame);
        EXPECT_EQ(rec.otherOps, 0) << "no save, transform, clip or shadow";
        ASSERT_EQ(rec.fills.size(), 2u);
        checkShape(rec.fills[0], {row.tile, "8+12c", {0, 0, 1, 1}}, frame, "tile");
        checkShape(rec.fills[1], {row.artwork, artworkSubpaths, {0.13, 0.22976, 0.87, 0.72}}, frame, "artwork");
        EXPECT_EQ(colorName(rec.finalFillColor), row.artwork);
    }
    // The same geometry for both.
    const Recording child = record(childIcon, {3, 4, 57, 61});
    const Recording parent = record(parentIcon, {3, 4, 57, 61});
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(child.fills[i].path.elements(), parent.fills[i].path.elements());
}

TEST(AppIcons, TileInTheSnappedFrame) {
    auto topEdge = [](const gfx::Rect& frame) {
        const Recording rec = record(childIcon, frame);
        const auto& e = rec.fills.at(0).path.elements();
        return std::make_pair(e[0].points[0].x, e[1].points[0].x);
    };
    const auto small = topEdge({0, 0, 60, 60});
    EXPECT_NEAR(small.first, 22.0128, 1e-9);
    EXPECT_NEAR(small.second, 37.9872, 1e-9);
    const auto large = topEdge({0, 0, 1024, 1024});
    EXPECT_NEAR(large.first, 375.68512, 1e-9);
    EXPECT_NEAR(large.second, 648.31488, 1e-9);

    // The origin keeps its fractions, the size goes to whole points.
    const Bounds b = analyse(record(parentIcon, {10.25, 20.75, 59.5, 40.2}).fills.at(0).path).bounds;
    EXPECT_NEAR(b.minX, 10.25, 1e-9);
    EXPECT_NEAR(b.minY, 20.75, 1e-9);
    EXPECT_NEAR(b.maxX, 70.25, 1e-9);
    EXPECT_NEAR(b.maxY, 60.75, 1e-9);
    // Under half a point wide: no width, nothing shows.
    EXPECT_EQ(analyse(record(parentIcon, {0, 0, 0.4, 40}).fills.at(1).path).bounds.maxX, 0);
}

TEST(AppIcons, TheLogoStandsOnTheTile) {
    // The middle head as the icon has it, in fractions of the group.
    const gfx::Rect frame{0, 0, 100000, 100000};
    const Recording rec = record(childIcon, frame);
    const auto& e = rec.fills.at(1).path.elements();
    std::size_t subpath = 0, i = 0;
    while (i < e.size() && !(e[i].kind == gfx::PathElement::Kind::move && ++subpath == 33)) ++i;
    ASSERT_LT(i + 2, e.size());
    auto near = [](gfx::Point p, double fx, double fy) {
        EXPECT_NEAR(p.x / 100000, fx, 1.5e-5);
        EXPECT_NEAR(p.y / 100000, fy, 1.5e-5);
    };
    near(e[i].points[0], 0.55275, 0.27914);
    near(e[i + 1].points[2], 0.50379, 0.32852);
    near(e[i + 1].points[0], 0.55275, 0.30641);
    near(e[i + 1].points[1], 0.53083, 0.32852);
    near(e[i + 2].points[2], 0.45483, 0.27914);
}

TEST(AppIcons, PixelsAtThreeScales) {
    const auto blue = style::StyleKit::bvBlue(), white = gfx::Color::whiteColor(), clear = gfx::Color::rgba(0, 0, 0, 0);
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef child = render(childIcon, {120, 120}, 0, scale);
        const gfx::ImageRef parent = render(parentIcon, {120, 120}, 0, scale);
        for (const auto& [x, y] : {std::pair{0.5, 0.5}, std::pair{119.5, 0.5}, std::pair{0.5, 119.5}}) {
            EXPECT_TRUE(pixelIs(child, x, y, clear)) << "corner outside the tile";
            EXPECT_TRUE(pixelIs(parent, x, y, clear));
        }
        EXPECT_TRUE(pixelIs(child, 60, 10, blue)) << "tile";
        EXPECT_TRUE(pixelIs(child, 60.4, 33.5, white)) << "middle head";
        EXPECT_TRUE(pixelIs(parent, 60.4, 33.5, blue));
        // b's counter shows the tile.
        EXPECT_TRUE(pixelIs(child, 0.16606 * 120, 0.63893 * 120, blue));
        EXPECT_TRUE(pixelIs(parent, 0.16606 * 120, 0.63893 * 120, style::StyleKit::white()));
    }
}

}  // namespace
