// The explicit-content, payment-card, app-store and music circled icons:
// their table rows, the symbols' subpaths, their second selectors, and the
// holes and gaps that must show the circle.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr double none = std::numeric_limits<double>::quiet_NaN();
const gfx::Rect square{0, 0, 100, 100};

gfx::BezierPath glyphOf(const char* message, const gfx::Rect& frame = square) {
    return record(message, frame).fills.at(1).path;
}

TEST(CircleIconsContent, TableRows) {
    const CircleIconRow rows[] = {
        {"drawCircleIconExplicitWithFrame:destructive:", "red", "bvBlue",
         {{"whiteColor", "4+0a 28+18c 1+12a 2+68c 1+8a 6+41c 4+4c 0+16c", {0.20, 0.40, 0.79744, 0.6125}}}},
        {"drawCircleIconCreditCardWithFrame:destructive:", "red", "bvBlue",
         {{"white", "15+9a 0+7c 5+2a 5+2a", {0.23125, 0.1625, 0.775, 0.7375}}}},
        {"drawCircleIconGooglePlayWithFrame:destructive:", "red", "bvBlue",
         {{"whiteColor", "3+1a 3+2a 4+2a 3+2a", {0.2875, 0.225, 0.80, 0.775}}}},
        {"drawCircleIconAppStoreWithFrame:destructive:", "red", "bvBlue",
         {{"white", "2+4a 7+6a 8+7a", {0.2125, 0.2124, 0.7875, 0.725}}}},
        {"drawCircleIconMusicWithFrame:destructive:", "red", "bvBlue",
         {{"whiteColor", "4+16a", {0.2125, 0.25, 0.68146, 0.7586}}}},
    };
    for (const CircleIconRow& row : rows) checkCircleIconRow(row);
}

// A figure as the Part writes it, met to half a unit of its last decimal.
void expectStated(double got, const std::string& stated) {
    const double places = double(stated.size() - stated.find('.') - 1);
    EXPECT_NEAR(got, std::stod(stated), 0.5 * std::pow(10.0, -places) + 1e-12) << "stated " << stated;
}

void expectExtent(const gfx::BezierPath& path, const std::array<const char*, 4>& stated) {
    const Bounds b = analyse(path).bounds;
    expectStated(b.minX, stated[0]);
    expectStated(b.minY, stated[1]);
    expectStated(b.maxX, stated[2]);
    expectStated(b.maxY, stated[3]);
}

// Subpaths by their first points (NaN where none is stated) and extents.
struct StatedPiece {
    double x, y;
    std::array<const char*, 4> extent;
};

void expectPieces(const char* message, const std::vector<StatedPiece>& pieces) {
    SCOPED_TRACE(message);
    const std::vector<gfx::BezierPath> subpaths = subpathsOf(glyphOf(message, {0, 0, 1, 1}));
    ASSERT_EQ(subpaths.size(), pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        SCOPED_TRACE("subpath " + std::to_string(i + 1));
        if (!std::isnan(pieces[i].x)) {
            EXPECT_NEAR(subpaths[i].elements().front().points[0].x, pieces[i].x, 1e-12);
            EXPECT_NEAR(subpaths[i].elements().front().points[0].y, pieces[i].y, 1e-12);
        }
        expectExtent(subpaths[i], pieces[i].extent);
    }
}

// Elements `first` to `last` of a one-subpath glyph, as a path of their own.
gfx::BezierPath stretch(const gfx::BezierPath& path, std::size_t first, std::size_t last) {
    const auto& e = path.elements();
    const gfx::PathElement& before = e[first - 1];
    gfx::BezierPath out;
    out.moveTo(before.kind == gfx::PathElement::Kind::curve ? before.points[2] : before.points[0]);
    for (std::size_t i = first; i <= last; ++i) out.curveTo(e[i].points[2], e[i].points[0], e[i].points[1]);
    return out;
}

// The highest point of a path, found in fine steps.
gfx::Point topmost(const gfx::BezierPath& path) {
    gfx::Point best{0, INFINITY};
    for (const auto& segment : segmentSteps(path, 4000))
        for (gfx::Point p : segment)
            if (p.y < best.y) best = p;
    return best;
}

