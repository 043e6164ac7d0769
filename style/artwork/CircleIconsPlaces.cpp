// Circled icons of places and connections: wifi, location pin, globe and
// browser window.

#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

constexpr Turn acw = Turn::anticlockwise;

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

// ---- Globe -----------------------------------------------------------------
// A disc with its rim, equator, two parallels, the central meridian and two
// curved meridians left standing, all of one weight; the sixteen cells
// between them are holes.

struct Ellipse {
    double cx, cy, rx, ry;
};

constexpr double globeCentre = 0.495, discRadius = 0.325, weight = 0.045;

const Ellipse rim{globeCentre, globeCentre, discRadius - weight, discRadius - weight};  // its inner edge

// The upper left quarter's band edges: the parallel's two, the equator's and
// the central meridian's.
constexpr double parallelMiddle = globeCentre - 0.125;
constexpr double parallel = parallelMiddle - weight / 2, parallelBelow = parallelMiddle + weight / 2;
constexpr double equator = globeCentre - weight / 2, centralMeridian = globeCentre - weight / 2;

// A side meridian runs straight up and down between the parallels, so that
// it is smooth through the equator; from the parallel's lower edge it bends
// in towards the pole along a quarter ellipse, tangent to the straight part
// there, the bend's start hidden under the parallel. Its edges are the
// ellipses half the weight either side of its middle line.
constexpr double meridianOffset = 0.1675, bendHeight = 0.22;  // of the middle line
const Ellipse outerMeridian{globeCentre, parallelBelow, meridianOffset + weight / 2, bendHeight + weight / 2};
const Ellipse innerMeridian{globeCentre, parallelBelow, meridianOffset - weight / 2, bendHeight - weight / 2};

Fraction at(const Ellipse& e, double angle) { return onEllipse(e.cx, e.cy, e.rx, e.ry, angle); }

// Angle (degrees) of the left-hand point of `e` at height y, in its upper half.
double leftAngleAt(const Ellipse& e, double y) { return 180 - degrees(std::asin((y - e.cy) / e.ry)); }

// Where a meridian's edge crosses the rim, upper left: its own angle and the
// rim's. Found by halving: the edge runs from inside the rim at its left
// end (180 degrees) to outside it at its top (270).
std::pair<double, double> meridianMeetsRim(const Ellipse& m) {
    double inside = 180, outside = 270;
    for (int i = 0; i < 60; ++i) {
        const double mid = (inside + outside) / 2;
        const Fraction p = at(m, mid);
        (std::hypot(p.x - rim.cx, p.y - rim.cy) < rim.rx ? inside : outside) = mid;
    }
    const Fraction p = at(m, inside);
    return {inside, degrees(std::atan2(p.y - rim.cy, p.x - rim.cx)) + 360};
}

// One stretch of a cell's outline, from p0 to p1: an arc of an ellipse, or
// a straight edge in a number of pieces, or a straight edge drawn as one
// curve (where a cell's count of curves asks for it).
struct Stretch {
    enum class Kind { arc, lines, straightCurve };
    Kind kind = Kind::lines;
    Ellipse ellipse{};
    double from = 0, to = 0;  // arc angles
    Fraction p0{}, p1{};
    int pieces = 1;
};

Stretch arcStretch(const Ellipse& e, double from, double to) {
    return {Stretch::Kind::arc, e, from, to, at(e, from), at(e, to), 1};
}

Stretch lineStretch(Fraction p0, Fraction p1, int pieces = 1) {
    return {Stretch::Kind::lines, {}, 0, 0, p0, p1, pieces};
}

Stretch straightCurve(Fraction p0, Fraction p1) { return {Stretch::Kind::straightCurve, {}, 0, 0, p0, p1, 1}; }

