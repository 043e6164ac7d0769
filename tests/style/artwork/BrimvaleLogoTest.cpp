// The product logo: one path of 41 subpaths in the frame, in `bvBlue` or the
// palette's white, and the mark's and the wordmark's parts where they belong.

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

constexpr const char* logo = "drawLogoBrimvaleWithFrame:colored:";

// Wordmark (its three counters run anticlockwise, just before their letters),
// then the mark: central body, 17 dots, five heads and bodies, four fragments.
const char* const logoSubpaths =
    "2+8a 5+12c 4+4c 2+10c 4+4c 0+4c 9+18c 4+3c 4+3c 2+8a 6+12c 4+4c 1+5a 3+14c "
    "0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c "
    "0+4c 0+4c 0+4c 0+4c 0+4c 0+3c 0+3c 0+6c 0+6c";

// Subpaths [first, last) of a path, as a path of their own.
gfx::BezierPath subpaths(const gfx::BezierPath& path, std::size_t first, std::size_t last) {
    const std::vector<gfx::BezierPath> all = subpathsOf(path);
    gfx::BezierPath out;
    for (std::size_t i = first; i < last && i < all.size(); ++i) out.append(all[i]);
    return out;
}

void expectBounds(const gfx::BezierPath& path, const Bounds& want, double tolerance) {
    const Bounds b = analyse(path).bounds;
    EXPECT_NEAR(b.minX, want.minX, tolerance);
    EXPECT_NEAR(b.minY, want.minY, tolerance);
    EXPECT_NEAR(b.maxX, want.maxX, tolerance);
    EXPECT_NEAR(b.maxY, want.maxY, tolerance);
}

TEST(BrimvaleLogo, OneFillOfFortyOneSubpaths) {
    const gfx::Rect frame{0, 0, 150, 100};
    for (long flag : {0L, 1L, 2L, 3L}) {
        const std::string where = "colored " + std::to_string(flag);
        const Recording rec = record(logo, frame, flag);
        EXPECT_EQ(rec.otherOps, 0);
        ASSERT_EQ(rec.fills.size(), 1u);
        const char* color = flag & 1 ? "bvBlue" : "white";
        checkShape(rec.fills[0], {color, logoSubpaths, {0.0133, 0.0198, 0.9907, 0.9828}}, frame, where);
        EXPECT_EQ(colorName(rec.finalFillColor), color);
    }
}

// Half a unit of the fourth decimal, the boxes' precision, and a hair for rounding.
constexpr double places4 = 0.5e-4 + 1e-12;

TEST(BrimvaleLogo, PartsOfThePicture) {
    const gfx::BezierPath path = record(logo, {0, 0, 1, 1}, 1).fills.at(0).path;
    expectBounds(subpaths(path, 0, 14), {0.0133, 0.6599, 0.9907, 0.9828}, places4);   // wordmark
    expectBounds(subpaths(path, 15, 32), {0.1880, 0.3882, 0.8251, 0.6013}, places4);  // ring dots
    expectBounds(subpaths(path, 37, 41), {0.2424, 0.3199, 0.7707, 0.3800}, places4);  // rear fragments
    // Left and right sliver, right and left dash; each right one mirrors its left one.
    const Bounds fragments[] = {{0.2424, 0.3725, 0.2486, 0.3800}, {0.7645, 0.3725, 0.7707, 0.3800},
                                {0.6121, 0.3199, 0.6284, 0.3274}, {0.3855, 0.3199, 0.4018, 0.3274}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE("rear fragment " + std::to_string(i + 1));
        expectBounds(subpaths(path, 37 + i, 38 + i), fragments[i], places4);
    }
    // The figure ovals, each inscribed in its box.
    const Bounds figures[] = {{0.40267, 0.22826, 0.60467, 0.54126}, {0.44233, 0.01976, 0.57167, 0.21376},
                              {0.637, 0.24226, 0.75967, 0.41626},   {0.66233, 0.10926, 0.741, 0.22726},
                              {0.249, 0.24226, 0.37167, 0.41626},   {0.27433, 0.10926, 0.34633, 0.22726}};
    const std::size_t figureIndex[] = {14, 32, 33, 34, 35, 36};
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE("figure oval " + std::to_string(i + 1));
        expectBounds(subpaths(path, figureIndex[i], figureIndex[i] + 1), figures[i], 1e-5);
    }
    expectBounds(subpaths(path, 15, 16), {0.47967, 0.55926, 0.53367, 0.60126}, 1e-5);  // front dot
    // The lettering stands on its baseline, a little below the mark.
    const Bounds mark = analyse(subpaths(path, 14, 41)).bounds;
    const Bounds wordmark = analyse(subpaths(path, 0, 14)).bounds;
    EXPECT_NEAR(wordmark.minY - mark.maxY, 0.0586, 1e-4);
    EXPECT_NEAR(analyse(subpaths(path, 11, 12)).bounds.maxY, 0.90552, 1e-5);  // the l
}

