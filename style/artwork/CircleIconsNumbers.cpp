// Circled figures one and two, for numbered steps.

#include <cmath>
#include <numbers>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

// Angle, as onEllipse() takes it, of the point on the ellipse's right-hand
// side where a line from (px, py), outside the ellipse, touches it.
double touchAngle(double cx, double cy, double rx, double ry, double px, double py) {
    // On the unit circle the line from u touches at the angle of u less acos(1 / |u|).
    const double ux = (px - cx) / rx, uy = (py - cy) / ry;
    return (std::atan2(uy, ux) - std::acos(1 / std::hypot(ux, uy))) * 180 / std::numbers::pi;
}

}  // namespace

void StyleKit::drawCircleIconOneWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Stem with a flag to the upper left, standing on a base bar.
    Glyph glyph(g);
    glyph.polygon({{0.50, 0.29, 0.02},
                   {0.565, 0.29, 0.02},
                   {0.565, 0.655},
                   {0.64, 0.655},
                   {0.64, 0.73},
                   {0.37, 0.73},
                   {0.37, 0.655},
                   {0.475, 0.655},
                   {0.475, 0.39, 0.01},
                   {0.395, 0.435, 0.015},
                   {0.375, 0.37, 0.015}});
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconTwoWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // A hook of two elliptical arcs, a diagonal down to the left and a base bar.
    // The diagonal's lower edge leaves the outer arc for the top of the bar and
    // its upper edge climbs from the figure's lower left corner to the inner
    // arc, so the two edges run side by side and never cross. Each arc ends
    // where its edge of the diagonal touches it, so the bowl runs into the
    // diagonal without a corner.
    const double cx = 0.5, cy = 0.405;
    const double outerX = 0.15, outerY = 0.115, innerX = 0.08, innerY = 0.05;
    const double footX = 0.47, barTop = 0.66, cornerX = 0.35, cornerY = 0.675;
    const double outerEnd = 360 + touchAngle(cx, cy, outerX, outerY, footX, barTop);
    const double innerEnd = touchAngle(cx, cy, innerX, innerY, cornerX, cornerY);
    const Fraction start = onEllipse(cx, cy, outerX, outerY, 160);
    const Fraction innerTouch = onEllipse(cx, cy, innerX, innerY, innerEnd);
    Glyph glyph(g);
    glyph.move(start.x, start.y)
        .arc(cx, cy, outerX, outerY, 160, outerEnd, 16)
        .line(footX, barTop)
        .line(0.65, barTop)
        .line(0.65, 0.73)
        .line(0.35, 0.73)
        .line(cornerX, cornerY)
        .line(innerTouch.x, innerTouch.y)
        .arc(cx, cy, innerX, innerY, innerEnd, -200, 16)
        .line(start.x, start.y)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
