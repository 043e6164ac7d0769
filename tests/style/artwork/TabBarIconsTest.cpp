// The six tab bar icons: one path each in the frame, `bvBlue` or `grey2` by
// the flag's lowest bit, holes wound against their outlines (the cog alone
// uses the even-odd rule), nothing else done to the context, the cog's
// corners, and the family's ellipses.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

struct TabRow {
    const char* message;
    Shape shape;  // colour filled in per flag
};

const std::vector<TabRow> rows = {
    {"drawTabIconFamilyWithFrame:colored:", {"", "0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+4c 0+3* 0+3* 0+6* 0+6*", {0.0387, 0.2506, 0.9500, 0.8000}}},
    {"drawTabIconTodoWithFrame:colored:", {"", "13+8a 4+2a", {0.2500, 0.1500, 0.7500, 0.8000}}},
    {"drawTabIconDevicesWithFrame:colored:", {"", "8+4a 4+4c 2+4c 4+0c", {0.3000, 0.1500, 0.7000, 0.8500}}},
    // The magnifier is given point for point, with hairline kinks where its
    // short lines step back: a few thousandths of a point at 100 points.
    {"drawTabIconExploreWithFrame:colored:", {"", "6+8ax 3+4cx", {0.2204, 0.1750, 0.8250, 0.7932}}},
    // The cog's hole, too, steps back up its right side by the points the Part gives.
    {"drawTabIconSettingsWithFrame:colored:", {"", "41+40a 3+4cx", {0.2000, 0.2000, 0.8250, 0.8250}, true}},
    {"drawTabIconInsightsWithFrame:colored:", {"", "8+4c 10+2a 10+2a", {0.1500, 0.2250, 0.8500, 0.8000}}},
};

TEST(TabBarIcons, OnePathOneColourPerFlag) {
    const gfx::Rect frame{0, 0, 100, 100};
    for (const TabRow& row : rows) {
        for (long flag : {0L, 1L, 2L, 3L}) {
            const std::string where = std::string(row.message) + " flag " + std::to_string(flag);
            SCOPED_TRACE(where);
            const Recording rec = record(row.message, frame, flag);
            EXPECT_EQ(rec.otherOps, 0) << "no save, transform, clip or stroke";
            ASSERT_EQ(rec.fills.size(), 1u);
            Shape want = row.shape;
            want.color = flag & 1 ? "bvBlue" : "grey2";
            checkShape(rec.fills[0], want, frame, where);
            EXPECT_EQ(colorName(rec.finalFillColor), want.color);
        }
    }
}

gfx::Point startOf(const char* message, const gfx::Rect& frame, std::size_t subpath = 0) {
    const Recording rec = record(message, frame, 1);
    std::size_t seen = 0;
    for (const gfx::PathElement& e : rec.fills.at(0).path.elements())
        if (e.kind == gfx::PathElement::Kind::move && seen++ == subpath) return e.points[0];
    return {};
}

void expectNear(gfx::Point got, gfx::Point want, double tolerance) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
}

TEST(TabBarIcons, PointsScaleWithTheFrameOnEachAxis) {
    const char* explore = "drawTabIconExploreWithFrame:colored:";
    expectNear(startOf(explore, {0, 0, 100, 100}), {81.451, 73.676}, 1e-9);
    expectNear(startOf(explore, {10, 20, 40, 40}), {42.5804, 49.4704}, 1e-9);
    expectNear(startOf(explore, {10, 20, 60, 30}), {58.8706, 42.1028}, 1e-9);
    // The family's dots start at the right end of their long axes.
    const char* family = "drawTabIconFamilyWithFrame:colored:";
    expectNear(startOf(family, {0, 0, 1, 1}, 1), {0.53472, 0.78566}, 1e-4);
    expectNear(startOf(family, {0, 0, 1, 1}, 15), {0.12862, 0.59975}, 1e-4);
    expectNear(startOf(family, {0, 0, 1, 1}, 23), {0.12143, 0.58178}, 1e-9);
    expectNear(startOf(family, {0, 0, 1, 1}, 26), {0.33295, 0.53241}, 1e-9);
    expectNear(startOf("drawTabIconSettingsWithFrame:colored:", {0, 0, 1, 1}), {0.82304, 0.47778}, 1e-12);
    for (const TabRow& row : rows) {
        SCOPED_TRACE(row.message);
        const Recording flipped = record(row.message, {100, 100, -100, -100});
        const Recording plain = record(row.message, {0, 0, 100, 100});
        EXPECT_EQ(flipped.fills[0].path.elements(), plain.fills[0].path.elements());
        EXPECT_EQ(analyse(record(row.message, {0, 0, 0, 40}).fills[0].path).bounds.maxX, 0);
    }
}

