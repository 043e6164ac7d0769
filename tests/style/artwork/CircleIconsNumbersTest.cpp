// The circled figures' outlines turn only at their corners.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

TEST(CircleIconsNumbers, TwoRunsFromItsBowlIntoTheDiagonalWithoutACorner) {
    const Recording rec = record("drawCircleIconTwoWithFrame:", {0, 0, 100, 100});
    const std::vector<gfx::Point> corners = cornersOf(rec.fills.at(1).path);
    std::string where;
    for (gfx::Point p : corners) where += " (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
    // Two at the hook's cut end, one at the foot of the diagonal and four
    // where the base bar meets the diagonal's edges and its own ends.
    EXPECT_EQ(corners.size(), 7u) << "corners at" << where;
}

}  // namespace
