// The beta badge: its fit for each resizing behaviour, the lettering's
// subpaths against their table, the B's bowls, and pixels of the letters
// and counters.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr const char* badge = "drawBetaBadgeWithFrame:resizing:";

TEST(BetaBadge, OpsPlacementAndStateLeftBehind) {
    auto ops = [](const char* fit) { return std::string("save, ") + fit + ", fill bvBlue, fill whiteColor, restore"; };
    const std::string unscaled = ops("identity, identity"), halved = ops("translate 0 25, scale 0.5 0.5");
    const std::string squeezed = ops("identity, scale 0.5 1"), centred = ops("translate -50 0, identity");
    const gfx::Rect square{0, 0, 100, 100};
    const char* black = "blackColor";
    std::vector<WidgetRow> rows = {
        {badge, square, 0, 0, 0, halved.c_str(), {{0, 25, 100, 50}, {11.5, 38.5, 77, 23}}, black, black},
        {badge, square, 0, 7, 0, halved.c_str(), {{0, 25, 100, 50}, {11.5, 38.5, 77, 23}}, black, black},
        {badge, square, 0, 2, 0, squeezed.c_str(), {{0, 0, 100, 100}, {11.5, 27, 77, 46}}, black, black},
        // At design size, centred: it overhangs the frame on both sides.
        {badge, square, 0, 3, 0, centred.c_str(), {{-50, 0, 200, 100}, {-27, 27, 154, 46}}, black, black},
    };
    for (std::int64_t resizing : {0, 1, 2, 3})  // in its own frame whatever the behaviour
        rows.push_back({badge, {0, 0, 200, 100}, 0, resizing, 0, unscaled.c_str(),
                        {{0, 0, 200, 100}, {23, 27, 154, 46}}, black, black});
    for (const WidgetRow& row : rows) checkWidgetRow(row);
    EXPECT_EQ(record(badge, square).fills.at(0).path.elements(),
              gfx::BezierPath::roundedRect({0, 0, 200, 100}, 8).elements());
}

TEST(BetaBadge, LetteringSubpaths) {
    struct Letter {
        const char* structure;  // lines + curves and direction, as in Shape
        gfx::Point start;
        Bounds ends;  // of the end points
    };
    const Letter table[] = {
        {"3+8a", {40.83, 65.71}, {32.6, 53.12, 48.61, 65.71}},      // lower counter of B
        {"3+8a", {32.6, 34.23}, {32.6, 34.23, 47.3, 46.66}},        // upper counter of B
        {"3+14c", {39.49, 27}, {23, 27, 58.11, 73}},                // outline of B
        {"12+0c", {75.14, 34.45}, {65.48, 27, 95.05, 73}},          // E
        {"8+0c", {135.1, 34.67}, {98.32, 27, 135.1, 73}},           // T
        {"3+4a", {160.87, 55.53}, {147.07, 35.62, 160.87, 55.53}},  // counter of A
        {"8+4c", {177, 73}, {130.91, 27, 177, 73}},                 // outline of A
    };
    const Fill lettering = record(badge, {0, 0, 200, 100}).fills.at(1);
    std::string structure;
    for (const Letter& letter : table) structure += std::string(letter.structure) + " ";
    // Counts, directions, no crossings, closed on the first point, non-zero rule.
    checkShape(lettering, {"whiteColor", structure.c_str(), {0.115, 0.27, 0.885, 0.73}}, {0, 0, 200, 100}, "lettering");

    std::vector<Letter> got;
    for (const gfx::PathElement& e : lettering.path.elements()) {
        const gfx::Point p = e.kind == gfx::PathElement::Kind::curve ? e.points[2] : e.points[0];
        if (e.kind == gfx::PathElement::Kind::move) got.push_back({"", p, {p.x, p.y, p.x, p.y}});
        if (e.kind == gfx::PathElement::Kind::close) continue;
        Bounds& b = got.back().ends;
        b = {std::min(b.minX, p.x), std::min(b.minY, p.y), std::max(b.maxX, p.x), std::max(b.maxY, p.y)};
    }
    ASSERT_EQ(got.size(), std::size(table));
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE("subpath " + std::to_string(i + 1));
        EXPECT_EQ(got[i].start, table[i].start);
        const Bounds &b = got[i].ends, &want = table[i].ends;
        EXPECT_NEAR(b.minX, want.minX, 0.005);
        EXPECT_NEAR(b.minY, want.minY, 0.005);
        EXPECT_NEAR(b.maxX, want.maxX, 0.005);
        EXPECT_NEAR(b.maxY, want.maxY, 0.005);
    }
}

