// Circled icons of the activity modes: sleep, school, study and play. Their
// circle is blue when `colored` is set and grey when it is clear.

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

    Glyph glyph(g);
    // Pocket slot: a thin U cut into the front, square at its left end and
    // round at its right end.
    glyph.move(0.29, 0.55)
        .line(0.29, 0.68)
        .arc(0.425, 0.68, 0.135, 0.06, 180, 0, 4)
        .line(0.56, 0.55)
        .arc(0.545, 0.55, 0.015, 0.015, 0, -180, 3)
        .line(0.53, 0.68)
        .arc(0.425, 0.68, 0.105, 0.03, 0, 180, 4)
        .line(0.32, 0.55)
        .line(0.29, 0.55)
        .close();
    // Front of the bag: a domed top and a rounded bottom.
    const Fraction frontStart = onEllipse(0.44, 0.42, 0.20, 0.12, 180);
    glyph.move(frontStart.x, frontStart.y)
        .arc(0.44, 0.42, 0.20, 0.12, 180, 360, 20)
        .line(0.64, 0.74)
        .arc(0.44, 0.74, 0.20, 0.06, 0, 180, 22)
        .line(frontStart.x, frontStart.y)
        .close();
    // Gap between the back panel and the shoulder strap.
    glyph.move(0.725, 0.57).arc(0.695, 0.57, 0.03, 0.13, 0, -360, 5).close();
    // Back panel behind the front: a domed top carrying a loop, the strap
    // bulging out on the right, and a left edge that keeps clear of the
    // pocket so the slot stays open. The loop runs up its outer edge, back
    // a little along the dome, over its inner edge and on along the dome, so
    // the space under it winds back to nothing and stays open.
    const double domeX = 0.5, domeY = 0.37, domeRx = 0.16, domeRy = 0.12;
    const Fraction outerFoot = onEllipse(domeX, domeY, domeRx, domeRy, 250);
    const Fraction innerFoot = onEllipse(domeX, domeY, domeRx, domeRy, 258);
    const double outerRy = outerFoot.y - 0.19, innerRy = outerRy - 0.035;
    const Fraction backStart = onEllipse(domeX, domeY, domeRx, domeRy, 180);
    glyph.move(backStart.x, backStart.y)
        .arc(domeX, domeY, domeRx, domeRy, 180, 250, 3)
        .arc(domeX, outerFoot.y, domeX - outerFoot.x, outerRy, 180, 360, 4)
        .arc(domeX, domeY, domeRx, domeRy, 290, 282, 1)
        .arc(domeX, innerFoot.y, domeX - innerFoot.x, innerRy, 0, -180, 4)
        .arc(domeX, domeY, domeRx, domeRy, 258, 290, 1)
        .arc(domeX, domeY, domeRx, domeRy, 290, 360, 3)
        .arc(0.66, 0.57, 0.13, 0.20, -90, 90, 12)
        .line(0.62, 0.77)
        .arc(0.34, 0.77, 0.28, 0.40, 0, -90, 4)
        .close();
    fillPath(*context, glyph.path(), StyleKit::white());
}

void StyleKit::drawCircleIconStudyWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, modeCircle(colored));

    // Two pages with curved top and bottom edges, and under each a cover edge
    // that turns up along the outer side of the page.
    Glyph glyph(g);
    for (double left : {0.27, 0.51}) {
        const double cx = left + 0.11;
        const Fraction start = onEllipse(cx, 0.31, 0.11, 0.05, 180);
        glyph.move(start.x, start.y)
            .arc(cx, 0.31, 0.11, 0.05, 180, 360, 3)
            .line(left + 0.22, 0.66)
            .arc(cx, 0.66, 0.11, 0.035, 0, -180, 3)
            .line(left, 0.33)
            .curve(start.x, start.y, left, 0.3233, start.x, start.y + 0.0067)
            .close();
    }
    glyph.move(0.765, 0.34)
        .line(0.80, 0.34)
        .line(0.80, 0.70)
        .arc(0.65, 0.70, 0.15, 0.04, 0, 180, 3)
        .curve(0.50, 0.68, 0.50, 0.6933, 0.50, 0.6867)
        .arc(0.6325, 0.68, 0.1325, 0.03, 180, 0, 2)
        .line(0.765, 0.34)
        .close();
    glyph.move(0.50, 0.70)
        .arc(0.35, 0.70, 0.15, 0.04, 0, 180, 3)
        .line(0.20, 0.34)
        .line(0.235, 0.34)
        .line(0.235, 0.68)
        .arc(0.3675, 0.68, 0.1325, 0.03, 180, 0, 2)
        .curve(0.50, 0.70, 0.50, 0.6867, 0.50, 0.6933)
        .close();
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
