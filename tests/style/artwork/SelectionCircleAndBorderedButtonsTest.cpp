// The selection circle and the two halves of the bordered button, for each
// value of their flag: ops, placement, rounded corners and pixels.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr const char* selection = "drawSelectionCircleWithFrame:selected:";
constexpr const char* top = "drawBorderedButtonTopWithFrame:highlighted:";
constexpr const char* bottom = "drawBorderedButtonBottomWithFrame:highlighted:";

TEST(SelectionCircleAndBorderedButtons, OpsPlacementAndStateLeftBehind) {
    const std::string resting = "save, shadow 0.13 0 1 1, fill white, restore", pressed = "save, fill grey1, restore";
    const std::string restingTop = resting + ", fill grey1", pressedTop = pressed + ", fill grey1";
    const char* black = "blackColor";
    std::vector<WidgetRow> rows;
    for (long flag : {0L, 1L, 2L, 3L}) {  // only the lowest bit counts
        const bool set = flag & 1;
        const char* circle = set ? "fill bvBlue" : "stroke grey3 1";
        const char* fillLeft = set ? "bvBlue" : black;
        const char* strokeLeft = set ? black : "grey3";
        rows.push_back({selection, {0, 0, 60, 60}, flag, 0, 0, circle, {{3, 3, 54, 54}}, fillLeft, strokeLeft});
        // Both group edges round halves up: off centre in a small frame.
        rows.push_back({selection, {0, 0, 10, 10}, flag, 0, 0, circle, {{1, 1, 9, 9}}, fillLeft, strokeLeft});
        // The separator is drawn whatever the state and leaves its grey set.
        rows.push_back({top, {0, 0, 240, 45}, flag, 0, 0, (set ? pressedTop : restingTop).c_str(),
                        {{20, 4, 200, 41}, {20, 44, 200, 1}}, "grey1", black});
        rows.push_back({bottom, {0, 0, 240, 45}, flag, 0, 0, (set ? pressed : resting).c_str(), {{20, 0, 200, 41}},
                        black, black});
    }
    rows.push_back({top, {10.5, 5, 240, 45}, 0, 0, 0, restingTop.c_str(), {{30.5, 9, 200, 41}, {30.5, 49, 200, 1}},
                    "grey1", black});
    for (const WidgetRow& row : rows) checkWidgetRow(row);

    // The top half rounds its top corners by 5, the bottom half its bottom ones.
    EXPECT_EQ(record(top, {0, 0, 240, 45}).fills.at(0).path.elements(),
              gfx::BezierPath::roundedRect({20, 4, 200, 41}, gfx::topLeft | gfx::topRight, {5, 5}).elements());
    EXPECT_EQ(record(bottom, {0, 0, 240, 45}).fills.at(0).path.elements(),
              gfx::BezierPath::roundedRect({20, 0, 200, 41}, gfx::bottomLeft | gfx::bottomRight, {5, 5}).elements());
}

TEST(SelectionCircleAndBorderedButtons, Pixels) {
    const gfx::ColorRef blue = StyleKit::bvBlue(), white = StyleKit::white(), grey1 = StyleKit::grey1();
    checkProbes(selection, {60, 60}, 1, 0, 0, {{30, 30, blue}, {30, 4.2, blue}, {1, 1, nullptr}});
    checkProbes(selection, {60, 60}, 0, 0, 0, {{30, 30, nullptr}, {30, 5, nullptr}});  // a ring, empty inside
    // The face, the separator, the margins at the sides and above, the rounded
    // top corner and the square bottom one.
    checkProbes(top, {240, 45}, 0, 0, 0,
                {{120, 20, white}, {120, 44.5, grey1}, {10, 20, nullptr}, {120, 1, nullptr}, {20.3, 4.3, nullptr},
                 {20.3, 44.5, grey1}});
    checkProbes(top, {240, 45}, 1, 0, 0, {{120, 20, grey1}});
    checkProbes(bottom, {240, 45}, 1, 0, 0, {{120, 20, grey1}, {120, 41.4, nullptr}});  // no shadow below
    for (double scale : {1.0, 2.0, 3.0}) {
        const gfx::ImageRef ring = renderInFrame(selection, {60, 60}, {0, 0, 60, 60}, scale);
        EXPECT_GT(ring->pixelAtPoint(30, 3).a, 100);
        EXPECT_NEAR(ring->pixelAtPoint(30, 3).r, 0.514 * 255, 3);
        const gfx::ImageRef resting = renderInFrame(bottom, {240, 45}, {0, 0, 240, 45}, scale);
        EXPECT_TRUE(pixelIs(resting, 120, 20, white));
        EXPECT_GT(resting->pixelAtPoint(120, 41.4).a, 0);  // the resting shadow below
        EXPECT_EQ(resting->pixelAtPoint(120, 41.4).r, 0);
    }
}

}  // namespace
