// The device circled icons and the sign for several devices: structure on
// the recording backend, the several-devices group rule, and openings that
// must show the blue beneath.

#include <gtest/gtest.h>

#include <string>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

const char* const multiple = "drawCircleIconDeviceMultipleWithFrame:";

TEST(CircleIconsDevices, FillsColoursStructureAndExtents) {
    const CircleIconRow rows[] = {
        {"drawCircleIconDeviceLaptopWithFrame:", "bvBlue", nullptr,
         {{"white", "4+0c 0+5c 8+8a", {0.1875, 0.2875, 0.8250, 0.7125}}}},
        {"drawCircleIconDeviceGamingConsoleWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "4+0a 0+5a 4+1c", {0.1250, 0.3599, 0.8850, 0.6250}}}},
        {"drawCircleIconDeviceMediaWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "8+4a 8+4a", {0.1875, 0.3375, 0.8250, 0.6625}}}},
        {"drawCircleIconDeviceDesktopWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "4+4a 0+4c 5+0c 5+0c 4+2a 9+3a 0+4c", {0.1750, 0.2020, 0.8151, 0.7881}}}},
        {"drawCircleIconDeviceUnknownWithFrame:", "bvBlue", nullptr,
         {{"whiteColor", "0+4a 4+8a", {0.3625, 0.2375, 0.6375, 0.7625}}}},
        {"drawCircleIconDeviceTabletWithFrame:", "bvBlue", nullptr,
         {{"white", "4+4a 0+4c 0+4c 4+0c", {0.2343, 0.1500, 0.7593, 0.8562}}}},
    };
    for (const CircleIconRow& row : rows) {
        checkCircleIconRow(row);
        checkImageRenderer(row.message);
    }
}

TEST(CircleIconsDevices, SeveralDevicesIsABackdropAndAPhone) {
    const Recording rec = record(multiple, {0, 0, 100, 100});
    const gfx::Rect group{0, 0, 99.6, 99.6};
    EXPECT_EQ(rec.otherOps, 0);
    ASSERT_EQ(rec.fills.size(), 2u);
    // Each crescent's outer arc steps back down 0.00104 where its two halves
    // meet at the leftmost point, so the outline folds over itself there.
    checkShape(rec.fills[0], {"bvBlue", "4+6cx 4+6cx 0+4c", {0, 0, 1, 1}}, group, "backdrop");
    checkShape(rec.fills[1], {"white", "9+4a 4+4c 2+4c 4+0c", {0.4576, 0.1842, 0.7523, 0.8404}}, group, "phone");
    EXPECT_EQ(colorName(rec.finalFillColor), "white");
    checkImageRenderer(multiple);
}

TEST(CircleIconsDevices, SeveralDevicesGroupIsWholePointsPlusSixTenths) {
    // The backdrop's control points span exactly the group.
    struct Case {
        gfx::Rect frame, group;
    };
    for (const Case& c : {Case{{0, 0, 100, 100}, {0, 0, 99.6, 99.6}}, Case{{0, 0, 200, 200}, {0, 0, 199.6, 198.6}},
                          Case{{0, 0, 60, 60}, {0, 0, 59.6, 59.6}}, Case{{0, 0, 1, 1}, {0, 0, 0.6, 0.6}},
                          Case{{10.25, 20.75, 31.5, 30.4}, {10.25, 20.75, 31.6, 30.6}},
                          Case{{50, 50, -40, -40}, {10, 10, 39.6, 39.6}},
                          // An empty frame gives a size of -0.4: the picture shrinks into
                          // the square just above and left of the origin.
                          Case{{5, 5, 0, 0}, {4.6, 4.6, 0.4, 0.4}}}) {
        SCOPED_TRACE(std::to_string(c.frame.size.width) + " x " + std::to_string(c.frame.size.height));
        const gfx::Rect got = record(multiple, c.frame).fills.at(0).path.controlPointBounds();
        EXPECT_NEAR(got.minX(), c.group.minX(), 1e-9);
        EXPECT_NEAR(got.minY(), c.group.minY(), 1e-9);
        EXPECT_NEAR(got.width(), c.group.width(), 1e-9);
        EXPECT_NEAR(got.height(), c.group.height(), 1e-9);
    }
    const gfx::Point first = record(multiple, {10.25, 20.75, 31.5, 30.4}).fills[0].path.elements()[0].points[0];
    EXPECT_NEAR(first.x, 26.0509, 1e-4);
    EXPECT_NEAR(first.y, 51.35, 1e-9);
}

TEST(CircleIconsDevices, OpeningsShowTheBlueBeneath) {
    checkPixelProbes({
        {"drawCircleIconDeviceLaptopWithFrame:", 0, 50, 50, "bvBlue"},           // screen
        {"drawCircleIconDeviceGamingConsoleWithFrame:", 0, 24.438, 44.969, "bvBlue"},  // button
        {"drawCircleIconDeviceGamingConsoleWithFrame:", 0, 50, 56, "bvBlue"},    // band under the box
        {"drawCircleIconDeviceMediaWithFrame:", 0, 50, 54.1, "bvBlue", 2},       // line between lid and body
        {"drawCircleIconDeviceDesktopWithFrame:", 0, 27.5, 41.7, "bvBlue"},      // lower drive slot
        {"drawCircleIconDeviceDesktopWithFrame:", 0, 23.5, 65.1, "bvBlue"},      // power button
        {"drawCircleIconDeviceDesktopWithFrame:", 0, 53.5, 59.3, "bvBlue"},      // monitor dot
        {"drawCircleIconDeviceDesktopWithFrame:", 0, 39.5, 59, "bvBlue"},        // margin beside the tower
        {"drawCircleIconDeviceTabletWithFrame:", 0, 50, 50, "bvBlue"},           // screen
        {"drawCircleIconDeviceUnknownWithFrame:", 0, 48, 60.7, "bvBlue"},        // gap above the dot
        // Along y 49.8: two crescents, the two gaps between them, the screen,
        // and the last 0.4 of the frame.
        {multiple, 0, 5, 49.8, "bvBlue"},
        {multiple, 0, 9, 49.8, nullptr},
        {multiple, 0, 15, 49.8, "bvBlue"},
        {multiple, 0, 19.3, 49.8, nullptr},
        {multiple, 0, 55, 49.8, "bvBlue"},
        {multiple, 0, 99.8, 49.8, nullptr, 3},
    });
}

}  // namespace
