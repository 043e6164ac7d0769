// The locked-school and muted-bell circled icons: both colourings, the badge
// in its own snapped rectangle, and the gaps and holes that must show the
// colour beneath.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

const char* const schoolLocked = "drawCircleIconSchoolLockedWithFrame:colored:";
const char* const bellOff = "drawCircleIconBellOffWithFrame:colored:";

// How often a closed outline changes the way it bends between its corners
// (turns of more than 30 degrees from one short step to the next); turns of
// under 0.2 degrees count as running straight on.
int bendChanges(const std::vector<gfx::Point>& outline) {
    const std::size_t n = outline.size() - 1;  // the last point repeats the first
    int changes = 0, way = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const gfx::Point a = outline[i], b = outline[(i + 1) % n], c = outline[(i + 2) % n];
        const double turn = std::remainder(std::atan2(c.y - b.y, c.x - b.x) - std::atan2(b.y - a.y, b.x - a.x),
                                           2 * std::numbers::pi) * 180 / std::numbers::pi;
        if (std::abs(turn) > 30) {
            way = 0;
        } else if (std::abs(turn) > 0.2) {
            changes += way != 0 && (turn > 0) != (way > 0);
            way = turn > 0 ? 1 : -1;
        }
    }
    return changes;
}

TEST(CircleIconsFeatures, MutedBell) {
    checkCircleIconRow({bellOff, "bvBlue", "grey2", {{"whiteColor", "5+6a 8+3a", {0.2375, 0.2000, 0.7625, 0.7875}}}});
    checkImageRenderer(bellOff);
}

// Each side of the bell flares out into its lip and runs on down the lip's
// edge along the same tangent, so the outlines turn only at the knob's feet,
// the cut's ends and the bar's corners; at the cut's lower end, under the lip,
// the outline turns by less than 50 degrees, ending blunt, not in a spike.
TEST(CircleIconsFeatures, MutedBellLipsEndWithoutAPoint) {
    const std::vector<gfx::BezierPath> parts = subpathsOf(record(bellOff, {0, 0, 100, 100}, 1).fills.at(1).path);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(cornersOf(parts[0]).size(), 4u) << "upper left part: the knob's feet and the cut's ends";
    EXPECT_EQ(cornersOf(parts[0], 50).size(), 3u) << "the cut's lower end is blunt";
    EXPECT_EQ(cornersOf(parts[1]).size(), 6u) << "bar and lower right part: the bar's corners, where the bell meets it";
}

TEST(CircleIconsFeatures, LockedSchoolBadgeFollowsTheFlag) {
    const gfx::Rect frame{0, 0, 100, 100};
    for (long flag : {0L, 1L, 2L, 3L}) {
        SCOPED_TRACE("flag " + std::to_string(flag));
        const bool set = flag & 1;
        const Recording rec = record(schoolLocked, frame, flag);
        EXPECT_EQ(rec.otherOps, 0);
        ASSERT_EQ(rec.fills.size(), 4u);
        EXPECT_EQ(colorName(rec.fills[0].color), set ? "bvBlue" : "grey3");
        EXPECT_EQ(rec.fills[0].path.elements(), gfx::BezierPath::oval(frame).elements());
        checkShape(rec.fills[1], {"white", "5+11c 2+42a 0+5c 1+32a", {0.2375, 0.1938, 0.7875, 0.8000}}, frame, "backpack");
        EXPECT_EQ(colorName(rec.fills[2].color), set ? "bvBlueDark" : "grey4");
        EXPECT_EQ(rec.fills[2].path.elements(), gfx::BezierPath::oval({68, 0, 32, 33}).elements()) << "badge";
        checkShape(rec.fills[3], {"whiteColor", "7+12a 3+4c", {0.7625, 0.0750, 0.9125, 0.2500}}, frame, "padlock");
        EXPECT_EQ(colorName(rec.finalFillColor), "whiteColor");
    }
    checkImageRenderer(schoolLocked);
}