TEST(CircleIconsContent, SymbolsAndCardsAsStated) {
    expectPieces("drawCircleIconExplicitWithFrame:destructive:",
                 {{0.28355, 0.47614, {"0.25410", "0.47614", "0.28355", "0.50811"}},  // number sign
                  {0.34068, 0.45175, {"0.20000", "0.40201", "0.34068", "0.58251"}},
                  {0.47174, 0.48348, {"0.42965", "0.48299", "0.47174", "0.53798"}},  // at sign
                  {0.48943, 0.51445, {"0.35395", "0.40957", "0.54783", "0.61250"}},
                  {0.61720, 0.50003, {"0.60089", "0.50003", "0.66271", "0.55762"}},  // ampersand
                  {0.74092, 0.58250, {"0.56538", "0.39999", "0.74092", "0.58449"}},
                  {0.79350, 0.40200, {"0.76090", "0.40200", "0.79350", "0.51856"}},  // exclamation mark
                  {0.75623, 0.56447, {"0.75623", "0.54456", "0.79744", "0.58425"}}});
    expectPieces("drawCircleIconCreditCardWithFrame:destructive:",
                 {{0.76023, 0.43207, {"0.2814", "0.1625", "0.7750", "0.54543"}},
                  {0.35638, 0.57873, {"0.2678", "0.5040", "0.3935", "0.5787"}},
                  {0.64152, 0.43774, {"0.23125", "0.43774", "0.69188", "0.62507"}},
                  {0.23125, 0.68600, {"0.23125", "0.68297", "0.69196", "0.73750"}}});
    expectPieces("drawCircleIconGooglePlayWithFrame:destructive:",
                 {{0.39145, 0.23415, {"0.32659", "0.2250", "0.64516", "0.47483"}},
                  {0.29692, 0.26561, {"0.28750", "0.26561", "0.54279", "0.73667"}},
                  {0.76572, 0.44468, {"0.59650", "0.40148", "0.80000", "0.58886"}},
                  {0.57182, 0.49805, {"0.32563", "0.49805", "0.67235", "0.77500"}}});
    expectPieces("drawCircleIconAppStoreWithFrame:destructive:",
                 {{none, none, {"0.2561", "0.6155", "0.36295", "0.72500"}},
                  {none, none, {"0.5257", "0.35331", "0.7875", "0.72498"}},
                  {none, none, {"0.2125", "0.2124", "0.5833", "0.60933"}}});
    expectPieces("drawCircleIconMusicWithFrame:destructive:",
                 {{0.63252, 0.25194, {"0.21250", "0.2500", "0.68146", "0.7586"}}});

    // The back card's outer corners reach their stated points.
    const gfx::BezierPath backCard =
        subpathsOf(glyphOf("drawCircleIconCreditCardWithFrame:destructive:", {0, 0, 1, 1}))[0];
    for (gfx::Point reach : {gfx::Point{0.4711, 0.1625}, {0.2814, 0.3535}, {0.7750, 0.4682}})
        EXPECT_TRUE(hasAnchor(backCard, reach, 0.00005 + 1e-12)) << reach.x << ", " << reach.y;
    // The letter A's two upper ends, each topped at its stated place.
    const gfx::BezierPath a = subpathsOf(glyphOf("drawCircleIconAppStoreWithFrame:destructive:", {0, 0, 1, 1}))[2];
    for (const auto& [element, x] : {std::pair(2, "0.5438"), std::pair(5, "0.4553")}) {
        const gfx::Point top = topmost(stretch(a, element, element));
        expectStated(top.x, x);
        expectStated(top.y, "0.2124");
    }
}

