// The camera, camera 3 and calendar circled icons: the camera glyph that both
// camera icons draw, the calendar's offset-snapped rings and day squares at
// several sizes, and the holes each picture leaves.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

const gfx::Rect square{0, 0, 100, 100};

// The centre disc is given point for point; at its upper right it turns back
// on itself for 0.00006, which shows at no size, so it is let cross.
const Shape cameraGlyph{"white", "20+11a 7+6c 3+5ax", {0.22500, 0.26245, 0.77212, 0.72999}};

void expectRect(const gfx::BezierPath& path, const gfx::Rect& want) {
    const gfx::Rect got = path.controlPointBounds();
    EXPECT_NEAR(got.minX(), want.minX(), 1e-9);
    EXPECT_NEAR(got.minY(), want.minY(), 1e-9);
    EXPECT_NEAR(got.width(), want.width(), 1e-9);
    EXPECT_NEAR(got.height(), want.height(), 1e-9);
}

TEST(CircleIconsCamera, CameraRows) {
    checkCircleIconRow({"drawCircleIconCameraWithFrame:", "bvBlueDark", nullptr, {cameraGlyph}});
    checkCircleIconRow({"drawCircleIconCamera3WithFrame:destructive:", "red", "bvBlue", {cameraGlyph}});
    checkSubpaths(record("drawCircleIconCameraWithFrame:", square).fills[1].path,
                  {{0.75074, 0.35545, {0.22500, 0.26245, 0.77212, 0.72999}},
                   {0.58875, 0.62104, {0.37091, 0.40628, 0.62619, 0.65800}},
                   {0.49854, 0.45125, {0.41618, 0.45124, 0.58060, 0.61333}}},
                  square, 0.0001);
}

TEST(CircleIconsCamera, BothCamerasDrawOneGlyph) {
    for (const gfx::Rect& frame : {square, gfx::Rect{10.3, 20.6, 50.2, 40.7}}) {
        const Recording camera = record("drawCircleIconCameraWithFrame:", frame);
        for (long flag : {0L, 1L}) {
            const Recording camera3 = record("drawCircleIconCamera3WithFrame:destructive:", frame, flag);
            ASSERT_EQ(camera3.fills.size(), 2u);
            EXPECT_EQ(camera3.fills[0].path.elements(), camera.fills[0].path.elements());
            EXPECT_EQ(camera3.fills[1].path.elements(), camera.fills[1].path.elements());
        }
    }
    // A frame of 50.2 x 40.7 gives the group (10.3, 20.6, 50, 41).
    const Recording rec = record("drawCircleIconCamera3WithFrame:destructive:", {10.3, 20.6, 50.2, 40.7}, 1);
    expectRect(rec.fills[0].path, {10.3, 20.6, 50, 41});
    const gfx::Point first = rec.fills[1].path.elements()[0].points[0];
    EXPECT_NEAR(first.x, 47.837, 1e-9);
    EXPECT_NEAR(first.y, 35.17345, 1e-9);
}

TEST(CircleIconsCamera, CalendarFillsInOrder) {
    const Recording rec = record("drawCircleIconCalendarWithFrame:", {0, 0, 80, 80});
    EXPECT_EQ(rec.otherOps, 0);
    ASSERT_EQ(rec.fills.size(), 10u);
    EXPECT_EQ(colorName(rec.fills[0].color), "bvBlue");
    for (std::size_t i = 1; i < 10; ++i) EXPECT_EQ(colorName(rec.fills[i].color), "white");
    EXPECT_EQ(colorName(rec.finalFillColor), "white");
    const gfx::Rect rects[] = {{22.05, 14.02, 4, 12.05},   {47.12, 49.17, 8.05, 8.05}, {47.18, 37.12, 8.05, 8.05},
                               {53.2, 14.02, 4, 12.05},    {},                         {36.08, 37.12, 7.05, 8.05},
                               {24.02, 37.12, 8.05, 8.05}, {24.02, 49.17, 8.05, 8.05}, {36.08, 49.17, 7.05, 8.05}};
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE("fill " + std::to_string(i + 2));
        if (i != 4) expectRect(rec.fills[1 + i].path, rects[i]);
    }
    // The rings' corners have a radius of one point.
    EXPECT_NEAR(rec.fills[1].path.elements()[0].points[0].x, 23.05, 1e-9);
    // The page: its window a hole, then its outline with the notches.
    checkShape(rec.fills[5], {"white", "7+2c 15+14a", {0.175, 0.27337, 0.81555, 0.81555}}, {0, 0, 80, 80}, "page");
    checkSubpaths(rec.fills[5].path,
                  {{0.76627, 0.76135, {0.22428, 0.42123, 0.76627, 0.76625}},
                   {0.76220, 0.27337, {0.17500, 0.27337, 0.81555, 0.81555}}},
                  {0, 0, 80, 80}, 0.00001);
    // With the frame's origin at (0.5, 0.5) every rectangle moves by exactly 0.5.
    const Recording moved = record("drawCircleIconCalendarWithFrame:", {0.5, 0.5, 80, 80});
    for (int i = 0; i < 9; ++i)
        if (i != 4) expectRect(moved.fills[1 + i].path, {rects[i].minX() + 0.5, rects[i].minY() + 0.5,
                                                         rects[i].width(), rects[i].height()});
}

