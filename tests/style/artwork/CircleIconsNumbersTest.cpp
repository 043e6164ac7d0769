// The circled figures: the two is drawn in the one's letter, with its stroke
// weights, and its outline turns only at its corners.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

const char* const one = "drawCircleIconOneWithFrame:";
const char* const two = "drawCircleIconTwoWithFrame:";

gfx::BezierPath glyphOf(const char* message) { return record(message, {0, 0, 100, 100}).fills.at(1).path; }

// Lengths of the stretches of the glyph that the level line at y (or, with
// `upright`, the upright line at x) crosses, from left to right or top down.
std::vector<double> runsAcross(const gfx::BezierPath& glyph, double at, bool upright = false) {
    const std::vector<gfx::Point> outline = outlineOf(glyph, 64);
    std::vector<double> crossings;
    for (std::size_t i = 0; i + 1 < outline.size(); ++i) {
        gfx::Point a = outline[i], b = outline[i + 1];
        if (upright) {
            std::swap(a.x, a.y);
            std::swap(b.x, b.y);
        }
        if ((a.y < at) != (b.y < at)) crossings.push_back(a.x + (b.x - a.x) * (at - a.y) / (b.y - a.y));
    }
    std::sort(crossings.begin(), crossings.end());
    std::vector<double> runs;
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) runs.push_back(crossings[i + 1] - crossings[i]);
    return runs;
}

// The straight lines of the glyph that run neither level nor upright.
std::vector<std::pair<gfx::Point, gfx::Point>> slantingLines(const gfx::BezierPath& glyph) {
    std::vector<std::pair<gfx::Point, gfx::Point>> lines;
    gfx::Point at{};
    for (const gfx::PathElement& e : glyph.elements()) {
        if (e.kind == gfx::PathElement::Kind::line && std::abs(e.points[0].x - at.x) > 1e-6 &&
            std::abs(e.points[0].y - at.y) > 1e-6)
            lines.push_back({at, e.points[0]});
        if (e.kind == gfx::PathElement::Kind::line || e.kind == gfx::PathElement::Kind::move) at = e.points[0];
        if (e.kind == gfx::PathElement::Kind::curve) at = e.points[2];
    }
    return lines;
}

double directionOf(const std::pair<gfx::Point, gfx::Point>& line) {
    return std::atan2(line.second.y - line.first.y, line.second.x - line.first.x) * 180 / std::numbers::pi;
}

// One family keeps one weight: the two's upright strokes are as wide as the
// one's stem, its level strokes as its base bar, and its diagonal keeps one
// width between the two all the way down.
TEST(CircleIconsNumbers, TwoKeepsTheOnesStrokeWeights) {
    const gfx::BezierPath oneGlyph = glyphOf(one), twoGlyph = glyphOf(two);
    const Bounds oneBox = analyse(oneGlyph).bounds, twoBox = analyse(twoGlyph).bounds;
    const std::vector<double> stem = runsAcross(oneGlyph, (oneBox.minY + oneBox.maxY) / 2);
    const std::vector<double> bar = runsAcross(oneGlyph, oneBox.maxX - 1, true);
    ASSERT_EQ(stem.size(), 1u);
    ASSERT_EQ(bar.size(), 1u);

    // The bowl's side where it reaches farthest right in the upper half, its
    // top where it is highest, and the base bar near its right end.
    std::vector<gfx::Point> outline = outlineOf(twoGlyph, 64);
    const auto highest = *std::min_element(outline.begin(), outline.end(), [](auto a, auto b) { return a.y < b.y; });
    std::erase_if(outline, [&](gfx::Point p) { return p.y > (twoBox.minY + twoBox.maxY) / 2; });
    const auto widest = *std::max_element(outline.begin(), outline.end(), [](auto a, auto b) { return a.x < b.x; });
    const std::vector<double> side = runsAcross(twoGlyph, widest.y);
    const std::vector<double> top = runsAcross(twoGlyph, highest.x, true);
    const std::vector<double> twoBar = runsAcross(twoGlyph, twoBox.maxX - 1, true);
    ASSERT_FALSE(side.empty() || top.empty() || twoBar.empty());
    EXPECT_NEAR(side.back(), stem[0], 0.25) << "the bowl's side against the one's stem";
    EXPECT_NEAR(top.front(), bar[0], 0.25) << "the bowl's top against the one's base bar";
    EXPECT_NEAR(twoBar.back(), bar[0], 0.25) << "the base bars";

    const auto edges = slantingLines(twoGlyph);
    ASSERT_EQ(edges.size(), 2u) << "the diagonal's two edges";
    EXPECT_NEAR(std::remainder(directionOf(edges[0]) - directionOf(edges[1]), 180), 0, 0.5) << "the edges run parallel";
    const gfx::Point middle{(edges[1].first.x + edges[1].second.x) / 2, (edges[1].first.y + edges[1].second.y) / 2};
    const double width = distanceToSegment(middle, edges[0].first, edges[0].second);
    EXPECT_GE(width, bar[0]);
    EXPECT_LE(width, stem[0]);
}

TEST(CircleIconsNumbers, TwoRunsFromItsBowlIntoTheDiagonalWithoutACorner) {
    const std::vector<gfx::Point> corners = cornersOf(glyphOf(two));
    std::string where;
    for (gfx::Point p : corners) where += " (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
    // One at the foot of the diagonal and four where the base bar meets the
    // diagonal's upper edge and at its own ends; the hook's cut end is
    // rounded off, as the one's flag is.
    EXPECT_EQ(corners.size(), 5u) << "corners at" << where;
}

}  // namespace
