// The two app icons: one geometry, a tile in the snapped frame and the
// emblem above the word mark standing on it, in two colourings.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

constexpr const char* childIcon = "drawBrimvaleChildAppIconWithFrame:";
constexpr const char* parentIcon = "drawBrimvaleParentAppIconWithFrame:";

const char* const artworkSubpaths =
    "0+4c 2+8a 5+12c 4+4c 2+10c 4+4c 9+18c 4+3c 4+3c 2+8a 6+12c 4+4c 1+5a 3+14c "
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

// Figures of five decimals hold to half a unit of the fifth.
constexpr double fifthPlace = 0.5e-5 + 1e-12;

// The artwork's subpaths in a large square frame, where fractions read best.
const gfx::Rect unit{0, 0, 100000, 100000};
std::vector<gfx::BezierPath> artworkSubpathsOf(const char* message) {
    return subpathsOf(record(message, unit).fills.at(1).path);
}

// The outline bounds of subpaths `first` to `last` (counted from 1), as fractions.
Bounds boundsOf(const std::vector<gfx::BezierPath>& subpaths, std::size_t first, std::size_t last) {
    gfx::BezierPath joined;
    for (std::size_t i = first; i <= last; ++i) joined.append(subpaths.at(i - 1));
    const Bounds b = analyse(joined).bounds;
    return {b.minX / unit.width(), b.minY / unit.height(), b.maxX / unit.width(), b.maxY / unit.height()};
}

void expectBounds(const Bounds& got, const Bounds& want, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(got.minX, want.minX, fifthPlace);
    EXPECT_NEAR(got.minY, want.minY, fifthPlace);
    EXPECT_NEAR(got.maxX, want.maxX, fifthPlace);
    EXPECT_NEAR(got.maxY, want.maxY, fifthPlace);
}

TEST(AppIcons, EveryBoxAsStated) {
    struct Row {
        std::size_t first, last;  // subpaths, counted from 1
        Bounds box;
        const char* what;
    };
    const Row rows[] = {
        {1, 41, {0.13000, 0.22976, 0.87000, 0.72000}, "artwork"},
        {1, 14, {0.13000, 0.55563, 0.87000, 0.72000}, "word mark"},
        {15, 15, {0.42479, 0.33590, 0.57774, 0.49524}, "middle body"},
        {16, 32, {0.26222, 0.41734, 0.74463, 0.52579}, "ring dots"},
        {33, 33, {0.45483, 0.22976, 0.55275, 0.32852}, "middle head"},
        {34, 34, {0.60222, 0.34303, 0.69510, 0.43161}, "right body"},
        {35, 35, {0.62140, 0.27532, 0.68097, 0.33539}, "right head"},
        {36, 36, {0.30844, 0.34303, 0.40132, 0.43161}, "left body"},
        {37, 37, {0.32762, 0.27532, 0.38214, 0.33539}, "left head"},
        {38, 38, {0.30342, 0.40934, 0.30814, 0.41313}, "left end of the ring"},
        {39, 39, {0.69875, 0.40934, 0.70347, 0.41313}, "right end of the ring"},
        {40, 40, {0.58338, 0.38258, 0.59570, 0.38638}, "right back of the ring"},
        {41, 41, {0.41179, 0.38258, 0.42411, 0.38638}, "left back of the ring"},
    };
    for (const char* message : {childIcon, parentIcon}) {
        SCOPED_TRACE(message);
        const auto subpaths = artworkSubpathsOf(message);
        ASSERT_EQ(subpaths.size(), 41u);
        for (const Row& row : rows) expectBounds(boundsOf(subpaths, row.first, row.last), row.box, row.what);
    }
}

TEST(AppIcons, LettersOnTheirLines) {
    const auto subpaths = artworkSubpathsOf(childIcon);
    // Each counter comes directly before its letter, runs the other way and lies inside it.
    for (std::size_t counter : {2u, 10u, 13u}) {
        SCOPED_TRACE("counter " + std::to_string(counter));
        EXPECT_LT(analyse(subpaths[counter - 1]).subpaths[0].signedArea, 0);
        EXPECT_GT(analyse(subpaths[counter]).subpaths[0].signedArea, 0);
        const Bounds hole = boundsOf(subpaths, counter, counter), letter = boundsOf(subpaths, counter + 1, counter + 1);
        EXPECT_GT(hole.minX, letter.minX);
        EXPECT_LT(hole.maxX, letter.maxX);
        EXPECT_GT(hole.minY, letter.minY);
        EXPECT_LT(hole.maxY, letter.maxY);
    }
    // Subpaths: 3 b, 4 r's stem, 5 its arm, 6 i's stem, 7 m, 8 and 9 v, 11 a, 12 l, 14 e.
    auto expectEdge = [&](std::size_t subpath, double Bounds::*edge, double want, const char* what) {
        EXPECT_NEAR(boundsOf(subpaths, subpath, subpath).*edge, want, fifthPlace) << what << ", subpath " << subpath;
    };
    for (std::size_t s : {4u, 6u, 7u, 12u}) expectEdge(s, &Bounds::maxY, 0.68068, "baseline");
    for (std::size_t s : {3u, 11u, 14u}) expectEdge(s, &Bounds::maxY, 0.68293, "round bottom");
    for (std::size_t s : {5u, 7u, 11u, 14u}) expectEdge(s, &Bounds::minY, 0.59495, "round top");
    for (std::size_t s : {4u, 6u, 8u, 9u}) expectEdge(s, &Bounds::minY, 0.59721, "flat top");
    for (std::size_t s : {3u, 12u}) expectEdge(s, &Bounds::minY, 0.55563, "tall letter");
    for (std::size_t s : {8u, 9u}) expectEdge(s, &Bounds::maxY, 0.72000, "descender");
}