TEST(CircleIconsCamera, CalendarEdgesRoundEachOnItsOwn) {
    auto sizes = [](double side) {
        std::vector<gfx::Size> out;
        for (const Fill& f : record("drawCircleIconCalendarWithFrame:", {0, 0, side, side}).fills)
            out.push_back(f.path.controlPointBounds().size);
        return out;
    };
    // Fills: circle, left ring, lower right, upper right, right ring, page, then the middle and left columns.
    std::vector<gfx::Size> s = sizes(40);
    EXPECT_NEAR(s[1].width, 2, 1e-9);
    EXPECT_NEAR(s[1].height, 6.05, 1e-9);
    EXPECT_NEAR(s[2].width, 4.05, 1e-9);
    EXPECT_NEAR(s[6].width, 3.05, 1e-9);
    expectRect(record("drawCircleIconCalendarWithFrame:", {0, 0, 40, 40}).fills[4].path, {26.2, 7.02, 2, 6.05});
    s = sizes(160);
    EXPECT_NEAR(s[1].width, 8, 1e-9);
    EXPECT_NEAR(s[1].height, 24.05, 1e-9);
    EXPECT_NEAR(s[3].width, 16.05, 1e-9);
    EXPECT_NEAR(s[6].width, 14.05, 1e-9);
    s = sizes(30);  // like shapes differ
    EXPECT_NEAR(s[1].width, 2, 1e-9);
    EXPECT_NEAR(s[4].width, 1, 1e-9);
    EXPECT_NEAR(s[3].width, 2.05, 1e-9);
    EXPECT_NEAR(s[2].width, 3.05, 1e-9);
    // An empty frame still gives the squares their additions, too small to see.
    const Recording empty = record("drawCircleIconCalendarWithFrame:", {0, 0, 0, 0});
    ASSERT_EQ(empty.fills.size(), 10u);
    expectRect(empty.fills[2].path, {0.12, 0.17, 0.05, 0.05});
    expectRect(empty.fills[1].path, {0.05, 0.02, 0, 0.05});
}

TEST(CircleIconsCamera, HolesShowTheCircleAtEveryScale) {
    struct Probe {
        double x, y;
        bool circle;
    };
    const std::pair<const char*, std::vector<Probe>> pictures[] = {
        {"drawCircleIconCameraWithFrame:",
         {{0.4986, 0.43, true}, {0.50, 0.24, true},  // lens ring, above the viewfinder
          {0.4984, 0.5323, false}, {0.30, 0.50, false}, {0.50, 0.29, false}}},
        {"drawCircleIconCalendarWithFrame:",
         {{0.425, 0.51, true}, {0.26, 0.31, true}, {0.15, 0.60, true},  // window, notch, outside
          {0.35, 0.51, false}, {0.50, 0.35, false}, {0.3006, 0.25, false}, {0.20, 0.60, false}}},
    };
    for (const auto& [message, probes] : pictures)
        for (double scale : {1.0, 2.0, 3.0}) {
            const gfx::ImageRef image = render(message, {160, 160}, 0, scale);
            const gfx::ColorRef circle = record(message, square).fills[0].color;
            for (const Probe& p : probes) {
                SCOPED_TRACE(std::string(message) + " at " + std::to_string(p.x) + ", " + std::to_string(p.y) +
                             " scale " + std::to_string(scale));
                EXPECT_TRUE(pixelIs(image, p.x * 160, p.y * 160, p.circle ? circle : StyleKit::white()));
            }
        }
}

}  // namespace
