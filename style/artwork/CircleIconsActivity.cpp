// Circled icons of the activity modes: sleep, school, study and play. Their
// circle is blue when `colored` is set and grey when it is clear.

#include <cmath>
#include <numbers>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

constexpr Turn acw = Turn::anticlockwise;

gfx::ColorRef modeCircle(StyleKit::Flag colored) {
    return StyleKit::isSet(colored) ? StyleKit::bvBlue() : StyleKit::grey3();
}

// A straight edge from the current point (x0, y0) to (x1, y1) as `pieces`
// curves, where an outline's make-up calls for curves.
void straight(Glyph& glyph, double x0, double y0, double x1, double y1, int pieces) {
    glyph.corner((x0 + x1) / 2, (y0 + y1) / 2, x1, y1, pieces);
}

// Angle, as onEllipse() takes it, of the point at x on an ellipse's upper half.
double upperAngle(double cx, double rx, double x) { return 360 - std::acos((x - cx) / rx) * 180 / std::numbers::pi; }

}  // namespace

void StyleKit::drawCircleIconSleepWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, modeCircle(colored));

    Glyph glyph(g);  // crescent moon
    glyph.move(0.29941, 0.58705)
        .curve(0.60058, 0.2916, 0.46575, 0.58705, 0.60058, 0.4547)
        .curve(0.59259, 0.225, 0.60058, 0.26869, 0.59772, 0.24646)
        .curve(0.775, 0.48451, 0.69921, 0.26494, 0.775, 0.36587)
        .curve(0.49162, 0.7625, 0.775, 0.63798, 0.64816, 0.7625)
        .curve(0.225, 0.5776, 0.36851, 0.7625, 0.26407, 0.68517)
        .curve(0.29941, 0.58705, 0.24879, 0.58356, 0.27371, 0.58705)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconSchoolWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, modeCircle(colored));

    // A backpack turned a little: the front with its pocket, and behind it the
    // back panel, which shows as the carrying loop on top and the side down
    // the right with the shoulder strap on it. The back keeps a thin gap from
    // the front all round, so the circle shows as a line between them.
    Glyph glyph(g);
    // Zip across the pocket, its pull hanging under it near the right end.
    glyph.move(0.485, 0.565);
    straight(glyph, 0.485, 0.565, 0.30, 0.565, 5);
    glyph.line(0.30, 0.60);
    straight(glyph, 0.30, 0.60, 0.43, 0.60, 3);
    glyph.line(0.43, 0.64).line(0.455, 0.64).line(0.455, 0.60);
    straight(glyph, 0.455, 0.60, 0.485, 0.60, 3);
    glyph.line(0.485, 0.565).close();

    // Front: a rounded top over straight sides, and the pocket at the lower
    // left, parted from the rest by a slit that opens at the left, runs along
    // the pocket's top and down its right side and closes just above the bottom.
    const double frontX = 0.445, frontY = 0.465, frontRx = 0.155, frontRy = 0.165;
    const double slitTop = 0.465, pocketTop = 0.495, pocketRight = 0.535, slitRight = 0.565;
    glyph.move(frontX - frontRx, slitTop)
        .arc(frontX, frontY, frontRx, frontRy, 180, 360, 8)
        .line(frontX + frontRx, 0.75)
        .arc(0.55, 0.75, 0.05, 0.05, 0, 90, 2);
    straight(glyph, 0.55, 0.80, 0.29, 0.80, 5);
    glyph.arc(0.29, 0.75, 0.05, 0.05, 90, 180, 2)
        .line(0.24, pocketTop + 0.05)
        .arc(0.29, pocketTop + 0.05, 0.05, 0.05, 180, 270, 2);
    straight(glyph, 0.29, pocketTop, pocketRight - 0.015, pocketTop, 6);
    glyph.arc(pocketRight - 0.015, pocketTop + 0.015, 0.015, 0.015, 270, 360, 1);
    straight(glyph, pocketRight, pocketTop + 0.015, pocketRight, 0.74, 4);
    glyph.corner(pocketRight, 0.77, 0.51, 0.785, 1)
        .corner(slitRight, 0.77, slitRight, 0.74, 1);
    straight(glyph, slitRight, 0.74, slitRight, slitTop + 0.015, 4);
    glyph.arc(slitRight - 0.015, slitTop + 0.015, 0.015, 0.015, 0, -90, 1);
    straight(glyph, slitRight - 0.015, slitTop, frontX - frontRx, slitTop, 5);
    glyph.close();

    // Gap between the side and the shoulder strap: a crescent along the strap,
    // its inner edge bowed a little the same way as the strap.
    const double strapX = 0.47, strapY = 0.70, strapRx = 0.32, strapRy = 0.51, strapWidth = 0.06;
    const double gapRx = strapRx - strapWidth, gapRy = strapRy - strapWidth;
    const Fraction gapLow = onEllipse(strapX, strapY, gapRx, gapRy, 355);
    glyph.move(gapLow.x, gapLow.y)
        .arc(strapX, strapY, gapRx, gapRy, 355, 300, 3)
        .corner(0.684, 0.461, gapLow.x, gapLow.y, 2)
        .close();

    // Back: the loop stands on the back's top just behind the front, and the
    // back's outline runs on from the loop's top over the strap's outer edge,
    // under the side and up beside the front, then round the front's top at
    // the gap's width, in and out of the loop's opening, back to the loop's
    // left foot.
    const double aroundRx = frontRx + 0.02, aroundRy = frontRy + 0.02;
    auto aroundAt = [&](double x) { return upperAngle(frontX, aroundRx, x); };
    const double loopX = 0.47, loopY = 0.27, loopRx = 0.06, loopRy = 0.08, openingRx = 0.032, openingRy = 0.05;
    const Fraction loopFoot = onEllipse(frontX, frontY, aroundRx, aroundRy, aroundAt(loopX - loopRx));
    const Fraction openingRight = onEllipse(frontX, frontY, aroundRx, aroundRy, aroundAt(loopX + openingRx));
    const Fraction openingLeft = onEllipse(frontX, frontY, aroundRx, aroundRy, aroundAt(loopX - openingRx));
    glyph.move(loopFoot.x, loopFoot.y);
    straight(glyph, loopFoot.x, loopFoot.y, loopX - loopRx, loopY, 1);
    glyph.arc(loopX, loopY, loopRx, loopRy, 180, 270, 2)
        .arc(strapX, strapY, strapRx, strapRy, 270, 360, 12)
        .corner(strapX + strapRx, 0.765, 0.73, 0.765, 2);
    straight(glyph, 0.73, 0.765, 0.645, 0.765, 2);
    glyph.corner(frontX + aroundRx, 0.765, frontX + aroundRx, 0.74, 1)
        .line(frontX + aroundRx, frontY)
        .arc(frontX, frontY, aroundRx, aroundRy, 360, aroundAt(openingRight.x), 3);
    straight(glyph, openingRight.x, openingRight.y, openingRight.x, loopY, 1);
    glyph.arc(loopX, loopY, openingRx, openingRy, 0, -180, 6);
    straight(glyph, openingLeft.x, loopY, openingLeft.x, openingLeft.y, 1);
    glyph.arc(frontX, frontY, aroundRx, aroundRy, aroundAt(openingLeft.x), aroundAt(loopFoot.x), 1).close();
    fillPath(*context, glyph.path(), StyleKit::white());
}