TEST(AppIcons, RingDotsInPerspective) {
    const auto subpaths = artworkSubpathsOf(childIcon);
    // An oval's anchors: its right end, then the ends of the other axes, clockwise.
    struct Oval {
        gfx::Point centre;
        double tilt;  // degrees; negative: the right end higher
    };
    auto ovalOf = [&](std::size_t subpath) {
        const auto& e = subpaths.at(subpath - 1).elements();
        const gfx::Point right = e[0].points[0], left = e[2].points[2];
        const gfx::Point centre{(right.x + left.x) / 2 / unit.width(), (right.y + left.y) / 2 / unit.height()};
        return Oval{centre, std::atan2(right.y - left.y, right.x - left.x) * 180 / std::numbers::pi};
    };
    const Oval front = ovalOf(16);
    EXPECT_NEAR(front.centre.x, 0.50354, fifthPlace);
    EXPECT_NEAR(front.centre.y, 0.51510, fifthPlace);
    EXPECT_EQ(front.tilt, 0);
    const Bounds frontBox = boundsOf(subpaths, 16, 16);
    EXPECT_NEAR(frontBox.maxX - frontBox.minX, 0.04089, fifthPlace);
    EXPECT_NEAR(frontBox.maxY - frontBox.minY, 0.02138, fifthPlace);
    // The hindmost pair.
    EXPECT_NEAR(ovalOf(31).centre.x, 0.29673, fifthPlace);
    EXPECT_NEAR(ovalOf(31).centre.y, 0.42085, fifthPlace);
    EXPECT_NEAR(ovalOf(32).centre.x, 0.71013, fifthPlace);
    EXPECT_NEAR(ovalOf(32).centre.y, 0.42083, fifthPlace);
    for (std::size_t s : {31u, 32u}) {
        const Bounds b = boundsOf(subpaths, s, s);
        EXPECT_NEAR(b.maxX - b.minX, 0.0261, 0.5e-4) << s;
        EXPECT_NEAR(b.maxY - b.minY, 0.0070, 0.5e-4) << s;
    }
    // Mirrored pairs, left then right, rising towards the middle and shrinking towards the back.
    double steepest = 0, previousWidth = 1;
    for (std::size_t left = 17; left < 32; left += 2) {
        SCOPED_TRACE("pair from subpath " + std::to_string(left));
        const Oval l = ovalOf(left), r = ovalOf(left + 1);
        EXPECT_NEAR((l.centre.x + r.centre.x) / 2, 0.5034, 0.5e-4);
        EXPECT_LT(l.tilt, 0);
        EXPECT_GT(r.tilt, 0);
        steepest = std::max({steepest, -l.tilt, r.tilt});
        const Bounds box = boundsOf(subpaths, left, left);
        EXPECT_LT(box.maxX - box.minX, previousWidth);
        previousWidth = box.maxX - box.minX;
    }
    EXPECT_NEAR(steepest, 8.3, 0.05);
}

TEST(AppIcons, MiddleHeadPointForPoint) {
    const auto subpaths = artworkSubpathsOf(childIcon);  // kept: the elements below refer into it
    const auto& e = subpaths.at(32).elements();
    ASSERT_EQ(e.size(), 6u);
    // Each curve's end point, then its two control points.
    const double curves[4][6] = {{0.50379, 0.32852, 0.55275, 0.30641, 0.53083, 0.32852},
                                 {0.45483, 0.27914, 0.47675, 0.32852, 0.45483, 0.30641},
                                 {0.50379, 0.22976, 0.45483, 0.25187, 0.47675, 0.22976},
                                 {0.55275, 0.27914, 0.53083, 0.22976, 0.55275, 0.25187}};
    auto near = [](gfx::Point p, double fx, double fy) {
        EXPECT_NEAR(p.x / unit.width(), fx, fifthPlace);
        EXPECT_NEAR(p.y / unit.height(), fy, fifthPlace);
    };
    near(e[0].points[0], 0.55275, 0.27914);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("curve " + std::to_string(i + 1));
        const double* c = curves[i];
        near(e[i + 1].points[2], c[0], c[1]);
        near(e[i + 1].points[0], c[2], c[3]);
        near(e[i + 1].points[1], c[4], c[5]);
    }
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
