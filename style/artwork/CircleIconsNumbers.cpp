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

double radians(double degrees) { return degrees * std::numbers::pi / 180; }

// Where the line through a0 and a1 meets the line through b0 and b1.
Fraction meet(Fraction a0, Fraction a1, Fraction b0, Fraction b1) {
    const double dax = a1.x - a0.x, day = a1.y - a0.y, dbx = b1.x - b0.x, dby = b1.y - b0.y;
    const double t = ((b0.x - a0.x) * dby - (b0.y - a0.y) * dbx) / (dax * dby - day * dbx);
    return {a0.x + dax * t, a0.y + day * t};
}

// An axis-aligned ellipse about (cx, cy); angles in degrees, clockwise on screen.
struct Ellipse {
    double cx, cy, rx, ry;

    Fraction at(double angle) const { return onEllipse(cx, cy, rx, ry, angle); }
    // A second point on the tangent at `angle`, a step on clockwise.
    Fraction ahead(double angle) const {
        const double t = radians(angle);
        return {cx + rx * (std::cos(t) - std::sin(t)), cy + ry * (std::sin(t) + std::cos(t))};
    }
    // Angle of the point whose tangent runs across the outward normal `normal`
    // (degrees): where a straight edge of that slope touches the ellipse.
    double touching(double normal) const {
        const double n = radians(normal);
        return std::atan2(ry * std::sin(n), rx * std::cos(n)) * 180 / std::numbers::pi;
    }
};

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

    // The figure one's letter: its weights (0.09 across upright strokes,
    // 0.075 across level ones), its base bar and its rounded stroke ends.
    // A bowl between two ellipses, 0.09 wide at the sides and 0.075 at the
    // top, ends in a rounded cut at the left and runs on from the right into
    // a diagonal down to the base bar. Both edges of the diagonal touch the
    // bowl's ellipses at the same slope, so the diagonal keeps one width and
    // leaves the bowl without a corner.
    const Ellipse outer{0.5, 0.43, 0.15, 0.14}, inner{0.5, 0.43, 0.06, 0.065};
    const double barTop = 0.655, barBottom = 0.73, left = 0.35, right = 0.65;
    const double slant = 40;    // the diagonal's outward normal, degrees below the level
    const double hookEnd = 180;  // where the bowl is cut off at the left
    const double round = 0.015;  // the cut's rounded corners, as the one's flag
    const double outerTouch = 360 + outer.touching(slant), innerTouch = 360 + inner.touching(slant);
    const Fraction outerFoot = meet(outer.at(outerTouch), outer.ahead(outerTouch), {0, barTop}, {1, barTop});
    const Fraction innerFoot = meet(inner.at(innerTouch), inner.ahead(innerTouch), {left, 0}, {left, 1});
    // The cut and its rounded corners: each arc stops short of the cut and a
    // corner curve turns along the arc's tangent onto the cut.
    const Fraction cutOuter = outer.at(hookEnd), cutInner = inner.at(hookEnd);
    const double outerStop = hookEnd + round / 0.15 * 180 / std::numbers::pi;
    const double innerStop = hookEnd + round / 0.06 * 180 / std::numbers::pi;
    const Fraction outerCorner = meet(outer.at(outerStop), outer.ahead(outerStop), cutOuter, cutInner);
    const Fraction innerCorner = meet(inner.at(innerStop), inner.ahead(innerStop), cutOuter, cutInner);
    auto onCut = [&](Fraction corner, Fraction toward) {
        const double dx = toward.x - corner.x, dy = toward.y - corner.y, length = std::hypot(dx, dy);
        return Fraction{corner.x + dx / length * round, corner.y + dy / length * round};
    };
    const Fraction start = outer.at(outerStop);
    const Fraction cutFromInner = onCut(innerCorner, cutOuter), cutToOuter = onCut(outerCorner, cutInner);

    Glyph glyph(g);
    glyph.move(start.x, start.y)
        .arc(outer.cx, outer.cy, outer.rx, outer.ry, outerStop, outerTouch, 16)
        .line(outerFoot.x, outerFoot.y)
        .line(right, barTop)
        .line(right, barBottom)
        .line(left, barBottom)
        .line(innerFoot.x, innerFoot.y)
        .line(inner.at(innerTouch).x, inner.at(innerTouch).y)
        .arc(inner.cx, inner.cy, inner.rx, inner.ry, innerTouch, innerStop, 14)
        .corner(innerCorner.x, innerCorner.y, cutFromInner.x, cutFromInner.y)
        .line(cutToOuter.x, cutToOuter.y)
        .corner(outerCorner.x, outerCorner.y, start.x, start.y)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