TEST(CircleIconsContent, NoteHeadsAreSmoothOvals) {
    const gfx::BezierPath notes = glyphOf("drawCircleIconMusicWithFrame:destructive:", {0, 0, 1, 1});
    expectExtent(stretch(notes, 5, 8), {"0.21250", "0.6063", "0.39996", "0.7586"});
    expectExtent(stretch(notes, 14, 17), {"0.48990", "0.5472", "0.68146", "0.6988"});
    // Round each head the outline runs on without turning back: no beak
    // where a curve's last control lies past its end.
    const auto& e = notes.elements();
    for (std::size_t i : {5, 6, 7, 14, 15, 16}) {
        const gfx::Point end = e[i].points[2], in = e[i].points[1], out = e[i + 1].points[0];
        const double ix = end.x - in.x, iy = end.y - in.y, ox = out.x - end.x, oy = out.y - end.y;
        EXPECT_GT((ix * ox + iy * oy) / std::hypot(ix, iy) / std::hypot(ox, oy), 0.999)
            << "at " << end.x << ", " << end.y;
    }
}

// The kit's index test compares each second selector's message entry, which
// its image renderer draws through; this compares the direct entries.
TEST(CircleIconsContent, SecondSelectorsDrawTheirRoutineOpForOp) {
    using Direct = void (*)(const gfx::Rect&, StyleKit::Flag);
    const std::pair<Direct, Direct> entries[] = {
        {&StyleKit::drawCircleIconExplicit2WithFrame, &StyleKit::drawCircleIconExplicitWithFrame},
        {&StyleKit::drawCircleIconCreditCard3WithFrame, &StyleKit::drawCircleIconCreditCardWithFrame},
        {&StyleKit::drawCircleIconGooglePlay2WithFrame, &StyleKit::drawCircleIconGooglePlayWithFrame},
        {&StyleKit::drawCircleIconAppStore2WithFrame, &StyleKit::drawCircleIconAppStoreWithFrame},
        {&StyleKit::drawCircleIconMusic2WithFrame, &StyleKit::drawCircleIconMusicWithFrame}};
    auto dump = [](Direct draw, StyleKit::Flag flag) {
        gfx::RecordingContext rec;
        gfx::pushContext(rec);
        draw({3, 5, 48, 40}, flag);
        gfx::popContext();
        return rec.dump();
    };
    for (StyleKit::Flag flag : {0, 1})
        for (const auto& [alias, routine] : entries) EXPECT_EQ(dump(alias, flag), dump(routine, flag)) << flag;
}

TEST(CircleIconsContent, HolesAndGapsShowTheCircle) {
    const std::pair<const char*, std::vector<CircleProbe>> pictures[] = {
        {"drawCircleIconExplicitWithFrame:destructive:",  // the counters, round the a, in the hook; strokes
         {{0.2688, 0.4921, true}, {0.448, 0.51, true}, {0.625, 0.53, true}, {0.391, 0.52, true},
          {0.648, 0.445, true}, {0.3665, 0.51, false}, {0.7772, 0.45, false}, {0.7768, 0.5644, false}}},
        {"drawCircleIconCreditCardWithFrame:destructive:",  // logo, line, between the cards; the cards
         {{0.33065, 0.541, true}, {0.45, 0.654, true}, {0.55, 0.425, true}, {0.5, 0.55, false},
          {0.45, 0.71, false}, {0.4711, 0.18, false}}},
        {"drawCircleIconGooglePlayWithFrame:destructive:",  // the gaps' crossing; the four pieces
         {{0.569, 0.488, true}, {0.40, 0.50, false}, {0.72, 0.50, false}, {0.50, 0.35, false},
          {0.50, 0.65, false}}},
        {"drawCircleIconAppStoreWithFrame:destructive:",  // between the legs; the bar, the falling leg
         {{0.50, 0.45, true}, {0.30, 0.57, false}, {0.665, 0.62, false}}},
        {"drawCircleIconMusicWithFrame:destructive:",  // under the beam; beam, heads
         {{0.52, 0.50, true}, {0.52, 0.35, false}, {0.30, 0.68, false}, {0.58, 0.62, false}}},
    };
    for (const auto& [message, probes] : pictures) {
        checkCircleProbes(message, 0, StyleKit::bvBlue(), StyleKit::white(), probes);
        checkCircleProbes(message, 1, StyleKit::red(), StyleKit::white(), probes);
    }
}

}  // namespace
