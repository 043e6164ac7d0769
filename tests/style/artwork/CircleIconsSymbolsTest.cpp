// The circled plus, information sign, refresh arrow and unselected mark.

#include <gtest/gtest.h>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

const char* const plus = "drawCircleIconPlusWithFrame:";
const char* const info = "drawCircleIconInfoItalicWithFrame:";
const char* const refresh = "drawCircleIconRefreshWithFrame:";
const char* const unselected = "drawCircleIconUnselectedWithFrame:";

TEST(CircleIconsSymbols, FillsColoursStructureAndExtents) {
    // Only the plus takes the palette's white; the others the platform's.
    const CircleIconRow rows[] = {
        {plus, "bvBlue", nullptr, {{"white", "17+8a", {0.2446, 0.2399, 0.7562, 0.7500}}}},
        {info, "bvBlue", nullptr, {{"whiteColor", "4+24c 0+8c", {0.3517, 0.1625, 0.6375, 0.8322}}}},
        {refresh, "bvBlue", nullptr, {{"whiteColor", "4+11a", {0.2352, 0.2000, 0.7589, 0.7942}}}},
    };
    for (const CircleIconRow& row : rows) {
        checkCircleIconRow(row);
        checkImageRenderer(row.message);
    }
    checkImageRenderer(unselected);
}

TEST(CircleIconsSymbols, UnselectedBarIsSnapped) {
    struct Case {
        double side;
        gfx::Rect bar;
    };
    for (const Case& c : {Case{40, {10, 17, 21, 6}}, Case{100, {24, 43, 54, 13}}, Case{24, {6, 10, 13, 4}}}) {
        SCOPED_TRACE(c.side);
        const Recording rec = record(unselected, {0, 0, c.side, c.side});
        EXPECT_EQ(rec.otherOps, 0);
        ASSERT_EQ(rec.fills.size(), 2u);
        EXPECT_EQ(colorName(rec.fills[0].color), "grey3");
        EXPECT_EQ(rec.fills[0].path.elements(), gfx::BezierPath::oval({0, 0, c.side, c.side}).elements());
        EXPECT_EQ(colorName(rec.fills[1].color), "whiteColor");
        EXPECT_EQ(rec.fills[1].path.elements(), gfx::BezierPath::rect(c.bar).elements());
        EXPECT_EQ(colorName(rec.finalFillColor), "whiteColor");
    }
}

TEST(CircleIconsSymbols, PixelProbes) {
    checkPixelProbes({
        {plus, 0, 40, 40, "bvBlue"},            // between the arms
        {info, 0, 52, 35, "bvBlue"},            // the dot stands clear of the stem
        {info, 0, 49, 60, "whiteColor"},        // stem
        {refresh, 0, 50, 50, "bvBlue"},         // inside the ring
        {refresh, 0, 45, 31, "whiteColor"},     // arrowhead
        {refresh, 0, 28, 45, "bvBlue"},         // the ring is open at the upper left
        {unselected, 0, 50, 49, "whiteColor"},
        {unselected, 0, 50, 38, "grey3"},
    });
}

}  // namespace
