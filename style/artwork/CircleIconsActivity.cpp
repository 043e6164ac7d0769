// Circled icons of the activity modes: sleep, school, study and play. Their
// circle is blue when `colored` is set and grey when it is clear.

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"
#include "style/artwork/SchoolBackpack.h"

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
    fillPath(*context, schoolBackpack(g), StyleKit::white());
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
