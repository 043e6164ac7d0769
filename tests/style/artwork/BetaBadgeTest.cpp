// The beta badge: how it fits its frame for each resizing behaviour, the
// lettering's subpaths against their table, and pixels of the letters and
// their counters.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr const char* badge = "drawBetaBadgeWithFrame:resizing:";

std::string badgeOps(const char* fit) { return std::string("save, ") + fit + ", fill bvBlue, fill whiteColor, restore"; }

TEST(BetaBadge, OpsBoundsAndStateLeftBehind) {
    const std::string designSize = badgeOps("identity, identity");
    const std::string halved = badgeOps("translate 0 25, scale 0.5 0.5");
    const std::string squeezed = badgeOps("identity, scale 0.5 1");
    const std::string centred = badgeOps("translate -50 0, identity");
    std::vector<WidgetRow> rows;
    // In its own frame the badge fills it whatever the behaviour.
    for (std::int64_t resizing : {0, 1, 2, 3})
        rows.push_back({badge, {0, 0, 200, 100}, 0, resizing, 0, designSize.c_str(),
                        {{0, 0, 200, 100}, {23, 27, 154, 46}}, "blackColor", "blackColor"});
    rows.push_back({badge, {0, 0, 100, 100}, 0, 0, 0, halved.c_str(), {{0, 25, 100, 50}, {11.5, 38.5, 77, 23}},
                    "blackColor", "blackColor"});
    rows.push_back({badge, {0, 0, 100, 100}, 0, 2, 0, squeezed.c_str(), {{0, 0, 100, 100}, {11.5, 27, 77, 46}},
                    "blackColor", "blackColor"});
    // Centred at design size, the badge overhangs the frame on both sides.
    rows.push_back({badge, {0, 0, 100, 100}, 0, 3, 0, centred.c_str(), {{-50, 0, 200, 100}, {-27, 27, 154, 46}},
                    "blackColor", "blackColor"});
    rows.push_back({badge, {0, 0, 100, 100}, 0, 7, 0, halved.c_str(), {{0, 25, 100, 50}, {11.5, 38.5, 77, 23}},
                    "blackColor", "blackColor"});
    for (const WidgetRow& row : rows) checkWidgetRow(row);

    // Corner radius 8 in design points: 4 on the screen at half size.
    const Recording rec = record(badge, {0, 0, 100, 100});
    ASSERT_EQ(rec.fills.size(), 2u);
    EXPECT_EQ(rec.fills[0].path.elements(), gfx::BezierPath::roundedRect({0, 0, 200, 100}, 8).elements());
}

// One subpath of the lettering: its counts, first point and the bounds of its
// end points, and which way it runs.
struct Letter {
    const char* shape;
    const char* structure;  // as in Shape::subpaths, one subpath
    gfx::Point start;
    Bounds ends;
};

Bounds endPointBounds(const gfx::BezierPath& path, std::size_t subpath) {
    Bounds b{1e9, 1e9, -1e9, -1e9};
    std::size_t index = 0;
    bool inside = false;
    for (const gfx::PathElement& e : path.elements()) {
        if (e.kind == gfx::PathElement::Kind::move) inside = index++ == subpath;
        if (!inside || e.kind == gfx::PathElement::Kind::close) continue;
        const gfx::Point p = e.kind == gfx::PathElement::Kind::curve ? e.points[2] : e.points[0];
        b = {std::min(b.minX, p.x), std::min(b.minY, p.y), std::max(b.maxX, p.x), std::max(b.maxY, p.y)};
    }
    return b;
}

