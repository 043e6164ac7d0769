// The gears circled icon measured on its true outline: the extents of the
// gears, the order of each tooth's segments, the radius of every root, and
// the gaps between the gears.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

const char* const gears = "drawCircleIconGearsWithFrame:";
const gfx::Rect unit{0, 0, 1, 1};  // fractions of the group are points here
constexpr double fourPlaces = 0.00005 + 1e-12;

struct Outline {
    gfx::Point centre;
    int firstRole;  // what its first segment is in a tooth, counted from the root
    double rootMin, rootMax;
};
const Outline outlines[] = {{{0.3898, 0.3712}, 0, 0.1512, 0.1539},
                            {{0.6828, 0.5286}, 3, 0.1238, 0.1261},
                            {{0.4513, 0.6817}, 2, 0.1009, 0.1026}};

TEST(CircleIconGears, OutlinesStopAtTheirOutermostTips) {
    const std::vector<gfx::BezierPath> parts = subpathsOf(record(gears, unit).fills.at(1).path);
    ASSERT_EQ(parts.size(), 6u);
    const Bounds stated[] = {{0.2000, 0.1875, 0.5778, 0.5579}, {0.5269, 0.3773, 0.8375, 0.6823},
                             {0.3247, 0.5590, 0.5769, 0.8063}};
    for (int g = 0; g < 3; ++g) {
        SCOPED_TRACE("gear " + std::to_string(g + 1));
        const Bounds b = analyse(parts[2 * g]).bounds;
        EXPECT_NEAR(b.minX, stated[g].minX, fourPlaces);
        EXPECT_NEAR(b.minY, stated[g].minY, fourPlaces);
        EXPECT_NEAR(b.maxX, stated[g].maxX, fourPlaces);
        EXPECT_NEAR(b.maxY, stated[g].maxY, fourPlaces);
    }
}

TEST(CircleIconGears, TeethAlternateAndRootsKeepTheirRadius) {
    const std::vector<gfx::BezierPath> parts = subpathsOf(record(gears, unit).fills.at(1).path);
    for (int g = 0; g < 3; ++g) {
        SCOPED_TRACE("gear " + std::to_string(g + 1));
        const Outline& o = outlines[g];
        const auto& elements = parts[2 * g].elements();
        const auto segments = segmentSteps(parts[2 * g]);
        ASSERT_EQ(segments.size(), 48u);
        for (std::size_t s = 0; s < segments.size(); ++s) {
            const int role = (o.firstRole + int(s)) % 6;
            EXPECT_EQ(elements[s + 1].kind, role % 2 ? gfx::PathElement::Kind::line : gfx::PathElement::Kind::curve);
            if (role != 0) continue;
            double lowest = INFINITY, highest = 0;
            for (gfx::Point p : segments[s]) {
                lowest = std::min(lowest, std::hypot(p.x - o.centre.x, p.y - o.centre.y));
                highest = std::max(highest, std::hypot(p.x - o.centre.x, p.y - o.centre.y));
            }
            EXPECT_GE(lowest, o.rootMin - fourPlaces) << "root " << s / 6 + 1;
            EXPECT_LE(highest, o.rootMax + fourPlaces) << "root " << s / 6 + 1;
        }
    }
}

TEST(CircleIconGears, GapsBetweenTheGears) {
    const std::vector<gfx::BezierPath> parts = subpathsOf(record(gears, unit).fills.at(1).path);
    const std::vector<gfx::Point> large = outlineOf(parts[0]), medium = outlineOf(parts[2]);
    const std::vector<gfx::Point> small = outlineOf(parts[4]);
    EXPECT_NEAR(narrowestGap(large, medium), 0.0139, fourPlaces);
    EXPECT_NEAR(narrowestGap(large, small), 0.0156, fourPlaces);
    EXPECT_NEAR(narrowestGap(medium, small), 0.0137, fourPlaces);
}

}  // namespace
