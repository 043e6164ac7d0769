// Circled icons of the protection screens: padlock, filter, filter off,
// sign out and flag.

#include <cmath>
#include <numbers>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

constexpr Turn cw = Turn::clockwise;

double degrees(double radians) { return radians * 180 / std::numbers::pi; }

Fraction lerp(Fraction a, Fraction b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

// The point `length` from `from` towards `to`.
Fraction toward(Fraction from, Fraction to, double length) {
    return lerp(from, to, length / std::hypot(to.x - from.x, to.y - from.y));
}

void lineInPieces(Glyph& glyph, Fraction from, Fraction to, int pieces) {
    for (int i = 1; i <= pieces; ++i) {
        const Fraction p = lerp(from, to, double(i) / pieces);
        glyph.line(p.x, p.y);
    }
}

// The funnel of both filter icons, laid out in the filter icon's group: a rim
// whose ends are round lips, straight sides from the lips in to a narrow
// stem, and the stem's foot cut on the slant. Drawn `scale` times that size
// with its middle on `centre`. A rounded corner's curve runs from its In
// point to its Out point, clockwise round the funnel.
class Funnel {
public:
    static constexpr double middle = 0.505;  // of the funnel's width and height

    Funnel(double scale, Fraction centre) : scale_(scale), centre_(centre) {
        const Fraction lip{rimLeft + lipRadius, rimTop + lipRadius}, neck{middle - stemHalf, neckY};
        // The side leaves the neck tangent to the lip.
        const double toNeck = std::hypot(neck.x - lip.x, neck.y - lip.y);
        tangentAngle_ = degrees(std::atan2(neck.y - lip.y, neck.x - lip.x) + std::acos(lipRadius / toNeck));
        const Fraction tangent = onEllipse(lip.x, lip.y, lipRadius, lipRadius, tangentAngle_);
        const Fraction foot{neck.x, footLeftY}, footOther{middle + stemHalf, footRightY};
        const Fraction neckBelow{neck.x, footLeftY};

        lipLeft_ = at(lip);
        lipRight_ = at(mirrored(lip));
        topLeft = at({lip.x, rimTop});
        topRight = at(mirrored({lip.x, rimTop}));
        leftTangent = at(tangent);
        rightTangent = at(mirrored(tangent));
        neckLeft = at(neck);
        neckLeftIn = at(toward(neck, neckBelow, neckRound));
        neckLeftOut = at(toward(neck, tangent, neckRound));
        neckRight = at(mirrored(neck));
        neckRightIn = at(mirrored(toward(neck, tangent, neckRound)));
        neckRightOut = at(mirrored(toward(neck, neckBelow, neckRound)));
        footRight = at(footOther);
        footRightIn = at(toward(footOther, mirrored(neck), footRound));
        footRightOut = at(toward(footOther, foot, footRound));
        footLeft = at(foot);
        footLeftIn = at(toward(foot, footOther, footRound));
        footLeftOut = at(toward(foot, neck, footRound));
    }

    // The left lip from the side's tangent point up to the rim's top, and the
    // right lip from the rim's top down to the side's tangent point.
    void leftLip(Glyph& glyph) const {
        glyph.arc(lipLeft_.x, lipLeft_.y, radius(), radius(), tangentAngle_, 270, 1);
    }
    void rightLip(Glyph& glyph) const {
        glyph.arc(lipRight_.x, lipRight_.y, radius(), radius(), -90, 180 - tangentAngle_, 1);
    }

    // Where the left side crosses the line x + y = `sum`.
    Fraction leftSideAt(double sum) const {
        return lerp(neckLeft, leftTangent, (sum - neckLeft.x - neckLeft.y) /
                                               (leftTangent.x + leftTangent.y - neckLeft.x - neckLeft.y));
    }

    Fraction topLeft, topRight, leftTangent, rightTangent;
    Fraction neckLeft, neckLeftIn, neckLeftOut, neckRight, neckRightIn, neckRightOut;
    Fraction footRight, footRightIn, footRightOut, footLeft, footLeftIn, footLeftOut;

private:
    // The filter icon's funnel: the rim across the top, the neck where the
    // sides meet the stem, the foot lower at the left.
    static constexpr double rimTop = 0.29, rimLeft = 0.29, lipRadius = 0.029;
    static constexpr double neckY = 0.515, stemHalf = 0.05, neckRound = 0.015;
    static constexpr double footRightY = 0.665, footLeftY = 0.72, footRound = 0.01;

    static Fraction mirrored(Fraction p) { return {2 * middle - p.x, p.y}; }
    Fraction at(Fraction p) const { return {centre_.x + (p.x - middle) * scale_, centre_.y + (p.y - middle) * scale_}; }
    double radius() const { return lipRadius * scale_; }

    double scale_;
    Fraction centre_;
    double tangentAngle_ = 0;
    Fraction lipLeft_{}, lipRight_{};
};

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
    // Keyhole: a round head over a slot whose straight sides widen from the
    // head down to its foot, which has rounded corners; the sides are drawn
    // in two pieces and the foot in four.
    const Fraction head{0.505, 0.555};
    const double headRadius = 0.042, neckHalf = 0.018, footHalf = 0.032, footY = 0.67, footRound = 0.01;
    const double neckAngle = degrees(std::asin(neckHalf / headRadius));  // from straight down
    const Fraction neckRight = onEllipse(head.x, head.y, headRadius, headRadius, 90 - neckAngle);
    const Fraction neckLeft = onEllipse(head.x, head.y, headRadius, headRadius, 90 + neckAngle);
    const Fraction footLeft{head.x - footHalf, footY}, footRight{head.x + footHalf, footY};
    const Fraction footLeftIn = toward(footLeft, neckLeft, footRound);
    const Fraction footRightOut = toward(footRight, neckRight, footRound);
    glyph.move(neckRight.x, neckRight.y)
        .arc(head.x, head.y, headRadius, headRadius, 90 - neckAngle, neckAngle - 270, 5);
    lineInPieces(glyph, neckLeft, footLeftIn, 2);
    glyph.corner(footLeft.x, footLeft.y, footLeft.x + footRound, footY);
    lineInPieces(glyph, {footLeft.x + footRound, footY}, {footRight.x - footRound, footY}, 4);
    glyph.corner(footRight.x, footRight.y, footRightOut.x, footRightOut.y);
    lineInPieces(glyph, footRightOut, neckRight, 2);
    glyph.close();
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

    // The funnel whole; its long edges in several pieces, its neck corners in two.
    const Funnel f(1, {Funnel::middle, Funnel::middle});
    Glyph glyph(g);
    glyph.move(f.topLeft.x, f.topLeft.y);
    lineInPieces(glyph, f.topLeft, f.topRight, 2);
    f.rightLip(glyph);
    lineInPieces(glyph, f.rightTangent, f.neckRightIn, 3);
    glyph.corner(f.neckRight.x, f.neckRight.y, f.neckRightOut.x, f.neckRightOut.y, 2);
    lineInPieces(glyph, f.neckRightOut, f.footRightIn, 2);
    glyph.corner(f.footRight.x, f.footRight.y, f.footRightOut.x, f.footRightOut.y);
    lineInPieces(glyph, f.footRightOut, f.footLeftIn, 3);
    glyph.corner(f.footLeft.x, f.footLeft.y, f.footLeftOut.x, f.footLeftOut.y);
    lineInPieces(glyph, f.footLeftOut, f.neckLeftIn, 2);
    glyph.corner(f.neckLeft.x, f.neckLeft.y, f.neckLeftOut.x, f.neckLeftOut.y, 2);
    lineInPieces(glyph, f.neckLeftOut, f.leftTangent, 3);
    f.leftLip(glyph);
    glyph.close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconNoFilterWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // A white disc with the two segments either side of the bar cut out,
    // leaving a ring and a bar of one weight.
    const double c = 0.5, inner = 0.25, outer = 0.31, weight = outer - inner;
    const double halfSpan = degrees(std::acos(weight / 2 / inner));  // a chord's ends either side of its normal
    Glyph glyph(g);
    for (double normal : {45.0, 225.0}) {  // lower right, then upper left
        const Fraction from = onEllipse(c, c, inner, inner, normal - halfSpan);
        const Fraction to = onEllipse(c, c, inner, inner, normal + halfSpan);
        glyph.move(from.x, from.y).line(to.x, to.y).arc(c, c, inner, inner, normal + halfSpan, normal - halfSpan, 3);
        glyph.close();
    }
    glyph.ellipse(c, c, outer, outer, cw);
    // The filter's funnel, smaller to sit inside the ring, in two pieces cut
    // along the bar (x + y = 1) with a gap of `clearance` either side: the
    // rim's left end above it, the stem below. The bar hides the funnel's
    // right side and both neck corners.
    const double clearance = 0.025;
    const double cutOffset = (weight / 2 + clearance) * std::numbers::sqrt2;  // in x + y
    const double upperCut = 1 - cutOffset, lowerCut = 1 + cutOffset;
    const Funnel f(0.8, {0.508, 0.508});
    const Fraction sideCut = f.leftSideAt(upperCut);
    glyph.move(sideCut.x, sideCut.y).line(f.leftTangent.x, f.leftTangent.y);
    f.leftLip(glyph);
    glyph.line(upperCut - f.topLeft.y, f.topLeft.y).line(sideCut.x, sideCut.y).close();
    // The stem below the cut; its foot's left corner in two curves and the
    // foot in two pieces, for the glyph's counts.
    const Fraction footMiddle{(f.footRightOut.x + f.footLeftIn.x) / 2, (f.footRightOut.y + f.footLeftIn.y) / 2};
    glyph.move(f.neckRight.x, lowerCut - f.neckRight.x)
        .line(f.footRightIn.x, f.footRightIn.y)
        .corner(f.footRight.x, f.footRight.y, f.footRightOut.x, f.footRightOut.y)
        .line(footMiddle.x, footMiddle.y)
        .line(f.footLeftIn.x, f.footLeftIn.y)
        .corner(f.footLeft.x, f.footLeft.y, f.footLeftOut.x, f.footLeftOut.y, 2)
        .line(f.neckLeft.x, lowerCut - f.neckLeft.x)
        .line(f.neckRight.x, lowerCut - f.neckRight.x)
        .close();
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

    // Pole leaning to the left: straight sides tangent to its round foot, a
    // flat top (hidden by the flag) with rounded corners. It is wide enough
    // that its left side, which the flag's hoist follows, comes as far left
    // as the flag reaches (x 0.34) at the flag's foot.
    const Fraction foot{0.31, 0.77}, topRight{0.44, 0.30};
    const double halfWidth = 0.02, top = 0.29;
    const double toFoot = std::hypot(foot.x - topRight.x, foot.y - topRight.y);
    const double slant = std::atan2(foot.y - topRight.y, foot.x - topRight.x) - std::asin(halfWidth / toFoot);
    const Fraction down{std::cos(slant), std::sin(slant)};  // along the pole, downwards
    const Fraction right{down.y, -down.x};                   // across it
    const Fraction footRight{foot.x + right.x * halfWidth, foot.y + right.y * halfWidth};
    const Fraction footLeft{foot.x - right.x * halfWidth, foot.y - right.y * halfWidth};
    auto leftSideAt = [&](double y) { return Fraction{footLeft.x + (y - footLeft.y) * down.x / down.y, y}; };
    const Fraction topLeft = leftSideAt(topRight.y);
    const double footFrom = degrees(std::atan2(right.y, right.x));
    Glyph glyph(g);
    glyph.move(topLeft.x, topLeft.y)
        .corner(topLeft.x, top, topLeft.x + 0.01, top)
        .line(topRight.x - 0.01, top)
        .corner(topRight.x, top, topRight.x, topRight.y)
        .line(footRight.x, footRight.y)
        .arc(foot.x, foot.y, halfWidth, halfWidth, footFrom, footFrom + 180, 3)
        .line(topLeft.x, topLeft.y)
        .close();
    // Flag waving from the top of the pole, its hoist straight along the
    // pole's left side so that below the flag the pole carries on from it.
    const Fraction hoistTop = leftSideAt(0.23), hoistMiddle = leftSideAt(0.385), hoistFoot = leftSideAt(0.54);
    auto straightTo = [&](Fraction from, Fraction to) {
        glyph.curve(to.x, to.y, from.x + (to.x - from.x) / 3, from.y + (to.y - from.y) / 3,
                    from.x + (to.x - from.x) * 2 / 3, from.y + (to.y - from.y) * 2 / 3);
    };
    glyph.move(hoistTop.x, hoistTop.y)
        .curve(0.54, 0.23, 0.45, 0.19, 0.495, 0.19)
        .curve(0.70, 0.22, 0.59, 0.27, 0.65, 0.26)
        .curve(0.685, 0.37, 0.69, 0.27, 0.685, 0.32)
        .curve(0.67, 0.51, 0.685, 0.42, 0.675, 0.47)
        .curve(0.51, 0.50, 0.62, 0.54, 0.56, 0.54)
        .curve(hoistFoot.x, hoistFoot.y, 0.46, 0.46, 0.40, 0.53);
    straightTo(hoistFoot, hoistMiddle);
    straightTo(hoistMiddle, hoistTop);
    glyph.close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
