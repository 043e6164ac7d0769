// Circled icons of the protection screens: padlock, filter, filter off,
// sign out and flag.

#include <numbers>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

constexpr Turn cw = Turn::clockwise;

}  // namespace

void StyleKit::drawCircleIconPadlockWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Body and the shackle's arch, its legs rising straight from the body's
    // top; the body's long sides, the legs and the top either side of them
    // are each drawn in two pieces.
    glyph.move(0.34, 0.44)
        .line(0.3525, 0.44)
        .line(0.365, 0.44)
        .line(0.365, 0.385)
        .line(0.365, 0.33)
        .arc(0.505, 0.33, 0.14, 0.12, 180, 360, 3)
        .line(0.645, 0.385)
        .line(0.645, 0.44)
        .line(0.6575, 0.44)
        .line(0.67, 0.44)
        .corner(0.71, 0.44, 0.71, 0.48)
        .line(0.71, 0.59)
        .line(0.71, 0.70)
        .corner(0.71, 0.74, 0.67, 0.74)
        .line(0.505, 0.74)
        .line(0.34, 0.74)
        .corner(0.30, 0.74, 0.30, 0.70)
        .line(0.30, 0.59)
        .line(0.30, 0.48)
        .corner(0.30, 0.44, 0.34, 0.44)
        .close();
    // Keyhole: a round head over a slot that widens downwards.
    const double a = 75.522488;  // where the slot's neck (0.02 wide) meets the head
    const Fraction neckRight = onEllipse(0.505, 0.56, 0.04, 0.04, a);
    glyph.move(neckRight.x, neckRight.y)
        .arc(0.505, 0.56, 0.04, 0.04, a, 180 - a - 360, 5)
        .line(0.495, 0.615)
        .line(0.485, 0.655)
        .corner(0.485, 0.67, 0.495, 0.67)
        .line(0.5, 0.67)
        .line(0.505, 0.67)
        .line(0.51, 0.67)
        .line(0.515, 0.67)
        .corner(0.525, 0.67, 0.525, 0.655)
        .line(0.515, 0.615)
        .line(neckRight.x, neckRight.y)
        .close();
    // Opening under the shackle.
    glyph.move(0.415, 0.33)
        .line(0.415, 0.44)
        .line(0.505, 0.44)
        .line(0.595, 0.44)
        .line(0.595, 0.33)
        .arc(0.505, 0.33, 0.09, 0.07, 0, -180, 2)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconFilterWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Funnel: a rim, sloping sides and a stem cut on the slant; the long
    // edges are drawn in two pieces.
    Glyph glyph(g);
    glyph.polygon({{0.29, 0.29, 0.02},
                   {0.505, 0.29},
                   {0.72, 0.29, 0.02},
                   {0.72, 0.33, 0.01},
                   {0.64, 0.41976},
                   {0.555, 0.515, 0.015},
                   {0.555, 0.61},
                   {0.555, 0.665, 0.01},
                   {0.505, 0.6925},
                   {0.455, 0.72, 0.01},
                   {0.455, 0.61},
                   {0.455, 0.515, 0.015},
                   {0.37, 0.41976},
                   {0.29, 0.33, 0.01},
                   {0.29, 0.315}});
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconNoFilterWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // A white disc with the two segments either side of the bar cut out
    // (leaving the ring and the bar), and the funnel in two pieces inside
    // the segments, clear of the bar.
    const double c = 0.5, inner = 0.25;
    Glyph glyph(g);
    const Fraction lowerA = onEllipse(c, c, inner, inner, -36.869898);
    const Fraction lowerB = onEllipse(c, c, inner, inner, 126.869898);
    glyph.move(lowerA.x, lowerA.y).line(lowerB.x, lowerB.y).arc(c, c, inner, inner, 126.869898, -36.869898, 3);
    glyph.close();
    const Fraction upperA = onEllipse(c, c, inner, inner, -216.869898);
    const Fraction upperB = onEllipse(c, c, inner, inner, -53.130102);
    glyph.move(upperA.x, upperA.y).line(upperB.x, upperB.y).arc(c, c, inner, inner, -53.130102, -216.869898, 3);
    glyph.close();
    glyph.ellipse(c, c, 0.31, 0.31, cw);
    // The funnel: a cone from the rim (y 0.37, x 0.33 to 0.67) down to a stem
    // (x 0.455 to 0.545, down to 0.71), cut along lines x + y = constant that
    // keep 0.025 clear of the bar (x + y from 0.95 to 1.05). The cone's right
    // side runs nearly along the bar, so the cone ends where that side meets
    // the lower cut: the side lies wholly in the gap and leaves no sliver.
    const double clearance = 0.025 * std::numbers::sqrt2;  // the gap, measured in x + y
    const double upperCut = 0.95 - clearance, lowerCut = 1.05 + clearance;
    const double rimY = 0.37, rimLeft = 0.33, stemLeft = 0.455, stemRight = 0.545, stemBottom = 0.71;
    const double stemTop = lowerCut - stemRight;
    const double t = (upperCut - rimLeft - rimY) / (stemLeft - rimLeft + stemTop - rimY);  // along the left side
    glyph.polygon({{rimLeft + (stemLeft - rimLeft) * t, rimY + (stemTop - rimY) * t},
                   {rimLeft, rimY, 0.02},
                   {upperCut - rimY, rimY}});
    glyph.polygon({{stemLeft, lowerCut - stemLeft},
                   {stemRight, stemTop, 0.008, 1, 2},
                   {stemRight, stemBottom, 0.015},
                   {stemLeft, stemBottom, 0.015}});
    fillPath(*context, glyph.path(), StyleKit::white());
}