// The cog's tip curves in path order, each from where it starts to where it ends.
const gfx::Point cogTips[8][2] = {
    {{0.75822, 0.31946}, {0.70915, 0.26951}}, {{0.54623, 0.20171}, {0.47560, 0.20233}},
    {{0.31982, 0.26638}, {0.26969, 0.31565}}, {{0.20233, 0.47351}, {0.20172, 0.54441}},
    {{0.26706, 0.70597}, {0.31632, 0.75610}}, {{0.47864, 0.82330}, {0.54906, 0.82268}},
    {{0.70508, 0.75838}, {0.75533, 0.70899}}, {{0.82267, 0.55087}, {0.82329, 0.48003}},
};

TEST(TabBarIcons, CogTeethTipsAndValleys) {
    const Recording rec = record("drawTabIconSettingsWithFrame:colored:", {0, 0, 1, 1});
    const gfx::Point centre{0.51298, 0.51313};
    double nearest = 1, farthest = 0;
    int tipsFound = 0;
    for (const gfx::PathElement& e : rec.fills[0].path.elements()) {
        if (e.kind == gfx::PathElement::Kind::close) break;  // the outline only
        const gfx::Point p = e.kind == gfx::PathElement::Kind::curve ? e.points[2] : e.points[0];
        const double r = std::hypot(p.x - centre.x, p.y - centre.y);
        nearest = std::min(nearest, r);
        farthest = std::max(farthest, r);
        for (const auto& tip : cogTips) tipsFound += p == tip[0];
    }
    EXPECT_EQ(tipsFound, 8);
    EXPECT_NEAR(nearest, 0.2437, 0.0013);  // the valleys' lowest points
    EXPECT_LT(farthest, 0.3135);
}

// Between one tip and the next the outline rounds the tip's corner, dips
// through the valley and rounds the next tip's corner; the corners bulge
// outwards, as the tips do, all the way down to the flanks.
TEST(TabBarIcons, CogCornersBendOneWay) {
    const gfx::Rect frame{0, 0, 100, 100};
    const gfx::BezierPath cog = record("drawTabIconSettingsWithFrame:colored:", frame).fills[0].path;
    for (std::size_t i = 0; i < 8; ++i) {
        const std::vector<Cubic> between = curvesBetween(cog, frame, cogTips[i][1], cogTips[(i + 1) % 8][0]);
        ASSERT_GE(between.size(), 2u) << "after tip " << i;
        for (const Cubic* corner : {&between.front(), &between.back()}) {
            const std::string which = corner == &between.front() ? ", leaving" : ", arriving";
            for (double t = 0; t <= 1; t += 1.0 / 32) {
                SCOPED_TRACE("after tip " + std::to_string(i) + which + " at " + std::to_string(t));
                EXPECT_LT(curvatureAt(*corner, t), 0);  // anticlockwise: outwards
            }
        }
    }
}

TEST(TabBarIcons, FamilyFiguresAndTheRingsFarSide) {
    const gfx::BezierPath family = record("drawTabIconFamilyWithFrame:colored:", {0, 0, 1, 1}).fills[0].path;
    auto box = [parts = subpathsOf(family)](std::size_t i) { return analyse(parts.at(i)).bounds; };
    // Head above body with the same gap in all three figures.
    const std::pair<std::size_t, std::size_t> headAndBody[] = {{18, 0}, {20, 19}, {22, 21}};
    for (const auto& [head, body] : headAndBody) EXPECT_NEAR(box(body).minY - box(head).maxY, 0.00586, 1e-4);
    // The slivers and dashes, inside their boxes and clear of the bodies beside them.
    const Bounds fragments[] = {{0.1166, 0.5818, 0.1255, 0.5888}, {0.8632, 0.5818, 0.8721, 0.5888},
                                {0.6453, 0.5324, 0.6686, 0.5394}, {0.3212, 0.5324, 0.3445, 0.5394}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE("fragment " + std::to_string(i + 1));
        const Bounds b = box(23 + i);
        EXPECT_NEAR(b.minX, fragments[i].minX, 1e-4);
        EXPECT_NEAR(b.maxX, fragments[i].maxX, 1e-4);
        EXPECT_NEAR(b.minY, fragments[i].minY, 1e-4);
        EXPECT_NEAR(b.maxY, fragments[i].maxY, 1e-4);
    }
}

