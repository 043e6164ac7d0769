// How the glyphs of the browser, globe, padlock, funnel and flag icons read:
// corners that open wide enough, round dots and cells that match their twins,
// rim edges that follow the rim, one stroke weight, one funnel in both filter
// icons, a keyhole without a neck and a flag along its pole. Every picture is
// drawn in the frame (0, 0, 100, 100), so its group rectangle is the frame
// and a fraction of it is a hundredth of a point.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

std::vector<gfx::BezierPath> glyphSubpaths(const char* message) {
    const Recording rec = record(message, {0, 0, 100, 100});
    EXPECT_EQ(rec.fills.size(), 2u) << message;
    return rec.fills.size() == 2 ? subpathsOf(rec.fills[1].path) : std::vector<gfx::BezierPath>{};
}

// A segment of an outline as a cubic; a line has its controls on its ends.
struct Segment {
    gfx::Point p0, c1, c2, p3;
};

std::vector<Segment> segmentsOf(const gfx::BezierPath& subpath) {
    std::vector<Segment> out;
    gfx::Point first{}, at{};
    for (const gfx::PathElement& e : subpath.elements()) {
        switch (e.kind) {
            case gfx::PathElement::Kind::move: first = at = e.points[0]; break;
            case gfx::PathElement::Kind::line: out.push_back({at, at, e.points[0], e.points[0]}); break;
            case gfx::PathElement::Kind::curve: out.push_back({at, e.points[0], e.points[1], e.points[2]}); break;
            case gfx::PathElement::Kind::close:
                if (at != first) out.push_back({at, at, first, first});
                break;
        }
        if (!out.empty()) at = out.back().p3;
    }
    return out;
}

gfx::Point minus(gfx::Point a, gfx::Point b) { return {a.x - b.x, a.y - b.y}; }
bool isZero(gfx::Point v) { return v.x == 0 && v.y == 0; }

gfx::Point startDirection(const Segment& s) {
    for (gfx::Point v : {minus(s.c1, s.p0), minus(s.c2, s.p0)})
        if (!isZero(v)) return v;
    return minus(s.p3, s.p0);
}

gfx::Point endDirection(const Segment& s) {
    for (gfx::Point v : {minus(s.p3, s.c2), minus(s.p3, s.c1)})
        if (!isZero(v)) return v;
    return minus(s.p3, s.p0);
}

// The angle (degrees) an outline opens at each of its anchors, on the side it
// turns towards: 180 where it runs on smoothly, small at a sharp point.
struct Join {
    gfx::Point at;
    double opening;
};

std::vector<Join> joinsOf(const gfx::BezierPath& subpath) {
    const std::vector<Segment> segments = segmentsOf(subpath);
    std::vector<Join> out;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const gfx::Point in = endDirection(segments[i]), next = startDirection(segments[(i + 1) % segments.size()]);
        const double turn = std::atan2(in.x * next.y - in.y * next.x, in.x * next.x + in.y * next.y);
        out.push_back({segments[i].p3, 180 - std::abs(turn) * 180 / std::numbers::pi});
    }
    return out;
}

std::vector<gfx::Point> shifted(std::vector<gfx::Point> points, double dx) {
    for (gfx::Point& p : points) p.x += dx;
    return points;
}

// Mirrored about the vertical (acrossX) or the horizontal line through `centre`.
std::vector<gfx::Point> mirrored(std::vector<gfx::Point> points, double centre, bool acrossX) {
    for (gfx::Point& p : points) (acrossX ? p.x : p.y) = 2 * centre - (acrossX ? p.x : p.y);
    return points;
}

TEST(CircleIconsPlacesSecurity, CornersOpenWideEnough) {
    // Subpaths count from 0; joins are checked only inside the box (points).
    struct Row {
        const char* message;
        std::size_t subpath;
        double leastOpening;
        Bounds box;
        const char* what;
    };
    const Bounds everywhere{0, 0, 100, 100};
    const std::vector<Row> rows = {
        {"drawCircleIconBrowserWithFrame:", 1, 179.5, everywhere, "right dot, round all over"},
        {"drawCircleIconBrowserWithFrame:", 2, 179.5, everywhere, "middle dot, round all over"},
        {"drawCircleIconBrowserWithFrame:", 3, 179.5, everywhere, "left dot, round all over"},
        {"drawCircleIconNoFilterWithFrame:", 3, 40, everywhere, "funnel piece above the bar"},
        {"drawCircleIconNoFilterWithFrame:", 4, 40, everywhere, "funnel piece below the bar"},
        {"drawCircleIconRedFlagWithFrame:", 1, 60, {0, 0, 45, 100}, "flag, corners at the pole"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.message) + " " + row.what);
        const std::vector<gfx::BezierPath> subpaths = glyphSubpaths(row.message);
        ASSERT_GT(subpaths.size(), row.subpath);
        int checked = 0;
        for (const Join& join : joinsOf(subpaths[row.subpath])) {
            if (join.at.x < row.box.minX || join.at.x > row.box.maxX || join.at.y < row.box.minY ||
                join.at.y > row.box.maxY)
                continue;
            ++checked;
            EXPECT_GE(join.opening, row.leastOpening) << "at (" << join.at.x << ", " << join.at.y << ")";
        }
        EXPECT_GT(checked, 1);
    }
}