void StyleKit::drawCircleIconSignOutWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Arrow pointing left: a head of two barbs and a shaft, every corner
    // rounded in several pieces.
    glyph.polygon({{0.182, 0.50, 0.02, 4},
                   {0.285, 0.40, 0.015, 4},
                   {0.32, 0.435, 0.015, 4, 2},
                   {0.265, 0.48, 0.005, 3, 2},
                   {0.58, 0.48, 0.01, 3},
                   {0.58, 0.52, 0.01, 3, 2},
                   {0.265, 0.52, 0.005, 3, 2},
                   {0.32, 0.565, 0.015, 4},
                   {0.285, 0.60, 0.015, 4, 2}});
    // Door frame, open on the left where the arrow leaves it.
    glyph.polygon({{0.35, 0.44},
                   {0.35, 0.28, 0.03, 1, 2},
                   {0.72, 0.28, 0.03},
                   {0.72, 0.72, 0.03, 1, 2},
                   {0.35, 0.72, 0.03},
                   {0.35, 0.56},
                   {0.39, 0.56},
                   {0.39, 0.68, 0.01, 1, 2},
                   {0.68, 0.68, 0.01},
                   {0.68, 0.32, 0.01, 1, 2},
                   {0.39, 0.32, 0.01},
                   {0.39, 0.44}});
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconRedFlagWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Pole leaning to the left, rounded at both ends.
    glyph.move(0.41, 0.30)
        .corner(0.41, 0.29, 0.42, 0.29)
        .line(0.43, 0.29)
        .corner(0.44, 0.29, 0.44, 0.30)
        .line(0.32, 0.775)
        .arc(0.305, 0.775, 0.015, 0.015, 0, 180, 3)
        .line(0.41, 0.30)
        .close();
    // Flag waving from the top of the pole. Its hoist is straight, parallel
    // to the pole's left side ((0.41, 0.30) to (0.29, 0.775)) and 0.01 out
    // from it, so that below the flag the pole carries on from its corner.
    auto hoistAt = [](double y) { return Fraction{0.41 - 0.12 * (y - 0.30) / 0.475 - 0.01, y}; };
    const Fraction top = hoistAt(0.23), middle = hoistAt(0.3775), bottom = hoistAt(0.525);
    auto straightTo = [&](Fraction from, Fraction to) {
        glyph.curve(to.x, to.y, from.x + (to.x - from.x) / 3, from.y + (to.y - from.y) / 3,
                    from.x + (to.x - from.x) * 2 / 3, from.y + (to.y - from.y) * 2 / 3);
    };
    glyph.move(top.x, top.y)
        .curve(0.54, 0.23, 0.45, 0.19, 0.495, 0.19)
        .curve(0.70, 0.22, 0.59, 0.27, 0.65, 0.26)
        .curve(0.685, 0.37, 0.69, 0.27, 0.685, 0.32)
        .curve(0.67, 0.51, 0.685, 0.42, 0.675, 0.47)
        .curve(0.51, 0.50, 0.62, 0.54, 0.56, 0.54)
        .curve(bottom.x, bottom.y, 0.46, 0.455, 0.39, 0.52);
    straightTo(bottom, middle);
    straightTo(middle, top);
    glyph.close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
