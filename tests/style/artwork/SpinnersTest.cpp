// The spinner discs and the pulsing spinners: ops and placement for a
// fraction and a resizing behaviour, the fractions under which a disc's
// transform is singular, and pixels.

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using style::StyleKit;

constexpr const char* blueDisc = "drawSpinnerCircleBlueWithFrame:";
constexpr const char* lightDisc = "drawSpinnerCircleLightBlueWithFrame:";
constexpr const char* pulse = "drawSpinnerCircleAnimatableWithFrame:resizing:fraction:";
constexpr const char* smallPulse = "drawSpinnerCircleAnimatableSmallWithFrame:resizing:fraction:";

// The fitted design, then the light disc and the blue disc, each scaled about
// its centre inside a saved state; a disc scaled by 0 is not drawn.
std::string pulseOps(const std::string& fit, const std::string& light, const std::string& blue) {
    auto disc = [](const std::string& transform, const std::string& colour) {
        return "save, " + transform + (transform.ends_with("scale 0 0") ? "" : ", fill " + colour) + ", restore";
    };
    return "save, " + fit + ", " + disc(light, "bvBlueLight") + ", " + disc(blue, "bvBlue") + ", restore";
}

TEST(Spinners, OpsPlacementAndStateLeftBehind) {
    auto at = [](const char* scale) { return std::string("translate 15 15, ") + scale; };
    const std::string rest = pulseOps("identity, identity", at("identity"), at("identity"));
    const std::string half = pulseOps("identity, identity", at("scale 1.5 1.5"), at("scale 0.5 0.5"));
    const std::string end = pulseOps("identity, identity", at("scale 2 2"), at("scale 0 0"));
    const std::string beyond = pulseOps("identity, identity", at("scale 2.5 2.5"), at("scale -0.5 -0.5"));
    const std::string wide = pulseOps("translate 15 0, identity", at("identity"), at("identity"));
    const std::string stretched = pulseOps("identity, scale 2 1", at("identity"), at("identity"));
    const std::string small =
        pulseOps("identity, identity", "translate 9 9, identity", "translate 9.07 8.93, identity");
    const gfx::Rect square{0, 0, 30, 30}, wideFrame{0, 0, 60, 30};
    const char* black = "blackColor";
    const std::vector<WidgetRow> rows = {
        // A disc keeps the frame's origin and snaps its size; its colour stays set.
        {blueDisc, {10.3, 0, 20.4, 20.6}, 0, 0, 0, "fill bvBlue", {{10.3, 0, 20, 21}}, "bvBlue", black},
        {lightDisc, {30.7, 0, -20.4, 20.6}, 0, 0, 0, "fill bvBlueLight", {{10.3, 0, 20, 21}}, "bvBlueLight", black},
        // At rest the blue disc covers the light one.
        {pulse, square, 0, 0, 0, rest.c_str(), {{7.5, 7.5, 15, 15}, {7.5, 7.5, 15, 15}}, black, black},
        {pulse, square, 0, 0, 0.5, half.c_str(), {{3.75, 3.75, 22.5, 22.5}, {11.25, 11.25, 7.5, 7.5}}, black, black},
        // At 1 the light disc touches the four sides and the blue one has gone.
        {pulse, square, 0, 0, 1, end.c_str(), {{0, 0, 30, 30}}, black, black},
        // Nothing clamps the fraction: beyond 1 the blue disc comes back, mirrored.
        {pulse, square, 0, 0, 1.5, beyond.c_str(), {{-3.75, -3.75, 37.5, 37.5}, {11.25, 11.25, 7.5, 7.5}}, black,
         black},
        {pulse, wideFrame, 0, 0, 0, wide.c_str(), {{22.5, 7.5, 15, 15}, {22.5, 7.5, 15, 15}}, black, black},
        {pulse, wideFrame, 0, 2, 0, stretched.c_str(), {{15, 7.5, 30, 15}, {15, 7.5, 30, 15}}, black, black},
        // The small spinner's blue disc sits 0.07 right of and above the light one.
        {smallPulse, {0, 0, 18, 18}, 0, 0, 0, small.c_str(), {{4.5, 4.5, 9, 9}, {4.57, 4.43, 9, 9}}, black, black},
    };
    for (const WidgetRow& row : rows) checkWidgetRow(row);

    // A raw resizing value outside 0...3 reaches the body as aspectFit.
    for (const char* message : {pulse, smallPulse}) {
        const std::string aspectFit = opsLine(record(message, wideFrame, 0, 0, 0.3));
        EXPECT_EQ(opsLine(record(message, wideFrame, 0, 7, 0.3)), aspectFit);
        EXPECT_NE(opsLine(record(message, wideFrame, 0, 2, 0.3)), aspectFit);
    }
}

TEST(Spinners, FractionsThatMakeADiscsTransformSingular) {
    // 1 scales the blue disc by 0 and -1 the light one: that disc is not drawn.
    // A fraction that is not finite leaves neither transform invertible.
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const std::pair<double, std::vector<std::string>> cases[] = {
        {1, {"bvBlueLight"}}, {-1, {"bvBlue"}}, {nan, {}}, {inf, {}}, {-inf, {}}, {0.999, {"bvBlueLight", "bvBlue"}}};
    for (const char* message : {pulse, smallPulse}) {
        for (const auto& [fraction, colours] : cases) {
            const Recording rec = record(message, {0, 0, 30, 30}, 0, 0, fraction);
            std::vector<std::string> drawn;
            for (const Fill& fill : rec.fills) drawn.push_back(colorName(fill.color));
            EXPECT_EQ(drawn, colours) << message << " fraction " << fraction;
            EXPECT_EQ(rec.finalSaveDepth, 0);
        }
    }
}

TEST(Spinners, Pixels) {
    const gfx::ColorRef blue = StyleKit::bvBlue(), light = StyleKit::bvBlueLight();
    checkProbes(blueDisc, {20, 20}, 0, 0, 0, {{10, 10, blue}, {0.5, 0.5, nullptr}});
    checkProbes(lightDisc, {20, 20}, 0, 0, 0, {{10, 10, light}});
    checkProbes(pulse, {30, 30}, 0, 0, 0, {{15, 15, blue}, {8, 15, blue}, {15, 6, nullptr}});
    checkProbes(pulse, {30, 30}, 0, 0, 0.5, {{15, 15, blue}, {15, 6, light}, {15, 2, nullptr}});
    checkProbes(pulse, {30, 30}, 0, 0, 1, {{15, 15, light}, {15, 1.2, light}, {1, 1, nullptr}});
    checkProbes(smallPulse, {18, 18}, 0, 0, 0.5, {{9, 9, blue}, {9, 3, light}});
}

}  // namespace
