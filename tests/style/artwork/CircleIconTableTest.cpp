// Every circled icon on the recording backend, against a table of what each
// picture must be: the fills in painter's order with their colours, each
// glyph's subpaths (lines + curves and direction), its fill rule and its
// extent as a fraction of the group rectangle, for each flag value.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

const std::vector<CircleIconRow>& rows() {
    static const std::vector<CircleIconRow> table = {
        {"drawCircleIconDevicePhoneWithFrame:colored:", "bvBlue", "grey2",
         {{"whiteColor", "4+4c 4+0a 0+4a 4+0a", {0.31, 0.14, 0.69, 0.85}}}},
        {"drawCircleIconTickWithFrame:colored:", "bvBlue", "grey2", {{"white", "4+7*", {0.25, 0.31, 0.75, 0.69}}}},
        {"drawCircleIconCogWithFrame:", "bvBlueDark", nullptr, {{"white", "1+41* 0+4*", {0.24, 0.23, 0.77, 0.76}, true}}},
        {"drawCircleIconUserWithFrame:", "bvBlue", nullptr, {{"white", "0+4c 0+4c", {0.30, 0.17, 0.69, 0.82}}}},
        {"drawCircleIconPencilWithFrame:", "bvBlue", nullptr, {{"white", "4+0c 4+2c 3+1c", {0.23, 0.23, 0.78, 0.78}}}},
        {"drawCircleIconOneWithFrame:", "bvBlue", nullptr, {{"whiteColor", "11+5*", {0.37, 0.29, 0.64, 0.73}}}},
        {"drawCircleIconTwoWithFrame:", "bvBlue", nullptr, {{"whiteColor", "7+32*", {0.35, 0.29, 0.65, 0.73}}}},
        {"drawCircleIconSleepWithFrame:colored:", "bvBlue", "grey3", {{"whiteColor", "0+6*", {0.23, 0.23, 0.78, 0.76}}}},
        {"drawCircleIconSchoolWithFrame:colored:", "bvBlue", "grey3",
         {{"white", "5+11c 2+42a 0+5c 1+32a", {0.24, 0.19, 0.79, 0.80}}}},
        {"drawCircleIconStudyWithFrame:colored:", "bvBlue", "grey3",
         {{"whiteColor", "2+7c 2+7c 3+6c 3+6c", {0.20, 0.26, 0.80, 0.74}}}},
        {"drawCircleIconPlayWithFrame:colored:", "bvBlue", "grey3",
         {{"whiteColor", "1+17c 13+8a 0+4a 0+4a", {0.16, 0.25, 0.84, 0.75}}}},
        {"drawCircleIconUserDarkWithFrame:", "bvBlueDark", nullptr, {{"white", "0+4c 0+4c", {0.30, 0.17, 0.69, 0.82}}}},
        {"drawCircleIconControlsWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "6+6c 6+6c 8+8c", {0.26, 0.28, 0.73, 0.73}}}},
        {"drawCircleIconPadlockWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "14+7c 8+7a 4+2a", {0.30, 0.21, 0.71, 0.74}}}},
        {"drawCircleIconFilterWithFrame:", "bvBlue", nullptr, {{"whiteColor", "15+8*", {0.29, 0.29, 0.72, 0.72}}}},
        {"drawCircleIconWifiWithFrame:", "bvBlue", nullptr, {{"white", "2+10c 2+8c 0+4a", {0.23, 0.29, 0.79, 0.72}}}},
        {"drawCircleIconNoFilterWithFrame:", "bvBlue", nullptr,
         {{"white", "1+3a 1+3a 0+4c 3+1c 5+3c", {0.19, 0.19, 0.81, 0.81}}}},
        {"drawCircleIconLocationPinWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "8+8c 2+4a", {0.30, 0.24, 0.69, 0.77}}}},
        {"drawCircleIconGlobeWithFrame:", "bvBlue", nullptr,
         {{"whiteColor",
           "16+4c  2+2a 5+1a 5+1a 2+2a  3+2a 5+1a 5+1a 3+2a  2+2a 5+1a 5+1a 3+2a  2+2a 5+1a 5+1a 2+2a",
           {0.17, 0.17, 0.82, 0.82}}}},
        {"drawCircleIconSignOutWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "14+32c 16+8c", {0.19, 0.28, 0.72, 0.72}}}},
        {"drawCircleIconBrowserWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "8+4c 2+4a 7+5a 2+4a 6+2a", {0.25, 0.28, 0.76, 0.74}}}},
        {"drawCircleIconPinWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "0+4*", {0.15, 0.43, 0.30, 0.57}},
          {"whiteColor", "0+4*", {0.345, 0.43, 0.495, 0.57}},
          {"whiteColor", "0+4*", {0.53, 0.43, 0.68, 0.57}},
          {"whiteColor", "0+4*", {0.71, 0.43, 0.86, 0.57}}}},
        {"drawCircleIconBarGraphWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "2+5c", {0.24, 0.60, 0.76, 0.72}},
          {"whiteColor", "2+6c", {0.24, 0.45, 0.56, 0.56}},
          {"whiteColor", "2+4c", {0.24, 0.29, 0.66, 0.41}}}},
        {"drawCircleIconRedFlagWithFrame:", "bvBlue", nullptr, {{"whiteColor", "3+5c 0+8c", {0.29, 0.20, 0.70, 0.79}}}},
        {"drawCircleIconBellWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "13+8a 4+2a", {0.275, 0.20, 0.73125, 0.7875}}}},
        {"drawCircleIconExclamationWithFrame:", "red", nullptr,
         {{"whiteColor", "4+0* 1+4*", {0.41250, 0.1625, 0.5875, 0.825}}}},
        {"drawCircleIconGearsWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "24+24a 0+4c 24+24a 0+4c 24+24a 0+4c", {0.2000, 0.1875, 0.8375, 0.8063}}}},
    };
    return table;
}

TEST(CircleIconTable, FillsColoursStructureAndExtents) {
    for (const CircleIconRow& row : rows()) checkCircleIconRow(row);
}

TEST(CircleIconTable, FirstGroupKeepsEveryPointInside) {
    for (const CircleIconRow& row : rows()) {
        if (StyleKit::routine(row.message)->number > 13) continue;
        SCOPED_TRACE(row.message);
        const gfx::Rect all = record(row.message, {0, 0, 100, 100}, 1).fills[1].path.controlPointBounds();
        EXPECT_GE(std::min(all.minX(), all.minY()), 13.75 - 1e-9);
        EXPECT_LE(std::max(all.maxX(), all.maxY()), 85.085 + 1e-9);
    }
}

}  // namespace