// How far the closed outline strays from the ellipse that fits it best, as a
// share of its size; 1 where no ellipse fits it at all.
double strayFromEllipse(const std::vector<gfx::Point>& outline) {
    double minX = outline[0].x, maxX = minX, minY = outline[0].y, maxY = minY;
    for (gfx::Point p : outline) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    const double cx = (minX + maxX) / 2, cy = (minY + maxY) / 2, size = std::max(maxX - minX, maxY - minY);
    // Least squares for A u^2 + B uv + C v^2 + D u + E v = 1 about the box's centre.
    auto terms = [&](gfx::Point p) {
        const double u = (p.x - cx) / size, v = (p.y - cy) / size;
        return std::array<double, 5>{u * u, u * v, v * v, u, v};
    };
    std::array<std::array<double, 6>, 5> m{};
    for (gfx::Point p : outline) {
        const auto t = terms(p);
        for (int i = 0; i < 5; ++i) {
            for (int j = 0; j < 5; ++j) m[i][j] += t[i] * t[j];
            m[i][5] += t[i];
        }
    }
    for (int c = 0; c < 5; ++c) {
        auto smaller = [c](const auto& a, const auto& b) { return std::abs(a[c]) < std::abs(b[c]); };
        std::swap(m[c], *std::max_element(m.begin() + c, m.end(), smaller));
        for (int r = 0; r < 5; ++r) {
            if (r == c) continue;
            const double f = m[r][c] / m[c][c];
            for (int k = c; k < 6; ++k) m[r][k] -= f * m[c][k];
        }
    }
    std::array<double, 5> q{};
    for (int i = 0; i < 5; ++i) q[i] = m[i][5] / m[i][i];
    if (q[1] * q[1] - 4 * q[0] * q[2] >= 0) return 1;  // not an ellipse
    double farthest = 0;
    for (gfx::Point p : outline) {
        const auto t = terms(p);
        const double f = q[0] * t[0] + q[1] * t[1] + q[2] * t[2] + q[3] * t[3] + q[4] * t[4] - 1;
        const double gu = 2 * q[0] * t[3] + q[1] * t[4] + q[3], gv = q[1] * t[3] + 2 * q[2] * t[4] + q[4];
        farthest = std::max(farthest, std::abs(f) / std::hypot(gu, gv));
    }
    return farthest;
}

// Everything in the family picture is an ellipse: the figures' heads and
// bodies, the ring's dots and the glimpses of the ring's far side beside and
// between the figures, which show as more of its dots, not as dashes or specks.
TEST(TabBarIcons, FamilyIsAllEllipses) {
    const std::vector<gfx::BezierPath> parts =
        subpathsOf(record("drawTabIconFamilyWithFrame:colored:", {0, 0, 100, 100}).fills[0].path);
    ASSERT_EQ(parts.size(), 27u);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE("subpath " + std::to_string(i + 1));
        EXPECT_LT(strayFromEllipse(outlineOf(parts[i], 32)), 0.01);
    }
}

TEST(TabBarIcons, HolesShowTheBackgroundAtThreeScales) {
    const auto blue = style::StyleKit::bvBlue(), grey = style::StyleKit::grey2();
    const auto clear = gfx::Color::rgba(0, 0, 0, 0);
    struct Probe {
        const char* message;
        double x, y;  // fractions of a 120-point image
        bool filled;
    };
    const Probe probes[] = {
        {"drawTabIconDevicesWithFrame:colored:", 0.50, 0.50, false},   // screen
        {"drawTabIconDevicesWithFrame:colored:", 0.315, 0.50, true},   // body beside it
        {"drawTabIconDevicesWithFrame:colored:", 0.498, 0.775, false}, // button
        {"drawTabIconExploreWithFrame:colored:", 0.47, 0.42, false},   // lens
        {"drawTabIconExploreWithFrame:colored:", 0.47, 0.21, true},    // ring
        {"drawTabIconExploreWithFrame:colored:", 0.74, 0.73, true},    // handle
        {"drawTabIconSettingsWithFrame:colored:", 0.513, 0.513, false},// hole
        {"drawTabIconSettingsWithFrame:colored:", 0.513, 0.33, true},  // ring of the cog
        {"drawTabIconInsightsWithFrame:colored:", 0.30, 0.65, false},  // lower window
        {"drawTabIconInsightsWithFrame:colored:", 0.40, 0.35, false},  // upper window
        {"drawTabIconInsightsWithFrame:colored:", 0.25, 0.514, true},  // pulse band
        {"drawTabIconInsightsWithFrame:colored:", 0.18, 0.50, true},   // border
        {"drawTabIconTodoWithFrame:colored:", 0.50, 0.765, true},      // clapper
        {"drawTabIconTodoWithFrame:colored:", 0.50, 0.70, false},      // between rim and clapper
        {"drawTabIconTodoWithFrame:colored:", 0.50, 0.45, true},       // bell
        {"drawTabIconFamilyWithFrame:colored:", 0.4947, 0.34, true},   // middle head
        {"drawTabIconFamilyWithFrame:colored:", 0.4947, 0.60, true},   // middle body
        {"drawTabIconFamilyWithFrame:colored:", 0.4947, 0.75, false},  // between body and front dot
    };
    for (double scale : {1.0, 2.0, 3.0}) {
        for (long flag : {0L, 1L}) {
            for (const Probe& p : probes) {
                SCOPED_TRACE(std::string(p.message) + " at " + std::to_string(p.x) + ", " + std::to_string(p.y));
                const gfx::ImageRef image = render(p.message, {120, 120}, flag, scale);
                EXPECT_TRUE(pixelIs(image, p.x * 120, p.y * 120, p.filled ? (flag ? blue : grey) : clear));
            }
        }
    }
}

}  // namespace
