// The school backpack, turned a little: the front with its pocket, and
// behind it the back, which shows as the carrying loop on top and the side
// panel down the right with the strap on it. The slot and the panel's
// opening run the other way round from the shapes they are cut out of. The
// named points are where the outline must pass; the rest is built from
// ellipses, straight edges and rounded corners through them.

#include "style/artwork/SchoolBackpack.h"

#include <cmath>
#include <numbers>
#include <utility>

#include "style/artwork/Glyph.h"

namespace style::artwork {

namespace {

constexpr Turn cw = Turn::clockwise, acw = Turn::anticlockwise;
constexpr double kappa = 0.5523;  // a quarter ellipse's control points, as a share of its radii

double radians(double degrees) { return degrees * std::numbers::pi / 180; }
double degrees(double radians) { return radians * 180 / std::numbers::pi; }

// A straight edge from the current point `from` to `to` as `pieces` curves,
// where an outline's make-up calls for curves.
void straight(Glyph& glyph, Fraction from, Fraction to, int pieces) {
    glyph.corner((from.x + to.x) / 2, (from.y + to.y) / 2, to.x, to.y, pieces);
}

// An ellipse whose first axis is turned `tilt` degrees clockwise on screen.
// Its angles (degrees) grow clockwise on screen, 0 at the first axis's end.
struct Oval {
    double cx, cy, a, b, tilt = 0;

    Fraction at(double angle) const {
        const double t = radians(angle), u = radians(tilt);
        const double x = a * std::cos(t), y = b * std::sin(t);
        return {cx + x * std::cos(u) - y * std::sin(u), cy + x * std::sin(u) + y * std::cos(u)};
    }
    double angleOf(Fraction p) const {
        const double u = radians(tilt), dx = p.x - cx, dy = p.y - cy;
        const double along = dx * std::cos(u) + dy * std::sin(u), across = -dx * std::sin(u) + dy * std::cos(u);
        return degrees(std::atan2(across / b, along / a));
    }
    // Velocity per radian at `angle`, going clockwise or anticlockwise.
    Fraction velocity(double angle, Turn turn) const {
        const Fraction p = at(angle + (turn == Turn::clockwise ? 90 : -90));
        return {p.x - cx, p.y - cy};
    }
    // Angle of the point farthest right, where the outline runs upright.
    double rightmost() const { return degrees(std::atan2(-b * std::sin(radians(tilt)), a * std::cos(radians(tilt)))); }
};

// The arc of `oval` from the current point, at angle `from`, round the way
// `turn` says to the point `to` on it, as `pieces` curves that end exactly
// on `to`. Returns the angle reached.
double arcTo(Glyph& glyph, const Oval& oval, double from, Fraction to, Turn turn, int pieces) {
    double end = oval.angleOf(to);
    while (turn == cw && end < from) end += 360;
    while (turn == acw && end > from) end -= 360;
    const double step = (end - from) / pieces, k = 4.0 / 3 * std::tan(radians(step) / 4);
    for (int i = 0; i < pieces; ++i) {
        const double a0 = from + step * i, a1 = a0 + step;
        const Fraction p0 = oval.at(a0), v0 = oval.velocity(a0, cw), v1 = oval.velocity(a1, cw);
        const Fraction p1 = i + 1 == pieces ? to : oval.at(a1);
        glyph.curve(p1.x, p1.y, p0.x + k * v0.x, p0.y + k * v0.y, p1.x - k * v1.x, p1.y - k * v1.y);
    }
    return end;
}

// A cubic curve, of which parts are drawn.
struct Cubic {
    Fraction p0, c1, c2, p3;