TEST(BrimvaleLogo, CentralHeadAsWrittenAndPointsUnsnapped) {
    const gfx::BezierPath path = record(logo, {0, 0, 1, 1}, 1).fills.at(0).path;
    const gfx::BezierPath head = subpaths(path, 32, 33);
    const std::vector<gfx::PathElement> want = [] {
        gfx::BezierPath p;
        p.moveTo({0.57167, 0.11676});
        p.curveTo({0.507, 0.21376}, {0.57167, 0.17033}, {0.54271, 0.21376});
        p.curveTo({0.44233, 0.11676}, {0.47129, 0.21376}, {0.44233, 0.17033});
        p.curveTo({0.507, 0.01976}, {0.44233, 0.06319}, {0.47129, 0.01976});
        p.curveTo({0.57167, 0.11676}, {0.54271, 0.01976}, {0.57167, 0.06319});
        p.close();
        return p.elements();
    }();
    EXPECT_EQ(head.elements(), want);

    // In the 3:2 frame the central and right heads are circles.
    const gfx::BezierPath wide = record(logo, {0, 0, 150, 100}, 1).fills.at(0).path;
    expectBounds(subpaths(wide, 32, 33), {76.05 - 9.7, 11.676 - 9.7, 76.05 + 9.7, 11.676 + 9.7}, 1e-3);
    expectBounds(subpaths(wide, 34, 35), {105.25 - 5.9, 16.826 - 5.9, 105.25 + 5.9, 16.826 + 5.9}, 1e-3);
    expectBounds(wide, {2.001, 1.976, 148.599, 98.276}, 0.5e-3 + 1e-12);

    const gfx::Point first = record(logo, {10, 20, 300, 200}, 1).fills.at(0).path.elements()[0].points[0];
    EXPECT_NEAR(first.x, 28.288, 1e-9);
    EXPECT_NEAR(first.y, 172.488, 1e-9);
    const Recording flipped = record(logo, {310, 220, -300, -200}, 1);
    EXPECT_EQ(flipped.fills[0].path.elements(), record(logo, {10, 20, 300, 200}, 1).fills[0].path.elements());
}

// Ink runs of one row of `image` between x0 and x1, as (first, last) pixel.
std::vector<std::pair<int, int>> inkRuns(const gfx::ImageRef& image, int y, int x0, int x1) {
    std::vector<std::pair<int, int>> runs;
    for (int x = x0; x < x1; ++x) {
        if (image->pixelAtPoint(x + 0.5, y + 0.5).a < 128) continue;
        if (runs.empty() || runs.back().second != x - 1) runs.emplace_back(x, x);
        runs.back().second = x;
    }
    return runs;
}

TEST(BrimvaleLogo, TheVIsDrawnInTheStemsWeight) {
    // At 1500 x 1000 a pixel is a tenth of a point of the 150 x 100 design.
    const gfx::ImageRef image = render(logo, {1500, 1000}, 1);
    auto width = [](std::pair<int, int> run) { return run.second - run.first + 1; };
    const auto stem = inkRuns(image, 800, 1230, 1300);  // the l
    ASSERT_EQ(stem.size(), 1u);
    // Both strokes keep one weight from the top down to where they meet, the stem's across the slant.
    for (int side = 0; side < 2; ++side) {
        SCOPED_TRACE(side == 0 ? "left stroke" : "right stroke");
        const auto upper = inkRuns(image, 760, 780, 990), lower = inkRuns(image, 880, 780, 990);
        ASSERT_EQ(upper.size(), 2u);
        ASSERT_EQ(lower.size(), 2u);
        const double slant = std::atan2((lower[side].first + lower[side].second) / 2.0 -
                                            (upper[side].first + upper[side].second) / 2.0, 120);
        for (int y : {760, 800, 840, 880}) {
            const auto runs = inkRuns(image, y, 780, 990);
            ASSERT_EQ(runs.size(), 2u) << y;
            EXPECT_NEAR(width(runs[side]) * std::cos(slant), width(stem[0]), 1.5) << y;
        }
    }
    // They meet in a blunt vertex below the baseline, not in a point.
    const auto vertex = inkRuns(image, 970, 780, 990);
    ASSERT_EQ(vertex.size(), 1u);
    EXPECT_GE(width(vertex[0]), width(stem[0]));
}

TEST(BrimvaleLogo, CountersStayOpenAtThreeScales) {
    const auto blue = style::StyleKit::bvBlue(), clear = gfx::Color::rgba(0, 0, 0, 0);
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef image = render(logo, {300, 200}, 1, scale);
        auto at = [&](double fx, double fy, const gfx::ColorRef& c) { return pixelIs(image, fx * 300, fy * 200, c); };
        EXPECT_TRUE(at(0.0254, 0.80, blue)) << "b's stem";
        EXPECT_TRUE(at(0.0610, 0.8235, clear)) << "b's counter";
        EXPECT_TRUE(at(0.5065, 0.11676, blue)) << "central head";
        EXPECT_TRUE(at(0.5065, 0.2210, clear)) << "between the central head and body";
        EXPECT_TRUE(at(0.5065, 0.6300, clear)) << "between the mark and the wordmark";
        EXPECT_TRUE(at(0.5065, 0.40, blue)) << "central body";
        EXPECT_TRUE(at(0.02, 0.05, clear));
    }
    // White when not coloured.
    EXPECT_TRUE(pixelIs(render(logo, {300, 200}, 2, 1), 0.5065 * 300, 0.40 * 200, style::StyleKit::white()));
}

}  // namespace