TEST(CircleIconsPlacesSecurity, BrowserDotsAreOneShape) {
    const std::vector<gfx::BezierPath> subpaths = glyphSubpaths("drawCircleIconBrowserWithFrame:");
    ASSERT_EQ(subpaths.size(), 5u);
    const std::vector<gfx::Point> right = outlineOf(subpaths[1]);
    EXPECT_LT(farthestApart(shifted(outlineOf(subpaths[2]), 8), right), 0.01) << "middle dot";
    EXPECT_LT(farthestApart(shifted(outlineOf(subpaths[3]), 16), right), 0.01) << "left dot";
}

TEST(CircleIconsPlacesSecurity, GlobeCellsFollowTheRimAndMatchTheirTwins) {
    const std::vector<gfx::BezierPath> subpaths = glyphSubpaths("drawCircleIconGlobeWithFrame:");
    ASSERT_EQ(subpaths.size(), 17u);
    // Cells 1 to 16 in four columns of four, left to right, each top to bottom.
    auto cell = [&](int column, int row) { return outlineOf(subpaths[1 + column * 4 + row]); };
    const double centre = 49.5, rim = 28;  // the white rim's inner edge
    auto offRim = [&](gfx::Point p) { return std::abs(std::hypot(p.x - centre, p.y - centre) - rim); };

    // A segment from the rim to the rim is part of the rim, not a chord across it.
    int cellsOnTheRim = 0;
    for (std::size_t i = 1; i < subpaths.size(); ++i) {
        bool onTheRim = false;
        for (const std::vector<gfx::Point>& segment : segmentSteps(subpaths[i])) {
            if (offRim(segment.front()) > 1e-6 || offRim(segment.back()) > 1e-6) continue;
            onTheRim = true;
            double farthest = 0;
            for (gfx::Point p : segment) farthest = std::max(farthest, offRim(p));
            EXPECT_LT(farthest, 0.005) << "cell " << i << ", from (" << segment[0].x << ", " << segment[0].y << ")";
        }
        cellsOnTheRim += onTheRim;
    }
    EXPECT_EQ(cellsOnTheRim, 12) << "every cell but the four in the middle meets the rim";

    // Mirrored left to right and top to bottom, each cell is its twin.
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            SCOPED_TRACE("column " + std::to_string(column + 1) + ", row " + std::to_string(row + 1));
            EXPECT_LT(farthestApart(mirrored(cell(column, row), centre, true), cell(3 - column, row)), 1e-6);
            EXPECT_LT(farthestApart(mirrored(cell(column, row), centre, false), cell(column, 3 - row)), 1e-6);
        }
    }
}

TEST(CircleIconsPlacesSecurity, PadlockLegsRiseStraightFromTheBody) {
    // Between the body's top (y 44) and the arch's springing (y 33) the
    // outline runs only up and down the shackle's outer sides.
    const std::vector<gfx::BezierPath> subpaths = glyphSubpaths("drawCircleIconPadlockWithFrame:");
    ASSERT_EQ(subpaths.size(), 3u);
    int points = 0;
    for (gfx::Point p : outlineOf(subpaths[0])) {
        if (p.y <= 33 + 1e-9 || p.y >= 44 - 1e-9) continue;
        ++points;
        EXPECT_TRUE(std::abs(p.x - 36.5) < 1e-9 || std::abs(p.x - 64.5) < 1e-9) << "(" << p.x << ", " << p.y << ")";
    }
    EXPECT_GT(points, 0);
}

TEST(CircleIconsPlacesSecurity, FunnelPiecesKeepClearOfTheBarAndRing) {
    // The holes are the ring's two segments; each funnel piece sits inside
    // one with the same clearance all round its cut.
    const std::vector<gfx::BezierPath> subpaths = glyphSubpaths("drawCircleIconNoFilterWithFrame:");
    ASSERT_EQ(subpaths.size(), 5u);
    EXPECT_GT(narrowestGap(outlineOf(subpaths[3]), outlineOf(subpaths[1])), 2.4) << "upper piece";
    EXPECT_GT(narrowestGap(outlineOf(subpaths[4]), outlineOf(subpaths[0])), 2.4) << "lower piece";
}

