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
// on itself for 0.00006, which shows at no size, so its row allows the crossing.
const Shape cameraGlyph{"white", "20+11a 7+6c 3+5ax", {0.22500, 0.26245, 0.77212, 0.72999}};

void expectRect(const gfx::BezierPath& path, const gfx::Rect& want) {
    const gfx::Rect got = path.controlPointBounds();
    EXPECT_NEAR(got.minX(), want.minX(), 1e-9);
    EXPECT_NEAR(got.minY(), want.minY(), 1e-9);
    EXPECT_NEAR(got.width(), want.width(), 1e-9);
    EXPECT_NEAR(got.height(), want.height(), 1e-9);
}

// Figures of five decimals hold to half a unit of the fifth.
constexpr double fifthPlace = 0.5e-5 + 1e-12;

TEST(CircleIconsCamera, CameraRows) {
    checkCircleIconRow({"drawCircleIconCameraWithFrame:", "bvBlueDark", nullptr, {cameraGlyph}});
    checkCircleIconRow({"drawCircleIconCamera3WithFrame:destructive:", "red", "bvBlue", {cameraGlyph}});
    // The outlines' true bounds: the ring's curves reach its box between the points it runs through.
    const gfx::BezierPath glyph = record("drawCircleIconCameraWithFrame:", square).fills[1].path;
    checkPieces(glyph,
                {{0.75074, 0.35545, {0.22500, 0.26245, 0.77212, 0.72999}},
                 {0.58875, 0.62104, {0.37091, 0.40628, 0.62619, 0.65800}},
                 {0.49854, 0.45125, {0.41618, 0.45124, 0.58060, 0.61333}}},
                square, "", fifthPlace);
    const auto subpaths = subpathsOf(glyph);
    for (auto [x, y] : {std::pair{0.63534, 0.33439}, {0.62081, 0.29617}, {0.37655, 0.29559}, {0.36177, 0.33439},
                        {0.42560, 0.26245}, {0.57146, 0.26245}})
        EXPECT_TRUE(hasAnchor(subpaths[0], {x * 100, y * 100})) << "body through " << x << ", " << y;
    for (auto [x, y] : {std::pair{0.49892, 0.65798}, {0.40819, 0.62085}, {0.40834, 0.44329}, {0.49796, 0.40630},
                        {0.58892, 0.44368}})
        EXPECT_TRUE(hasAnchor(subpaths[1], {x * 100, y * 100})) << "ring through " << x << ", " << y;
    // In a frame that is not square the glyph stretches to the snapped group.
    const gfx::Point first = record("drawCircleIconCamera3WithFrame:destructive:", {10.3, 20.6, 50.2, 40.7})
                                 .fills[1].path.elements().front().points[0];
    EXPECT_NEAR(first.x, 47.837, 1e-9);
    EXPECT_NEAR(first.y, 35.17345, 1e-9);
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
}

TEST(CircleIconsCamera, CalendarFillsInOrder) {
    const Recording rec = record("drawCircleIconCalendarWithFrame:", {0, 0, 80, 80});
    EXPECT_EQ(rec.otherOps, 0);
    ASSERT_EQ(rec.fills.size(), 10u);
    EXPECT_EQ(colorName(rec.fills[0].color), "bvBlue");
    for (std::size_t i = 1; i < 10; ++i) EXPECT_EQ(colorName(rec.fills[i].color), "white");
    // Rings, day squares and the page (fill 6) in painter's order; the rings' corner radius is 1.
    const gfx::Rect rects[] = {{22.05, 14.02, 4, 12.05},   {47.12, 49.17, 8.05, 8.05}, {47.18, 37.12, 8.05, 8.05},
                               {53.2, 14.02, 4, 12.05},    {},                         {36.08, 37.12, 7.05, 8.05},
                               {24.02, 37.12, 8.05, 8.05}, {24.02, 49.17, 8.05, 8.05}, {36.08, 49.17, 7.05, 8.05}};
    const Recording moved = record("drawCircleIconCalendarWithFrame:", {0.5, 0.5, 80, 80});
    for (int i = 0; i < 9; ++i) {
        if (i == 4) continue;
        SCOPED_TRACE("fill " + std::to_string(i + 2));
        const gfx::Rect& r = rects[i];
        expectRect(rec.fills[1 + i].path, r);
        expectRect(moved.fills[1 + i].path, {r.minX() + 0.5, r.minY() + 0.5, r.width(), r.height()});
    }
    EXPECT_NEAR(rec.fills[1].path.elements()[0].points[0].x, 23.05, 1e-9);
    checkShape(rec.fills[5], {"white", "7+2c 15+14a", {0.175, 0.27337, 0.81555, 0.81555}}, {0, 0, 80, 80}, "page");
    checkPieces(rec.fills[5].path,
                {{0.76627, 0.76135, {0.22428, 0.42123, 0.76627, 0.76625}},   // window
                 {0.76220, 0.27337, {0.17500, 0.27337, 0.81555, 0.81555}}},  // outline
                {0, 0, 80, 80}, "", 0.00001);
}

TEST(CircleIconsCamera, CalendarEdgesRoundEachOnItsOwn) {
    // Fills: circle, left ring, lower right, upper right, right ring, page, upper middle...
    auto widths = [](double side) {
        std::vector<double> out;
        for (const Fill& f : record("drawCircleIconCalendarWithFrame:", {0, 0, side, side}).fills)
            out.push_back(f.path.controlPointBounds().width());
        return out;
    };
    const std::pair<double, std::vector<double>> cases[] = {
        {40, {2, 4.05, 4.05, 2, 3.05}}, {160, {8, 16.05, 16.05, 8, 14.05}}, {30, {2, 3.05, 2.05, 1, 3.05}}};
    for (const auto& [side, want] : cases) {
        const std::vector<double> got = widths(side);
        for (std::size_t i : {1, 2, 3, 4}) EXPECT_NEAR(got[i], want[i - 1], 1e-9) << side << " fill " << i + 1;
        EXPECT_NEAR(got[6], want[4], 1e-9) << side;
    }
    expectRect(record("drawCircleIconCalendarWithFrame:", {0, 0, 40, 40}).fills[4].path, {26.2, 7.02, 2, 6.05});
    // An empty frame still gives the squares and rings their additions, too small to see.
    const Recording empty = record("drawCircleIconCalendarWithFrame:", {0, 0, 0, 0});
    ASSERT_EQ(empty.fills.size(), 10u);
    expectRect(empty.fills[2].path, {0.12, 0.17, 0.05, 0.05});
    expectRect(empty.fills[1].path, {0.05, 0.02, 0, 0.05});
}

TEST(CircleIconsCamera, HolesShowTheCircle) {
    checkCircleProbes("drawCircleIconCameraWithFrame:", 0, StyleKit::bvBlueDark(), StyleKit::white(),
                {{0.4986, 0.43, true}, {0.50, 0.24, true},  // lens ring, above the viewfinder
                 {0.4984, 0.5323, false}, {0.30, 0.50, false}, {0.50, 0.29, false}});
    checkCircleProbes("drawCircleIconCalendarWithFrame:", 0, StyleKit::bvBlue(), StyleKit::white(),
                {{0.425, 0.51, true}, {0.26, 0.31, true}, {0.15, 0.60, true},  // window, notch, outside
                 {0.35, 0.51, false}, {0.50, 0.35, false}, {0.3006, 0.25, false}, {0.20, 0.60, false}});
}

}  // namespace
