// Beta badge: the word BETA in white capitals on a blue rounded rectangle,
// drawn at 200 x 100 and fitted into the frame.

#include <cmath>
#include <numbers>

#include "graphics/Context.h"
#include "style/StyleKit.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"
#include "style/artwork/ResizingFrame.h"

namespace style {

using namespace artwork;

namespace {

// The letters on the baseline y = 73, capitals 46 high, from x = 23 to 177.
// One path; the counters of B and A run anticlockwise against their clockwise
// letters, so the non-zero rule leaves them open. Every subpath returns to
// its first point with a line before it is closed.
gfx::BezierPath lettering() {
    Glyph g(gfx::Rect{0, 0, 1, 1});  // points are design points
    // B, lower counter: the bowl's round side, then its straight sides.
    g.move(40.83, 65.71)
        .arc(40.83, 59.415, 7.78, 6.295, 90, -90, 8)
        .line(32.6, 53.12)
        .line(32.6, 65.71)
        .line(40.83, 65.71)
        .close();
    // B, upper counter.
    g.move(32.6, 34.23)
        .line(32.6, 46.66)
        .line(39.9, 46.66)
        .arc(39.9, 40.445, 7.4, 6.215, 90, -90, 8)
        .line(32.6, 34.23)
        .close();
    // B, outline: the straight top, the upper bowl round to the notch at the
    // waist, the wider lower bowl round to the straight bottom, then the stem.
    // Each bowl is an ellipse off the top or bottom bar, as its counter is,
    // made to pass the notch, so the two meet there at an inward point.
    const double notchX = 52.5, notchY = 49.6;
    auto notchAngle = [&](double cx, double rx) { return std::acos((notchX - cx) / rx) * 180 / std::numbers::pi; };
    const double upperX = 39.49, upperRx = 56.9 - upperX, upperAt = notchAngle(upperX, upperRx);
    const double upperRy = (notchY - 27) / (1 + std::sin(upperAt * std::numbers::pi / 180));
    const double lowerX = 40.83, lowerRx = 58.11 - lowerX, lowerAt = notchAngle(lowerX, lowerRx);
    const double lowerRy = (73 - notchY) / (1 + std::sin(lowerAt * std::numbers::pi / 180));
    g.move(upperX, 27)
        .arc(upperX, 27 + upperRy, upperRx, upperRy, 270, 360, 4)
        .arc(upperX, 27 + upperRy, upperRx, upperRy, 0, upperAt, 3)
        .arc(lowerX, 73 - lowerRy, lowerRx, lowerRy, -lowerAt, 0, 3)
        .arc(lowerX, 73 - lowerRy, lowerRx, lowerRy, 0, 90, 4)
        .line(23, 73)
        .line(23, 27)
        .line(upperX, 27)
        .close();
    // E.
    g.polygon({{75.14, 34.45}, {75.14, 46.27}, {90.64, 46.27}, {90.64, 53.47}, {75.14, 53.47}, {75.14, 65.55},
               {95.05, 65.55}, {95.05, 73}, {65.48, 73}, {65.48, 27}, {95.05, 27}, {95.05, 34.45}});
    // T.
    g.polygon({{135.1, 34.67}, {121.53, 34.67}, {121.53, 73}, {111.89, 73}, {111.89, 34.67}, {98.32, 34.67},
               {98.32, 27}, {135.1, 27}});
    // A, counter: a triangle with a rounded apex.
    g.move(160.87, 55.53)
        .line(155.84, 38.6)
        .corner(154.95, 35.62, 153.95, 35.62, 2)
        .corner(152.95, 35.62, 152.07, 38.6, 2)
        .line(147.07, 55.53)
        .line(160.87, 55.53)
        .close();
    // A, outline: rounded inner corners at the feet, under the crossbar.
    g.move(177, 73)
        .line(169.54, 73)
        .corner(167.09, 73, 166.34, 70.91, 2)
        .line(163.2, 62.13)
        .line(144.7, 62.13)
        .line(141.56, 70.91)
        .corner(140.81, 73, 138.43, 73, 2)
        .line(130.91, 73)
        .line(149.06, 27)
        .line(158.88, 27)
        .line(177, 73)
        .close();
    return g.path();
}

}  // namespace

void StyleKit::drawBetaBadgeWithFrame(const gfx::Rect& frame, ResizingBehavior resizing) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    ResizingFrame fit(*context, resizing, 200, 100, frame);
    fillPath(*context, gfx::BezierPath::roundedRect({0, 0, 200, 100}, 8), StyleKit::bvBlue());
    fillPath(*context, lettering(), gfx::Color::whiteColor());
}

}  // namespace style