TEST(CircleIconsFeatures, OutlinesReachTheirStatedExtents) {
    const gfx::Rect unit{0, 0, 1, 1};
    const double fourPlaces = 0.00005 + 1e-12, fivePlaces = 0.000005 + 1e-12;
    const Recording school = record(schoolLocked, unit, 1);
    const gfx::BezierPath& backpack = school.fills.at(1).path;
    checkPieces(backpack,
                {{0.47168, 0.62770, {0.2916, 0.5679, 0.4741, 0.6277}},   // slot
                 {0.58307, 0.39713, {0.2375, 0.2951, 0.6075, 0.8000}},   // front, higher than its highest anchor
                 {0.66772, 0.60348, {0.6238, 0.3092, 0.7273, 0.6501}},   // opening
                 {0.67500, 0.26936, {0.4362, 0.1938, 0.7875, 0.7564}}},  // handle and side panel
                unit, "backpack", fourPlaces);
    checkPieces(school.fills.at(3).path,
                {{0.90885, 0.15803, {0.7625, 0.0750, 0.9125, 0.2500}},
                 {0.87083, 0.15455, {0.80417, 0.09886, 0.87083, 0.15455}}},
                unit, "padlock", fourPlaces);
    checkPieces(record(bellOff, unit, 1).fills.at(1).path,
                {{0.60852, 0.32590, {0.25150, 0.20000, 0.60852, 0.68262}},
                 {0.69953, 0.61265, {0.23750, 0.26295, 0.76250, 0.78750}}},
                unit, "muted bell", fivePlaces);

    // The opening keeps 0.03 from the side panel's outline, the body about 0.02 from the panel.
    const std::vector<gfx::BezierPath> parts = subpathsOf(backpack);
    const std::vector<gfx::Point> panel = outlineOf(parts[3]);
    EXPECT_GE(narrowestGap(outlineOf(parts[2]), panel), 0.03);
    EXPECT_GE(narrowestGap(outlineOf(parts[1]), panel), 0.0195);
}

// The bag (the school icon's too) bends evenly, with no wobble along an edge: the
// only S-bends are those its points call for, two on the front (its bottom's step),
// the blunt top of the panel's opening and the side panel's foot.
TEST(CircleIconsFeatures, LockedSchoolBagBendsOnlyWhereItsPointsCallFor) {
    const std::vector<gfx::BezierPath> parts = subpathsOf(record(schoolLocked, {0, 0, 100, 100}, 1).fills.at(1).path);
    ASSERT_EQ(parts.size(), 4u);
    const char* const names[] = {"slot", "front", "panel opening", "back"};
    const int mostBendChanges[] = {0, 2, 1, 1};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_LE(bendChanges(outlineOf(parts[i], 16)), mostBendChanges[i]);
    }
}

TEST(CircleIconsFeatures, LockedSchoolBadgeIsSnappedOnItsOwn) {
    const Recording rec = record(schoolLocked, {10.3, 20.7, 99.6, 101.2}, 1);
    ASSERT_EQ(rec.fills.size(), 4u);
    EXPECT_EQ(rec.fills[0].path.elements(), gfx::BezierPath::oval({10.3, 20.7, 100, 101}).elements());
    EXPECT_EQ(rec.fills[2].path.elements(), gfx::BezierPath::oval({78.3, 20.7, 32, 33}).elements());
}

TEST(CircleIconsFeatures, GapsAndHolesShowTheColourBeneath) {
    checkPixelProbes({
        {schoolLocked, 1, 38, 60, "bvBlue"},         // pocket slot
        {schoolLocked, 0, 38, 60, "grey3"},
        {schoolLocked, 1, 55.3, 62, "bvBlue"},       // slit beside the pocket
        {schoolLocked, 1, 40, 47.5, "bvBlue"},       // slit above the pocket
        {schoolLocked, 1, 62.1, 50, "bvBlue"},       // between body and side panel
        {schoolLocked, 1, 69, 46, "bvBlue"},         // opening in the side panel
        {schoolLocked, 1, 52.2, 26, "bvBlue"},       // under the handle
        {schoolLocked, 1, 75, 55, "white"},          // side panel
        {schoolLocked, 1, 83.75, 13, "bvBlueDark"},  // under the shackle
        {schoolLocked, 0, 83.75, 13, "grey4"},
        {schoolLocked, 0, 93, 5, "grey4"},           // badge outside the circle
        {bellOff, 1, 45.5, 49.5, "bvBlue"},          // gap along the bar
        {bellOff, 0, 45.5, 49.5, "grey2"},
        {bellOff, 1, 55, 54.5, "whiteColor"},        // bar joined to the lower-right part
    });
}

}  // namespace