TEST(CircleIconsPlacesSecurity, FlagHoistRunsAlongThePole) {
    // The flag hangs from the pole's left side: nothing of it lies left of
    // that side, and its leftmost point, the hoist's foot, lies on it, so
    // that below the flag the pole carries straight on.
    const std::vector<gfx::BezierPath> subpaths = glyphSubpaths("drawCircleIconRedFlagWithFrame:");
    ASSERT_EQ(subpaths.size(), 2u);
    // The pole's left side: the straight segment farthest left.
    std::array<gfx::Point, 4> side{};
    double sideX = std::numeric_limits<double>::infinity();
    for (const auto& c : cubicsOf(subpaths[0])) {
        const bool straight = c[1] == c[0] && c[2] == c[3];
        if (straight && (c[0].x + c[3].x) / 2 < sideX) side = c, sideX = (c[0].x + c[3].x) / 2;
    }
    const gfx::Point a = side[0], b = side[3];
    // How far `p` lies right of the side's line, across it.
    auto rightOfSide = [&](gfx::Point p) {
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        return ((p.x - a.x) * (b.y - a.y) - (p.y - a.y) * (b.x - a.x)) / length * (b.y > a.y ? 1 : -1);
    };
    double nearest = std::numeric_limits<double>::infinity();
    for (gfx::Point p : outlineOf(subpaths[1])) nearest = std::min(nearest, rightOfSide(p));
    EXPECT_NEAR(nearest, 0, 1e-6);
}

TEST(CircleIconsPlacesSecurity, NoFilterFunnelIsTheFiltersAndTheBarWeighsAsTheRing) {
    const std::vector<gfx::BezierPath> filter = glyphSubpaths("drawCircleIconFilterWithFrame:");
    const std::vector<gfx::BezierPath> noFilter = glyphSubpaths("drawCircleIconNoFilterWithFrame:");
    ASSERT_EQ(filter.size(), 1u);
    ASSERT_EQ(noFilter.size(), 5u);

    // The crossed-out funnel is the filter's, smaller: matched by its rim's
    // top and left end and by its foot, every edge but the cuts along the bar
    // lies on the filter's funnel brought to that place and size.
    const Bounds whole = analyse(filter[0]).bounds, upper = analyse(noFilter[3]).bounds;
    const Bounds lower = analyse(noFilter[4]).bounds;
    const double scale = (lower.maxY - upper.minY) / (whole.maxY - whole.minY);
    std::vector<gfx::Point> funnel = outlineOf(filter[0]);
    for (gfx::Point& p : funnel)
        p = {upper.minX + (p.x - whole.minX) * scale, upper.minY + (p.y - whole.minY) * scale};
    auto offFunnel = [&](gfx::Point p) {
        double nearest = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i + 1 < funnel.size(); ++i)
            nearest = std::min(nearest, distanceToSegment(p, funnel[i], funnel[i + 1]));
        return nearest;
    };
    for (std::size_t piece : {3u, 4u}) {
        double farthest = 0;
        for (const std::vector<gfx::Point>& segment : segmentSteps(noFilter[piece])) {
            const gfx::Point from = segment.front(), to = segment.back();
            if (std::abs(to.x - from.x + to.y - from.y) < 1e-6) continue;  // a cut along the bar
            for (gfx::Point p : segment) farthest = std::max(farthest, offFunnel(p));
        }
        EXPECT_LT(farthest, 0.05) << "piece " << piece;
    }

    // The bar between the two holes is as wide as the ring around them.
    const Bounds disc = analyse(noFilter[2]).bounds, lowerHole = analyse(noFilter[0]).bounds;
    const double ring = disc.maxX - lowerHole.maxX;
    EXPECT_NEAR(narrowestGap(outlineOf(noFilter[0]), outlineOf(noFilter[1])), ring, 0.05);
}