TEST(BetaBadge, LetteringSubpaths) {
    const std::vector<Letter> table = {
        {"lower counter of B", "3+8a", {40.83, 65.71}, {32.6, 53.12, 48.61, 65.71}},
        {"upper counter of B", "3+8a", {32.6, 34.23}, {32.6, 34.23, 47.3, 46.66}},
        {"outline of B", "3+14c", {39.49, 27}, {23, 27, 58.11, 73}},
        {"E", "12+0c", {75.14, 34.45}, {65.48, 27, 95.05, 73}},
        {"T", "8+0c", {135.1, 34.67}, {98.32, 27, 135.1, 73}},
        {"counter of A", "3+4a", {160.87, 55.53}, {147.07, 35.62, 160.87, 55.53}},
        {"outline of A", "8+4c", {177, 73}, {130.91, 27, 177, 73}},
    };
    const Recording rec = record(badge, {0, 0, 200, 100});
    ASSERT_EQ(rec.fills.size(), 2u);
    const Fill& lettering = rec.fills[1];
    std::string structure;
    for (const Letter& letter : table) structure += std::string(letter.structure) + " ";
    // All of it, as fractions of the design: letters from 23 to 177, 27 to 73.
    checkShape(lettering, {"whiteColor", structure.c_str(), {0.115, 0.27, 0.885, 0.73}}, {0, 0, 200, 100},
               "lettering");

    std::vector<gfx::Point> starts;
    int moves = 0, lines = 0, curves = 0, closes = 0;
    for (const gfx::PathElement& e : lettering.path.elements()) {
        switch (e.kind) {
            case gfx::PathElement::Kind::move: ++moves; starts.push_back(e.points[0]); break;
            case gfx::PathElement::Kind::line: ++lines; break;
            case gfx::PathElement::Kind::curve: ++curves; break;
            case gfx::PathElement::Kind::close: ++closes; break;
        }
    }
    EXPECT_EQ(moves, 7);
    EXPECT_EQ(lines, 40);
    EXPECT_EQ(curves, 38);
    EXPECT_EQ(closes, 7);
    ASSERT_EQ(starts.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].shape);
        EXPECT_EQ(starts[i], table[i].start);
        const Bounds b = endPointBounds(lettering.path, i);
        EXPECT_NEAR(b.minX, table[i].ends.minX, 0.005);
        EXPECT_NEAR(b.minY, table[i].ends.minY, 0.005);
        EXPECT_NEAR(b.maxX, table[i].ends.maxX, 0.005);
        EXPECT_NEAR(b.maxY, table[i].ends.maxY, 0.005);
    }
}

TEST(BetaBadge, Pixels) {
    const gfx::ColorRef blue = StyleKit::bvBlue(), white = gfx::Color::whiteColor();
    for (double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef image = renderInFrame(badge, {200, 100}, {0, 0, 200, 100}, scale);
        EXPECT_EQ(image->pixelAtPoint(0.5, 0.5).a, 0);  // outside the rounded corner
        EXPECT_TRUE(pixelIs(image, 10, 50, blue));
        EXPECT_TRUE(pixelIs(image, 27, 50, white));   // B's stem
        EXPECT_TRUE(pixelIs(image, 38, 40, blue));    // its counters show the badge
        EXPECT_TRUE(pixelIs(image, 38, 59, blue));
        EXPECT_TRUE(pixelIs(image, 53, 40, white));   // its bowls
        EXPECT_TRUE(pixelIs(image, 54, 62, white));
        EXPECT_TRUE(pixelIs(image, 62, 50, blue));    // between B and E
        EXPECT_TRUE(pixelIs(image, 85, 50, white));   // E's middle bar
        EXPECT_TRUE(pixelIs(image, 85, 40, blue));
        EXPECT_TRUE(pixelIs(image, 116.7, 60, white));  // T's stem
        EXPECT_TRUE(pixelIs(image, 105, 50, blue));     // under T's bar
        EXPECT_TRUE(pixelIs(image, 154, 48, blue));     // A's counter
        EXPECT_TRUE(pixelIs(image, 154, 59, white));    // its crossbar
        EXPECT_TRUE(pixelIs(image, 154, 70, blue));     // between its legs

        // Fitted by aspect into a square: a band across its middle.
        const gfx::ImageRef fitted = renderInFrame(badge, {100, 100}, {0, 0, 100, 100}, scale, 0, 0);
        EXPECT_EQ(fitted->pixelAtPoint(50, 20).a, 0);
        EXPECT_TRUE(pixelIs(fitted, 50, 27, blue));
        // Stretched: the square is full, the letters squeezed to half width.
        const gfx::ImageRef stretched = renderInFrame(badge, {100, 100}, {0, 0, 100, 100}, scale, 0, 2);
        EXPECT_TRUE(pixelIs(stretched, 50, 10, blue));
        EXPECT_TRUE(pixelIs(stretched, 13.5, 50, white));  // B's stem at x = 27 / 2
    }
}

}  // namespace