// Both bowls of the B are round in the one style: each bends clockwise all
// the way from the bar it leaves to the notch where they meet, evenly, with
// neither a straight run nor a squared corner, and as sharply at most as the
// other; the upper is the narrower.
TEST(BetaBadge, BowlsOfTheBAreRoundAlikeAndTheUpperIsTheNarrower) {
    const gfx::BezierPath b = subpathsOf(record(badge, {0, 0, 200, 100}).fills.at(1).path).at(2);
    std::vector<gfx::Point> corners = cornersOf(b, 30);
    ASSERT_EQ(corners.size(), 3u) << "the stem's two ends and the notch";
    std::sort(corners.begin(), corners.end(), [](gfx::Point p, gfx::Point q) { return p.y < q.y; });
    const gfx::Point stemTop = corners[0], notch = corners[1], stemFoot = corners[2];
    const std::vector<Cubic> bowls[] = {curvesBetween(b, {0, 0, 1, 1}, stemTop, notch),
                                        curvesBetween(b, {0, 0, 1, 1}, notch, stemFoot)};
    double sharpest[2] = {0, 0}, widest[2] = {0, 0};
    for (int bowl : {0, 1}) {
        SCOPED_TRACE(bowl == 0 ? "upper bowl" : "lower bowl");
        ASSERT_FALSE(bowls[bowl].empty());
        double gentlest = std::numeric_limits<double>::infinity();
        for (const Cubic& c : bowls[bowl])
            for (int i = 0; i <= 16; ++i) {
                gentlest = std::min(gentlest, curvatureAt(c, i / 16.0));
                sharpest[bowl] = std::max(sharpest[bowl], curvatureAt(c, i / 16.0));
                widest[bowl] = std::max(widest[bowl], pointAt(c, i / 16.0).x);
            }
        EXPECT_GT(gentlest, 0.4 * sharpest[bowl]);
    }
    EXPECT_LT(sharpest[0], 1.25 * sharpest[1]);
    EXPECT_LT(sharpest[1], 1.25 * sharpest[0]);
    EXPECT_LT(widest[0], widest[1]);
}

TEST(BetaBadge, Pixels) {
    const gfx::ColorRef blue = StyleKit::bvBlue(), white = gfx::Color::whiteColor();
    // The corner; B's stem, counters and bowls; the gap before E; E's middle
    // bar; T's stem; A's counter, crossbar and the gap between its legs.
    checkProbes(badge, {200, 100}, 0, 0, 0,
                {{0.5, 0.5, nullptr}, {10, 50, blue}, {27, 50, white}, {38, 40, blue}, {38, 59, blue}, {53, 40, white},
                 {54, 62, white}, {62, 50, blue}, {85, 50, white}, {85, 40, blue}, {116.7, 60, white}, {105, 50, blue},
                 {154, 48, blue}, {154, 59, white}, {154, 70, blue}});
    checkProbes(badge, {100, 100}, 0, 0, 0, {{50, 20, nullptr}, {50, 27, blue}});  // a band across the square
    checkProbes(badge, {100, 100}, 0, 2, 0, {{50, 10, blue}, {13.5, 50, white}});  // letters at half width
}

}  // namespace