TEST(CircleIconsPlacesSecurity, KeyholeSlotWidensFromTheHeadWithoutANeck) {
    // Row by row down the keyhole: the head narrows to where the slot leaves
    // it, and from there the slot widens at every step to its foot.
    const std::vector<gfx::BezierPath> subpaths = glyphSubpaths("drawCircleIconPadlockWithFrame:");
    ASSERT_EQ(subpaths.size(), 3u);
    const std::vector<gfx::Point> keyhole = outlineOf(subpaths[1]);
    const Bounds box = analyse(subpaths[1]).bounds;
    std::vector<double> widths;
    for (double y = box.minY + 0.05; y < box.maxY - 0.05; y += 0.1) {
        double left = std::numeric_limits<double>::infinity(), right = -left;
        for (std::size_t i = 0; i + 1 < keyhole.size(); ++i) {
            const gfx::Point a = keyhole[i], b = keyhole[i + 1];
            if ((a.y - y) * (b.y - y) > 0 || a.y == b.y) continue;
            const double x = a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y);
            left = std::min(left, x), right = std::max(right, x);
        }
        widths.push_back(right - left);
    }
    const auto headWidest = std::max_element(widths.begin(), widths.begin() + widths.size() / 2);
    const auto neck = std::min_element(headWidest, widths.end());
    const auto foot = std::max_element(neck, widths.end());
    ASSERT_GT(foot - neck, 10);
    const auto stalls = std::adjacent_find(neck, foot, [](double above, double below) { return below < above + 1e-3; });
    EXPECT_TRUE(stalls == foot) << "the slot stops widening " << 0.1 * double(stalls - neck) << " below the head";
}

TEST(CircleIconsPlacesSecurity, GlobeKeepsOneStrokeWeightAndSmoothMeridians) {
    const std::vector<gfx::BezierPath> subpaths = glyphSubpaths("drawCircleIconGlobeWithFrame:");
    ASSERT_EQ(subpaths.size(), 17u);
    // Cells 1 to 16 in four columns of four, left to right, each top to bottom.
    auto cell = [&](int column, int row) { return subpaths[1 + column * 4 + row]; };
    const Bounds disc = analyse(subpaths[0]).bounds;
    const gfx::Point centre{(disc.minX + disc.maxX) / 2, (disc.minY + disc.maxY) / 2};
    auto fromCentre = [&](gfx::Point p) { return std::hypot(p.x - centre.x, p.y - centre.y); };
    double rimInside = 0;  // the rim's inner edge: the farthest any cell reaches
    for (std::size_t i = 1; i < subpaths.size(); ++i)
        for (gfx::Point p : outlineOf(subpaths[i])) rimInside = std::max(rimInside, fromCentre(p));
    const double weight = (disc.maxX - disc.minX) / 2 - rimInside;

    // Every line between two cells, parallels, equator and meridians, is as
    // wide as the rim.
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            SCOPED_TRACE("column " + std::to_string(column + 1) + ", row " + std::to_string(row + 1));
            const std::vector<gfx::Point> here = outlineOf(cell(column, row));
            if (row < 3) {
                EXPECT_NEAR(narrowestGap(here, outlineOf(cell(column, row + 1))), weight, 0.1) << "below";
            }
            if (column < 3) {
                EXPECT_NEAR(narrowestGap(here, outlineOf(cell(column + 1, row))), weight, 0.1) << "right";
            }
        }
    }

    // Every meridian meets the equator square on, so that it runs on through
    // it without a point: at the corners of the cells just above the equator
    // that are off the rim, the edge other than the equator's is upright.
    int corners = 0;
    for (int column = 0; column < 4; ++column) {
        const gfx::BezierPath above = cell(column, 1);
        const double equator = analyse(above).bounds.maxY;
        auto atEquator = [&](gfx::Point p) {
            return std::abs(p.y - equator) < 1e-9 && fromCentre(p) < rimInside - 0.01;
        };
        for (const Segment& s : segmentsOf(above)) {
            for (auto [end, direction] : {std::pair{s.p0, startDirection(s)}, std::pair{s.p3, endDirection(s)}}) {
                if (!atEquator(end) || std::abs(direction.y) < 1e-9) continue;
                ++corners;
                EXPECT_LT(std::abs(std::atan2(direction.x, std::abs(direction.y))) * 180 / std::numbers::pi, 0.5)
                    << "column " << column + 1 << " at x " << end.x;
            }
        }
    }
    EXPECT_EQ(corners, 6) << "the inner cells meet the equator at two such corners, the outer ones at one";
}

TEST(CircleIconsPlacesSecurity, BrowserDotsAreRound) {
    const std::vector<gfx::BezierPath> subpaths = glyphSubpaths("drawCircleIconBrowserWithFrame:");
    ASSERT_EQ(subpaths.size(), 5u);
    for (std::size_t dot = 1; dot <= 3; ++dot) {
        const Bounds box = analyse(subpaths[dot]).bounds;
        const gfx::Point centre{(box.minX + box.maxX) / 2, (box.minY + box.maxY) / 2};
        const double radius = (box.maxX - box.minX) / 2;
        EXPECT_NEAR(box.maxY - box.minY, 2 * radius, 1e-3) << "dot " << dot;
        double off = 0;
        for (gfx::Point p : outlineOf(subpaths[dot]))
            off = std::max(off, std::abs(std::hypot(p.x - centre.x, p.y - centre.y) - radius));
        EXPECT_LT(off, 0.005) << "dot " << dot;
    }
}

}  // namespace