void StyleKit::drawCircleIconStudyWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, modeCircle(colored));

    // An open book, mirrored about its spine at x 0.5. Each page is a sheet
    // bent into the gutter: its top and bottom edges are the same curve, one
    // under the other, that climbs from the spine and levels out towards the
    // outer corner. Under each page a cover edge follows the page's bottom and
    // turns up along its outer side. Every shape runs clockwise, so a left one
    // is drawn the other way round from its mirror on the right.
    const double spine = 0.5, pageHeight = 0.35;
    auto x = [spine](double side, double fromSpine) { return spine + side * fromSpine; };
    Glyph glyph(g);
    auto page = [&](double side) {
        const double inner = x(side, 0.01), outer = x(side, 0.23), pull = x(side, 0.07);
        const double innerTop = 0.33, outerTop = 0.262, pullTop = 0.247;
        if (side < 0) {
            glyph.move(outer, outerTop).corner(pull, pullTop, inner, innerTop, 4).line(inner, innerTop + pageHeight);
            glyph.corner(pull, pullTop + pageHeight, outer, outerTop + pageHeight, 3).line(outer, outerTop).close();
        } else {
            glyph.move(inner, innerTop).corner(pull, pullTop, outer, outerTop, 4).line(outer, outerTop + pageHeight);
            glyph.corner(pull, pullTop + pageHeight, inner, innerTop + pageHeight, 3).line(inner, innerTop).close();
        }
    };
    // A band from the spine, where the book is lowest, out under the page, and
    // a strip up the page's outer side.
    auto cover = [&](double side) {
        const double strip = x(side, 0.265), edge = x(side, 0.30), stripTop = 0.30;
        const double lowerPull = x(side, 0.08), upperPull = x(side, 0.07);
        if (side > 0) {
            glyph.move(strip, stripTop).line(edge, stripTop).line(edge, 0.675);
            glyph.corner(lowerPull, 0.665, spine, 0.74, 3);
            straight(glyph, spine, 0.74, spine, 0.705, 1);
            glyph.corner(upperPull, 0.63, strip, 0.64, 2).line(strip, stripTop).close();
        } else {
            glyph.move(spine, 0.74).corner(lowerPull, 0.665, edge, 0.675, 3);
            glyph.line(edge, stripTop).line(strip, stripTop).line(strip, 0.64);
            glyph.corner(upperPull, 0.63, spine, 0.705, 2);
            straight(glyph, spine, 0.705, spine, 0.74, 1);
            glyph.close();
        }
    };
    page(-1);
    page(1);
    cover(1);
    cover(-1);
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconPlayWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, modeCircle(colored));

    Glyph glyph(g);
    // Controller body: two tall lobes joined by a flat top and a bottom that
    // curves up between the grips.
    const Fraction start = onEllipse(0.32, 0.5, 0.1575, 0.25, 270);
    const Fraction rightTop = onEllipse(0.68, 0.5, 0.1575, 0.25, -90);
    const Fraction leftBottom = onEllipse(0.32, 0.5, 0.1575, 0.25, 80);
    glyph.move(start.x, start.y)
        .line(rightTop.x, rightTop.y)
        .arc(0.68, 0.5, 0.1575, 0.25, -90, 100, 8)
        .curve(leftBottom.x, leftBottom.y, 0.60, 0.60, 0.40, 0.60)
        .arc(0.32, 0.5, 0.1575, 0.25, 80, 270, 8)
        .close();
    // Direction cross.
    const double cx = 0.33, cy = 0.47, arm = 0.085, w = 0.028, r = 0.01;
    glyph.polygon({{cx, cy - arm},
                   {cx - w, cy - arm, r},
                   {cx - w, cy - w},
                   {cx - arm, cy - w, r},
                   {cx - arm, cy + w, r},
                   {cx - w, cy + w},
                   {cx - w, cy + arm, r},
                   {cx + w, cy + arm, r},
                   {cx + w, cy + w},
                   {cx + arm, cy + w, r},
                   {cx + arm, cy - w, r},
                   {cx + w, cy - w},
                   {cx + w, cy - arm, r}});
    glyph.ellipse(0.63, 0.53, 0.035, 0.035, acw);
    glyph.ellipse(0.70, 0.43, 0.035, 0.035, acw);
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
