// Circled icons for the account and device screens: phone, tick, cog, user,
// pencil and sliders.

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

constexpr Turn cw = Turn::clockwise;
constexpr Turn acw = Turn::anticlockwise;

// Shared by the User and UserDark routines; each names its circle colour,
// fetched from the palette by that name at every call.
void circleIconUser(gfx::Context& context, const gfx::Rect& frame, const char* circleColor) {
    const gfx::Rect g = circleGroup(frame);
    fillCircle(context, g, StyleKit::color(circleColor));

    Glyph glyph(g);
    glyph.ellipse(0.495, 0.625, 0.195, 0.195, cw);  // body
    glyph.ellipse(0.5, 0.295, 0.13, 0.125, cw);     // head
    fillPath(context, glyph.path(), StyleKit::white());
}

// A bar 0.03 high across the glyph with a knob of radius 0.05 on it, as one
// outline; the middle slider's bar ends are drawn in two pieces each.
void addSlider(Glyph& glyph, double knobX, double y, bool middle) {
    const double r = 0.05, half = 0.015, left = 0.26, right = 0.73;
    const double a = 17.457603;  // where the bar's edges meet the knob
    const Fraction start = onEllipse(knobX, y, r, r, 360 - a);
    const Fraction bottomRight = onEllipse(knobX, y, r, r, a);
    const Fraction topLeft = onEllipse(knobX, y, r, r, 180 + a);
    const int arcPieces = middle ? 4 : 3;
    glyph.move(start.x, start.y).line(right, y - half);
    if (middle) glyph.line(right, y);
    glyph.line(right, y + half).line(bottomRight.x, bottomRight.y);
    glyph.arc(knobX, y, r, r, a, 180 - a, arcPieces);
    glyph.line(left, y + half);
    if (middle) glyph.line(left, y);
    glyph.line(left, y - half).line(topLeft.x, topLeft.y);
    glyph.arc(knobX, y, r, r, 180 + a, 360 - a, arcPieces);
    glyph.close();
}

}  // namespace

void StyleKit::drawCircleIconDevicePhoneWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, isSet(colored) ? StyleKit::bvBlue() : StyleKit::grey2());

    Glyph glyph(g);
    glyph.roundedRect(0.30691, 0.1375, 0.6875, 0.85, 0.07, 0.07, cw);
    glyph.rect(0.44, 0.185, 0.56, 0.205, acw);       // speaker slot
    glyph.ellipse(0.49721, 0.7925, 0.03, 0.03, acw);  // home button
    glyph.rect(0.335, 0.235, 0.66, 0.735, acw);       // screen
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconTickWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, isSet(colored) ? StyleKit::bvBlue() : StyleKit::grey2());

    // A stroke 0.08 wide through (0.29, 0.51), (0.435, 0.65), (0.71, 0.35)
    // with round ends and a round bottom; the angles are its edge normals.
    const double h = 0.04;
    const Fraction start = onEllipse(0.29, 0.51, h, h, 313.99491);
    const Fraction rightTop = onEllipse(0.71, 0.35, h, h, -137.48955);
    const Fraction bottomRight = onEllipse(0.435, 0.65, h, h, 42.51045);
    const Fraction leftBottom = onEllipse(0.29, 0.51, h, h, 133.99491);
    Glyph glyph(g);
    glyph.move(start.x, start.y)
        .line(0.42246, 0.58229)
        .curve(0.44339, 0.58165, 0.42842, 0.58805, 0.43779, 0.58776)  // inner corner
        .line(rightTop.x, rightTop.y)
        .arc(0.71, 0.35, h, h, -137.48955, 42.51045, 2)
        .line(bottomRight.x, bottomRight.y)
        .arc(0.435, 0.65, h, h, 42.51045, 133.99491, 2)
        .line(leftBottom.x, leftBottom.y)
        .arc(0.29, 0.51, h, h, 133.99491, 313.99491, 2)
        .close();
    fillPath(*context, glyph.path(), StyleKit::white());
}

void StyleKit::drawCircleIconCogWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlueDark());

    // Eight teeth, one every 45 degrees starting straight up; each tooth is
    // a root arc, a rising flank, a two-piece tip arc and a falling flank.
    const double cx = 0.505, cy = 0.495, root = 0.2, tip = 0.265;
    const double rootHalf = 14, tipHalf = 9;  // half-widths of a tooth, degrees
    auto flank = [&](Glyph& gl, double fromR, double fromA, double toR, double toA) {
        const Fraction a = onEllipse(cx, cy, fromR, fromR, fromA), b = onEllipse(cx, cy, toR, toR, toA);
        gl.curve(b.x, b.y, a.x + (b.x - a.x) / 3, a.y + (b.y - a.y) / 3, a.x + (b.x - a.x) * 2 / 3,
                 a.y + (b.y - a.y) * 2 / 3);
    };
    Glyph glyph(g);
    const double first = -90 - 45 + rootHalf;  // end of the last tooth, start of the first root arc
    const Fraction start = onEllipse(cx, cy, root, root, first);
    glyph.move(start.x, start.y);
    for (int k = 0; k < 8; ++k) {
        const double a = -90 + 45.0 * k;
        // The first root arc is drawn in two pieces.
        glyph.arc(cx, cy, root, root, k == 0 ? first : a - 45 + rootHalf, a - rootHalf, k == 0 ? 2 : 1);
        flank(glyph, root, a - rootHalf, tip, a - tipHalf);
        glyph.arc(cx, cy, tip, tip, a - tipHalf, a + tipHalf, 2);
        flank(glyph, tip, a + tipHalf, root, a + rootHalf);
    }
    glyph.line(start.x, start.y);  // the last flank ends where the outline began
    glyph.close();
    glyph.ellipse(0.5, 0.5, 0.09, 0.09, cw);
    gfx::BezierPath path = glyph.path();
    path.usesEvenOddFillRule = true;
    fillPath(*context, path, StyleKit::white());
}

void StyleKit::drawCircleIconUserWithFrame(const gfx::Rect& frame) {
    if (gfx::Context* context = gfx::currentContext()) circleIconUser(*context, frame, "bvBlue");
}

void StyleKit::drawCircleIconUserDarkWithFrame(const gfx::Rect& frame) {
    if (gfx::Context* context = gfx::currentContext()) circleIconUser(*context, frame, "bvBlueDark");
}

void StyleKit::drawCircleIconPencilWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Three pieces along the diagonal from the lower left to the upper right.
    Glyph glyph(g);
    glyph.polygon({{0.31552, 0.60255}, {0.58069, 0.33739}, {0.67261, 0.42931}, {0.40745, 0.69448}});  // shaft
    glyph.polygon({{0.59837, 0.31971}, {0.69849, 0.21958, 0.03}, {0.79042, 0.31151, 0.03}, {0.69029, 0.41163}});
    glyph.polygon({{0.29785, 0.62023}, {0.38977, 0.71215}, {0.22360, 0.78640, 0.02}});  // tip
    fillPath(*context, glyph.path(), StyleKit::white());
}

void StyleKit::drawCircleIconControlsWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    addSlider(glyph, 0.35, 0.33, false);
    addSlider(glyph, 0.64, 0.68, false);
    addSlider(glyph, 0.495, 0.505, true);
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