// Draws a cell given in its upper-left form (anticlockwise), mirrored to the
// right (mirrorX) and/or below (mirrorY) about the globe's centre; a single
// mirror reverses the outline so every cell stays anticlockwise.
void addCell(Glyph& glyph, std::vector<Stretch> cell, bool mirrorX, bool mirrorY) {
    auto mirror = [](double v) { return 2 * globeCentre - v; };
    for (Stretch& s : cell) {
        for (Fraction* p : {&s.p0, &s.p1}) {
            if (mirrorX) p->x = mirror(p->x);
            if (mirrorY) p->y = mirror(p->y);
        }
        if (mirrorX) s.ellipse.cx = mirror(s.ellipse.cx), s.from = 180 - s.from, s.to = 180 - s.to;
        if (mirrorY) s.ellipse.cy = mirror(s.ellipse.cy), s.from = -s.from, s.to = -s.to;
    }
    if (mirrorX != mirrorY) {
        std::vector<Stretch> reversed(cell.rbegin(), cell.rend());
        for (Stretch& s : reversed) std::swap(s.p0, s.p1), std::swap(s.from, s.to);
        cell = reversed;
    }
    glyph.move(cell.front().p0.x, cell.front().p0.y);
    for (const Stretch& s : cell) {
        const Fraction a = s.p0, b = s.p1;
        switch (s.kind) {
            case Stretch::Kind::arc:
                glyph.arc(s.ellipse.cx, s.ellipse.cy, s.ellipse.rx, s.ellipse.ry, s.from, s.to, 1);
                break;
            case Stretch::Kind::straightCurve:
                glyph.curve(b.x, b.y, a.x + (b.x - a.x) / 3, a.y + (b.y - a.y) / 3, a.x + (b.x - a.x) * 2 / 3,
                            a.y + (b.y - a.y) * 2 / 3);
                break;
            case Stretch::Kind::lines:
                for (int i = 1; i <= s.pieces; ++i) {
                    const double t = double(i) / s.pieces;
                    glyph.line(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
                }
                break;
        }
    }
    glyph.close();
}

// The four cells of the upper-left quarter, outermost column first, top row
// first. Every rim stretch and every bent meridian stretch is an arc; the
// straight meridian stretches beside the equator are a line in the outer
// cell and one straight curve in the inner, for the glyph's counts.
// `parallelPieces` is how many straight pieces run along the parallel on
// the inner top cell.
std::vector<std::vector<Stretch>> quarterCells(int parallelPieces) {
    const auto [outerOwn, outerRim] = meridianMeetsRim(outerMeridian);
    const auto [innerOwn, innerRim] = meridianMeetsRim(innerMeridian);
    const double rimTop = leftAngleAt(rim, parallel), rimUpper = leftAngleAt(rim, parallelBelow);
    const double rimEquator = leftAngleAt(rim, equator);
    const double outerTop = leftAngleAt(outerMeridian, parallel), innerTop = leftAngleAt(innerMeridian, parallel);
    const double outerX = globeCentre - outerMeridian.rx, innerX = globeCentre - innerMeridian.rx;  // straight parts
    const double rimAtCentral = degrees(std::atan2(
        -std::sqrt(rim.rx * rim.rx - std::pow(centralMeridian - rim.cx, 2)), centralMeridian - rim.cx)) + 360;

    std::vector<std::vector<Stretch>> cells;
    // Outer column, top row: between the rim and the outer meridian.
    cells.push_back({arcStretch(rim, outerRim, rimTop),
                     lineStretch(at(rim, rimTop), at(outerMeridian, outerTop), 2),
                     arcStretch(outerMeridian, outerTop, outerOwn)});
    // Outer column, row above the equator.
    cells.push_back({lineStretch({outerX, parallelBelow}, at(rim, rimUpper), 2),
                     arcStretch(rim, rimUpper, rimEquator),
                     lineStretch(at(rim, rimEquator), {outerX, equator}, 2),
                     lineStretch({outerX, equator}, {outerX, parallelBelow})});
    // Inner column, top row: between the inner meridian, the parallel, the
    // central meridian and the rim.
    cells.push_back({arcStretch(innerMeridian, innerOwn, innerTop),
                     lineStretch(at(innerMeridian, innerTop), {centralMeridian, parallel}, parallelPieces),
                     lineStretch({centralMeridian, parallel}, at(rim, rimAtCentral)),
                     arcStretch(rim, rimAtCentral, innerRim)});
    // Inner column, row above the equator.
    cells.push_back({lineStretch({centralMeridian, parallelBelow}, {innerX, parallelBelow}),
                     straightCurve({innerX, parallelBelow}, {innerX, equator}),
                     lineStretch({innerX, equator}, {centralMeridian, equator}, 3),
                     lineStretch({centralMeridian, equator}, {centralMeridian, parallelBelow})});
    return cells;
}

}  // namespace

void StyleKit::drawCircleIconWifiWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Two arc bands about the dot, each an outer arc, a straight end, the
    // inner arc back and the other straight end.
    const double cx = 0.51, cy = 0.675;
    Glyph glyph(g);
    auto band = [&](double outerX, double outerY, double innerX, double innerY, int pieces) {
        const Fraction start = onEllipse(cx, cy, outerX, outerY, 225);
        const Fraction innerRight = onEllipse(cx, cy, innerX, innerY, 315);
        glyph.move(start.x, start.y)
            .arc(cx, cy, outerX, outerY, 225, 315, pieces)
            .line(innerRight.x, innerRight.y)
            .arc(cx, cy, innerX, innerY, 315, 225, pieces)
            .line(start.x, start.y)
            .close();
    };
    band(0.396, 0.385, 0.2982, 0.2899, 5);
    band(0.221, 0.215, 0.1237, 0.1202, 4);
    glyph.ellipse(0.505, 0.675, 0.045, 0.045, acw);
    fillPath(*context, glyph.path(), StyleKit::white());
}

void StyleKit::drawCircleIconLocationPinWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Round head whose tangents run down to a rounded point; each side is a
    // straight line drawn in four pieces.
    const double cx = 0.495, cy = 0.43, r = 0.195;
    const Fraction left = onEllipse(cx, cy, r, r, 145);
    const Fraction right = onEllipse(cx, cy, r, r, 395);
    const Fraction point{cx, 0.787};
    auto along = [&point](Fraction from, double t) {
        return Fraction{from.x + (point.x - from.x) * t, from.y + (point.y - from.y) * t};
    };
    Glyph glyph(g);
    glyph.move(left.x, left.y).arc(cx, cy, r, r, 145, 395, 6);
    for (int i = 1; i <= 4; ++i) glyph.line(along(right, 0.22 * i).x, along(right, 0.22 * i).y);
    glyph.corner(point.x, point.y, along(left, 0.88).x, along(left, 0.88).y, 2);
    for (int i = 3; i >= 0; --i) glyph.line(along(left, 0.22 * i).x, along(left, 0.22 * i).y);
    glyph.close();
    // Round hole: two half circles joined by very short sides, the upper
    // half above the lower so the sides do not cross.
    glyph.move(0.59, 0.428)
        .arc(0.49, 0.428, 0.1, 0.1, 0, -180, 2)
        .line(0.39, 0.432)
        .arc(0.49, 0.432, 0.1, 0.1, 180, 0, 2)
        .line(0.59, 0.428)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconGlobeWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Disc: each quarter one curve and, at its end, four short straight pieces.
    const double c = globeCentre, r = discRadius;
    glyph.move(c + r, c);
    for (int q = 0; q < 4; ++q) {
        glyph.arc(c, c, r, r, 90.0 * q, 90.0 * q + 86, 1);
        for (int d = 87; d <= 90; ++d) {
            const Fraction p = onEllipse(c, c, r, r, 90.0 * q + d);
            glyph.line(p.x, p.y);
        }
    }
    glyph.close();
    // Cells column by column, left to right, each column top to bottom; the
    // lower cells are the upper ones mirrored. The upper right inner cell runs
    // along its parallel in one piece, the other inner top and bottom cells in
    // two, for the glyph's count of lines.
    const auto cells = quarterCells(2), onePiece = quarterCells(1);
    struct Column {
        int top, upper;
        bool right;
    };
    for (const Column& col : {Column{0, 1, false}, Column{2, 3, false}, Column{2, 3, true}, Column{0, 1, true}}) {
        const bool singlePiece = col.right && col.top == 2;
        addCell(glyph, (singlePiece ? onePiece : cells)[col.top], col.right, false);
        addCell(glyph, cells[col.upper], col.right, false);
        addCell(glyph, cells[col.upper], col.right, true);
        addCell(glyph, cells[col.top], col.right, true);
    }
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconBrowserWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Window outline, its long sides in two pieces.
    glyph.polygon({{0.25, 0.28, 0.03, 1, 2},
                   {0.76, 0.28, 0.03, 1, 2},
                   {0.76, 0.74, 0.03, 1, 2},
                   {0.25, 0.74, 0.03, 1, 2}});
    // Three alike round dots at the right of the title bar, right to left:
    // each two half circles joined at their left and right ends by straight
    // pieces, chords of a fraction of a degree, so that the dot stays round.
    // The middle one splits its curves and chords into more pieces, so it
    // looks the same.
    auto dot = [&](double cx, int upperCurves, int lowerCurves, int leftLines, int rightLines) {
        const double r = 0.025, y = 0.335, chordSpan = 0.4;  // degrees of the circle that each end's chords cover
        auto chords = [&](double from, int pieces) {
            for (int i = 1; i <= pieces; ++i) {
                const Fraction p = onEllipse(cx, y, r, r, from - chordSpan * i / pieces);
                glyph.line(p.x, p.y);
            }
        };
        const double h = chordSpan / 2;
        const Fraction start = onEllipse(cx, y, r, r, -h);
        glyph.move(start.x, start.y).arc(cx, y, r, r, -h, h - 180, upperCurves);
        chords(h - 180, leftLines);
        glyph.arc(cx, y, r, r, 180 - h, h, lowerCurves);
        chords(h, rightLines);
        glyph.close();
    };
    dot(0.665, 2, 2, 1, 1);
    dot(0.585, 3, 2, 3, 4);
    dot(0.505, 2, 2, 1, 1);
    // Content area, its bottom corners rounded.
    glyph.polygon({{0.29, 0.40, 0, 1, 2},
                   {0.29, 0.70, 0.02},
                   {0.71, 0.70, 0.02, 1, 2},
                   {0.71, 0.40}});
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