    // The curve cut at t (de Casteljau): the part before, the part after.
    std::pair<Cubic, Cubic> split(double t) const {
        auto lerp = [t](Fraction a, Fraction b) { return Fraction{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; };
        const Fraction a = lerp(p0, c1), b = lerp(c1, c2), c = lerp(c2, p3);
        const Fraction d = lerp(a, b), e = lerp(b, c), cut = lerp(d, e);
        return {{p0, a, d, cut}, {cut, e, c, p3}};
    }
    // The part from t0 to t1, running backwards when t1 < t0.
    Cubic part(double t0, double t1) const {
        if (t1 < t0) {
            const Cubic c = part(t1, t0);
            return {c.p3, c.c2, c.c1, c.p0};
        }
        const Cubic upTo = split(t1).first;
        return t1 > 0 ? upTo.split(t0 / t1).second : upTo;
    }
};

// The part of `curve` from t0 to t1 as `pieces` curves, the last ending
// exactly on `end`.
void follow(Glyph& glyph, const Cubic& curve, double t0, double t1, int pieces, Fraction end) {
    for (int i = 0; i < pieces; ++i) {
        const Cubic c = curve.part(t0 + (t1 - t0) * i / pieces, t0 + (t1 - t0) * (i + 1) / pieces);
        const Fraction p3 = i + 1 == pieces ? end : c.p3;
        glyph.curve(p3.x, p3.y, c.c1.x, c.c1.y, c.c2.x, c.c2.y);
    }
}

Fraction along(Fraction from, Fraction to, double distance) {
    const double length = std::hypot(to.x - from.x, to.y - from.y);
    return {from.x + (to.x - from.x) * distance / length, from.y + (to.y - from.y) * distance / length};
}

// Where the line through a0 and a1 meets the line through b0 and b1.
Fraction meet(Fraction a0, Fraction a1, Fraction b0, Fraction b1) {
    const double dax = a1.x - a0.x, day = a1.y - a0.y, dbx = b1.x - b0.x, dby = b1.y - b0.y;
    const double t = ((b0.x - a0.x) * dby - (b0.y - a0.y) * dbx) / (dax * dby - day * dbx);
    return {a0.x + dax * t, a0.y + day * t};
}

}  // namespace

gfx::BezierPath schoolBackpack(const gfx::Rect& group) {
    Glyph backpack(group);

    // Slot across the pocket: a strip falling slightly to the right, with
    // straight edges; its left end is four short lines.
    const Fraction slotStart{0.47168, 0.62770}, slotLowLeft{0.29160, 0.61623};
    const Fraction slotHighLeft{0.29647, 0.56792}, slotHighRight{0.47412, 0.57529};
    backpack.move(slotStart.x, slotStart.y);
    straight(backpack, slotStart, slotLowLeft, 5);
    backpack.line(0.29333, 0.59907).line(0.29371, 0.59527).line(0.29409, 0.59148).line(slotHighLeft.x, slotHighLeft.y);
    straight(backpack, slotHighLeft, slotHighRight, 6);
    backpack.line(slotStart.x, slotStart.y).close();

    // Front: a dome over upright sides, and the pocket at the lower left,
    // parted from the body by a slit that opens at the left, runs along the
    // pocket's top and down its right side and closes just above the bottom.
    // The dome is an ellipse, turned a little, through the start and the
    // crown, its top at 0.2951 and its right side the body's; its left
    // shoulder comes down upright to the slit.
    const Oval dome{0.4489035, 0.5174482, 0.1585721, 0.2223584, 0.785286};
    const Fraction frontStart{0.58307, 0.39713}, crown{0.43828, 0.29575}, slitOpen{0.29545, 0.46337};
    const Fraction slitClose{0.50379, 0.79094}, pocketOpen{0.28722, 0.49261}, pocketCorner{0.24438, 0.54859};
    const Fraction lowest{0.46838, 0.80000}, stepFrom{0.49041, 0.79857}, stepTo{0.49047, 0.79857};
    const Fraction sideLow{0.60749, 0.69434}, sideHigh{0.60746, 0.68133};
    // The slit's straight edges lean as the bag is turned: the body's above
    // and right of it, the pocket's below and left of it.
    const double fall = 0.0305;  // of the edges across the bag, per unit rightwards
    auto bodyAcross = [&](double x) { return Fraction{x, slitOpen.y + fall * (x - slitOpen.x)}; };
    auto pocketAcross = [&](double x) { return Fraction{x, 0.4958 + fall * (x - 0.52)}; };
    auto bodyDown = [](double y) { return Fraction{0.574 - 0.04027 * (y - 0.472), y}; };
    auto pocketDown = [](double y) { return Fraction{0.539 - 0.0214 * (y - 0.496), y}; };
    const double cut = 0.015;  // the slit's rounded corners
    const Fraction bodyCorner = meet(bodyAcross(0.3), bodyAcross(0.5), bodyDown(0.5), bodyDown(0.7));
    const Fraction pocketTopCorner = meet(pocketAcross(0.3), pocketAcross(0.5), pocketDown(0.5), pocketDown(0.7));
    const Fraction bodyLow = bodyDown(0.746), pocketLow = pocketDown(0.746);
    // The pocket's upper left corner: an ellipse through its two points,
    // touching the pocket's top edge and its upright left side.
    const Oval pocketRound{0.303784, 0.595928, 0.066284, 0.106703};
    const double pocketTouch = -88.91457;
    const Fraction pocketTop = pocketRound.at(pocketTouch), pocketSide = pocketRound.at(180);
    const double bottomRound = 0.075, pocketLeft = 0.2375;

    backpack.move(frontStart.x, frontStart.y);
    arcTo(backpack, dome, dome.angleOf(frontStart), crown, acw, 2);
    const Fraction crownOn = dome.velocity(dome.angleOf(crown), acw);
    const double shoulder = kappa * (crown.x - slitOpen.x) / std::hypot(crownOn.x, crownOn.y);
    follow(backpack,
           {crown, {crown.x + shoulder * crownOn.x, crown.y + shoulder * crownOn.y},
            {slitOpen.x, slitOpen.y - kappa * (slitOpen.y - crown.y)}, slitOpen},
           0, 1, 2, slitOpen);
    const Fraction bodyCornerIn = along(bodyCorner, slitOpen, cut), bodyCornerOut = along(bodyCorner, bodyLow, cut);
    straight(backpack, slitOpen, bodyCornerIn, 4);
    backpack.corner(bodyCorner.x, bodyCorner.y, bodyCornerOut.x, bodyCornerOut.y);
    straight(backpack, bodyCornerOut, bodyLow, 3);
    const Fraction bodyTip = bodyDown(0.776), pocketTip = pocketDown(0.776);
    backpack.corner(bodyTip.x, bodyTip.y, slitClose.x, slitClose.y)
        .corner(pocketTip.x, pocketTip.y, pocketLow.x, pocketLow.y);
    const Fraction pocketCornerIn = along(pocketTopCorner, pocketLow, cut);
    const Fraction pocketCornerOut = along(pocketTopCorner, pocketTop, cut);
    straight(backpack, pocketLow, pocketCornerIn, 3);
    backpack.corner(pocketTopCorner.x, pocketTopCorner.y, pocketCornerOut.x, pocketCornerOut.y);
    straight(backpack, pocketCornerOut, pocketTop, 5);
    double angle = arcTo(backpack, pocketRound, pocketTouch, pocketOpen, acw, 1);
    angle = arcTo(backpack, pocketRound, angle, pocketCorner, acw, 1);
    arcTo(backpack, pocketRound, angle, pocketSide, acw, 1);
    straight(backpack, pocketSide, {pocketLeft, 0.75}, 3);
    arcTo(backpack, {pocketLeft + 0.05, 0.75, 0.05, 0.05}, 180, {pocketLeft + 0.05, lowest.y}, acw, 2);
    straight(backpack, {pocketLeft + 0.05, lowest.y}, lowest, 3);
    // Up by a hair to the short step, level at both ends.
    backpack.curve(stepFrom.x, stepFrom.y, lowest.x + 0.0073, lowest.y, stepFrom.x - 0.0073, stepFrom.y)
        .line(stepTo.x, stepTo.y);
    const Fraction bottomRight{sideLow.x - bottomRound, stepTo.y}, sideBottom{sideLow.x, stepTo.y - bottomRound};
    straight(backpack, stepTo, bottomRight, 1);
    backpack.corner(sideLow.x, stepTo.y, sideBottom.x, sideBottom.y, 2);
    straight(backpack, sideBottom, sideLow, 1);
    backpack.line(sideHigh.x, sideHigh.y);
    const double domeRight = dome.rightmost();
    straight(backpack, sideHigh, dome.at(domeRight), 2);
    arcTo(backpack, dome, domeRight, frontStart, acw, 1);
    backpack.close();

    // The strap's outer edge sweeps from the loop's top to the strap's
    // rightmost point, a little fuller than a quarter ellipse so as to pass
    // the back's start. The same sweep set in, through the panel opening's
    // top and tip, is the opening's edge along the strap.
    const Fraction loopTop{0.52268, 0.19375}, strapRight{0.78750, 0.69457};
    auto sweep = [](Fraction top, Fraction right) {
        const double k = 0.6076472;
        return Cubic{top, {top.x + k * (right.x - top.x), top.y}, {right.x, right.y - k * (right.y - top.y)}, right};
    };
    const Cubic strap = sweep(loopTop, strapRight);
    const Cubic gapEdge = sweep({loopTop.x, loopTop.y + 0.029568}, {strapRight.x - 0.059513, strapRight.y});
    const double gapEdgeFrom = 0.406080, gapEdgeTo = 0.947246;  // its parameters at the top and the tip

    // Opening in the side panel, the gap between the panel and the strap: up
    // along the panel's inner edge at 0.03 from it, round a blunt top end and
    // down along the strap to a point.
    const Oval alongPanel{dome.cx, dome.cy, 0.2188043, dome.b + 0.054, dome.tilt};
    const Fraction gapStart{0.66772, 0.60348}, gapTop{0.65036, 0.30920}, gapTip{0.72732, 0.65011};
    const double gapBend = -33;  // where the top end leaves the inner edge
    const Fraction bend = alongPanel.at(gapBend), gapLeft{0.6238, 0.345};
    const Fraction bendOn = alongPanel.velocity(gapBend, acw);
    backpack.move(gapStart.x, gapStart.y)
        .curve(bend.x, bend.y, gapStart.x, gapStart.y - 0.065, bend.x - 0.32 * bendOn.x, bend.y - 0.32 * bendOn.y);
    const Fraction bendVertex = meet(bend, {bend.x + bendOn.x, bend.y + bendOn.y}, gapLeft, {gapLeft.x, 0});
    backpack.corner(bendVertex.x, bendVertex.y, gapLeft.x, gapLeft.y).corner(gapLeft.x, gapTop.y, gapTop.x, gapTop.y);
    follow(backpack, gapEdge, gapEdgeFrom, gapEdgeTo, 1, gapTip);
    backpack.curve(gapStart.x, gapStart.y, gapTip.x - 0.035, gapTip.y - 0.01, gapStart.x, gapStart.y + 0.03).close();

    // Back: from the top of the side panel over the strap to the loop's top,
    // down the loop to its left foot, in and out of the loop's opening, round
    // the front's dome at a gap, down beside the front to the panel's foot,
    // along the bottom and up the strap.
    const Fraction backStart{0.67500, 0.26936}, loopFoot{0.43617, 0.27583};
    const Fraction loopInFoot{0.47688, 0.27335}, loopInOver{0.52259, 0.23191}, loopInLeg{0.55075, 0.28075};
    const Fraction panelLowest{0.62498, 0.75636}, panelLineTop{0.63492, 0.67081}, panelLineBottom{0.63495, 0.68382};
    const double strapFrom = 0.3684961;  // the strap's parameter at the back's start
    backpack.move(backStart.x, backStart.y);
    follow(backpack, strap, strapFrom, 0, 4, loopTop);
    arcTo(backpack, {loopTop.x, loopFoot.y, loopTop.x - loopFoot.x, loopFoot.y - loopTop.y}, -90, loopFoot, acw, 2);
    straight(backpack, loopFoot, loopInFoot, 1);
    // The loop's opening: half an ellipse from its left foot over its top,
    // and an upright right leg.
    const double loopInX = (loopInFoot.x + loopInLeg.x) / 2, loopInRx = loopInLeg.x - loopInX;
    const double overAt = (loopInOver.x - loopInX) / loopInRx;
    const double loopInRy = (loopInFoot.y - loopInOver.y) / std::sqrt(1 - overAt * overAt);
    const Oval loopIn{loopInX, loopInFoot.y, loopInRx, loopInRy};
    angle = arcTo(backpack, loopIn, 180, loopInOver, cw, 2);
    const Fraction legTop{loopInLeg.x, loopInFoot.y};
    arcTo(backpack, loopIn, angle, legTop, cw, 2);
    straight(backpack, legTop, loopInLeg, 1);
    // Round the dome at a gap that widens from 0.02 at the top to the
    // panel's inner edge beside the body.
    const Oval around{dome.cx, dome.cy, 0.1860043, dome.b + 0.02, dome.tilt};
    const double legFoot = -57.82658, aroundRight = around.rightmost();  // the leg's foot is upright under it
    straight(backpack, loopInLeg, around.at(legFoot), 1);
    arcTo(backpack, around, legFoot, around.at(aroundRight), cw, 5);
    straight(backpack, around.at(aroundRight), panelLineTop, 2);
    backpack.line(panelLineBottom.x, panelLineBottom.y);
    // In to the panel's lowest point, upright there: a square foot clear of the front.
    backpack.curve(panelLowest.x, panelLowest.y, panelLineBottom.x, panelLineBottom.y + 0.028,  //
                   panelLowest.x, panelLowest.y - 0.028);
    const Fraction bottomEnd{strapRight.x - 0.06, panelLowest.y};
    straight(backpack, panelLowest, bottomEnd, 2);
    backpack.corner(strapRight.x, panelLowest.y, strapRight.x, strapRight.y, 2);
    follow(backpack, strap, 1, strapFrom, 7, backStart);
    backpack.close();
    return backpack.path();
}

}  // namespace style::artwork
