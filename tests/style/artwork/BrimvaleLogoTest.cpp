// The product logo: one path of 41 subpaths in the frame, in `bvBlue` or the
// palette's white, and the mark's and the wordmark's parts where they belong.

#include <gtest/gtest.h>

#include <cmath>

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

TEST(BrimvaleLogo, PartsOfThePicture) {
    const gfx::BezierPath path = record(logo, {0, 0, 1, 1}, 1).fills.at(0).path;
    expectBounds(subpaths(path, 0, 14), {0.0133, 0.6599, 0.9907, 0.9828}, 1e-4);   // wordmark
    expectBounds(subpaths(path, 15, 32), {0.1880, 0.3882, 0.8251, 0.6013}, 1e-4);  // ring dots
    expectBounds(subpaths(path, 37, 41), {0.2424, 0.3199, 0.7707, 0.3800}, 1e-4);  // rear fragments
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
    expectBounds(wide, {2.001, 1.976, 148.599, 98.276}, 1e-3);

    const gfx::Point first = record(logo, {10, 20, 300, 200}, 1).fills.at(0).path.elements()[0].points[0];
    EXPECT_NEAR(first.x, 28.288, 1e-9);
    EXPECT_NEAR(first.y, 172.488, 1e-9);
    const Recording flipped = record(logo, {310, 220, -300, -200}, 1);
    EXPECT_EQ(flipped.fills[0].path.elements(), record(logo, {10, 20, 300, 200}, 1).fills[0].path.elements());
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
