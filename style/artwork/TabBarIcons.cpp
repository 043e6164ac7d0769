// The six tab bar icons: one path each, every point a fraction of the frame
// (no snapping, no aspect kept), filled once in `bvBlue` when `colored` is
// set and `grey2` when clear. Holes are subpaths wound against the outline
// around them; only the cog uses the even-odd rule.

#include <array>
#include <cmath>
#include <numbers>

#include "style/StyleKit.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

gfx::ColorRef tabColor(StyleKit::Flag colored) { return StyleKit::isSet(colored) ? StyleKit::bvBlue() : StyleKit::grey2(); }

void fillTabIcon(const gfx::BezierPath& path, const gfx::ColorRef& color) {
    if (gfx::Context* context = gfx::currentContext()) fillPath(*context, path, color);
}

// ---- Family: three figures in a ring of dots -------------------------------------

struct Dot {
    double cx, cy;   // centre
    double a, b;     // long and short semi-axes
    double tilt;     // degrees in a square frame, positive where the long axis rises to the right
};

// A dot as four quarter ellipses from the right end of its long axis,
// clockwise on screen.
void addDot(Glyph& glyph, const Dot& d) {
    constexpr double k = 0.5522847498;
    const double t = d.tilt * std::numbers::pi / 180;
    const double ux = std::cos(t), uy = -std::sin(t);  // along the long axis, to the right
    const double vx = -uy, vy = ux;                    // a quarter turn clockwise from it
    auto x = [&](double along, double across) { return d.cx + along * ux + across * vx; };
    auto y = [&](double along, double across) { return d.cy + along * uy + across * vy; };
    const double a = d.a, b = d.b;
    glyph.move(x(a, 0), y(a, 0))
        .curve(x(0, b), y(0, b), x(a, k * b), y(a, k * b), x(k * a, b), y(k * a, b))
        .curve(x(-a, 0), y(-a, 0), x(-k * a, b), y(-k * a, b), x(-a, k * b), y(-a, k * b))
        .curve(x(0, -b), y(0, -b), x(-a, -k * b), y(-a, -k * b), x(-k * a, -b), y(-k * a, -b))
        .curve(x(a, 0), y(a, 0), x(k * a, -b), y(k * a, -b), x(a, -k * b), y(a, -k * b))
        .close();
}

// A figure's head or body: the ellipse inscribed in the box, from its right end, clockwise.
void addOval(Glyph& glyph, double x0, double x1, double y0, double y1) {
    glyph.ellipse((x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2, Turn::clockwise);
}

// A glimpse of the ring's far side beside or between the figures: drawn as
// a dot of the ring, the ellipse that fills the box x0..x1 from `top` down to
// y1 and is highest at `top`, turned to suit; clockwise from `top` in
// `pieces` arcs.
void addFarDot(Glyph& glyph, gfx::Point top, double x0, double x1, double y1, int pieces) {
    const double cx = (x0 + x1) / 2, w = (x1 - x0) / 2, h = (y1 - top.y) / 2, cy = top.y + h;
    // With semi-axes a and b and the long axis turned t clockwise on screen,
    // w^2 - h^2 = (a^2 - b^2) cos 2t and the top lies (a^2 - b^2) sin 2t / 2h
    // left of the centre.
    const double squash = w * w - h * h, off = -2 * h * (top.x - cx), spread = std::hypot(squash, off);
    const double a = std::sqrt((w * w + h * h + spread) / 2), b = std::sqrt((w * w + h * h - spread) / 2);
    const double t = std::atan2(off, squash) / 2, ux = std::cos(t), uy = std::sin(t);
    // The point at s, along a cos s and across b sin s, and its velocity.
    auto at = [&](double s) {
        const double along = a * std::cos(s), across = b * std::sin(s);
        return gfx::Point{cx + along * ux - across * uy, cy + along * uy + across * ux};
    };
    auto velocity = [&](double s) {
        const double along = -a * std::sin(s), across = b * std::cos(s);
        return gfx::Point{along * ux - across * uy, along * uy + across * ux};
    };
    const double from = std::atan2(-b * ux, -a * uy);  // where it is highest
    const double step = 2 * std::numbers::pi / pieces, k = 4.0 / 3 * std::tan(step / 4);
    glyph.move(top.x, top.y);
    for (int i = 0; i < pieces; ++i) {
        const double s0 = from + step * i, s1 = s0 + step;
        const gfx::Point p0 = at(s0), p1 = i + 1 == pieces ? top : at(s1), v0 = velocity(s0), v1 = velocity(s1);
        glyph.curve(p1.x, p1.y, p0.x + k * v0.x, p0.y + k * v0.y, p1.x - k * v1.x, p1.y - k * v1.y);
    }
    glyph.close();
}

// The ring's dots, from the front round both sides.
constexpr std::array<Dot, 17> ringDots{{
    {0.4947, 0.7857, 0.0400, 0.0143, 0},    {0.3690, 0.7768, 0.0381, 0.0170, 3.3},
    {0.2573, 0.7607, 0.0378, 0.0155, 6.3},  {0.1692, 0.7371, 0.0370, 0.0134, 8.1},
    {0.8193, 0.7371, 0.0370, 0.0133, -8.1}, {0.8795, 0.7093, 0.0347, 0.0114, -8.1},
    {0.1094, 0.7093, 0.0347, 0.0115, 8.1},  {0.0770, 0.6800, 0.0326, 0.0096, 7.8},
    {0.9117, 0.6800, 0.0326, 0.0095, -7.8}, {0.9203, 0.6518, 0.0299, 0.0080, -7.1},
    {0.0684, 0.6518, 0.0299, 0.0080, 7.1},  {0.0791, 0.6258, 0.0273, 0.0069, 6.6},
    {0.9096, 0.6258, 0.0273, 0.0068, -6.6}, {0.8847, 0.6023, 0.0248, 0.0065, -6.1},
    {0.1040, 0.6024, 0.0248, 0.0065, 6.1},  {0.7316, 0.7608, 0.0377, 0.0154, -6.3},
    {0.6197, 0.7768, 0.0381, 0.0169, -3.3},
}};

// ---- Settings: a cog with eight teeth ----------------------------------------------

constexpr double cogX = 0.51298, cogY = 0.51313;

struct Polar {
    double radius, degrees;  // degrees on screen: 0 to the right, -90 up
};

gfx::Point cogPoint(Polar p) {
    const double t = p.degrees * std::numbers::pi / 180;
    return {cogX + p.radius * std::cos(t), cogY + p.radius * std::sin(t)};
}

Polar polarOf(double x, double y) {
    return {std::hypot(x - cogX, y - cogY), std::atan2(y - cogY, x - cogX) * 180 / std::numbers::pi};
}

// Direction of travel, anticlockwise on screen, along a circle about the centre.
gfx::Point tangent(Polar p) {
    const double t = p.degrees * std::numbers::pi / 180;
    return {std::sin(t), -std::cos(t)};
}

// The tips, anticlockwise from the tooth that points to the upper right: where
// each tip's curve starts and ends.
struct Tip {
    double fromX, fromY, toX, toY;
};
constexpr std::array<Tip, 8> cogTips{{
    {0.75822, 0.31946, 0.70915, 0.26951},  // upper right
    {0.54623, 0.20171, 0.47560, 0.20233},  // up
    {0.31982, 0.26638, 0.26969, 0.31565},  // upper left
    {0.20233, 0.47351, 0.20172, 0.54441},  // left
    {0.26706, 0.70597, 0.31632, 0.75610},  // lower left
    {0.47864, 0.82330, 0.54906, 0.82268},  // down
    {0.70508, 0.75838, 0.75533, 0.70899},  // lower right
    {0.82267, 0.55087, 0.82329, 0.48003},  // right
}};

}  // namespace

void StyleKit::drawTabIconFamilyWithFrame(const gfx::Rect& frame, Flag colored) {
    const gfx::ColorRef color = tabColor(colored);
    Glyph family(frame);
    addOval(family, 0.35482, 0.63452, 0.44419, 0.73483);  // middle figure's body
    for (const Dot& dot : ringDots) addDot(family, dot);
    addOval(family, 0.40669, 0.58265, 0.25065, 0.43833);  // middle head
    addOval(family, 0.68573, 0.86169, 0.44875, 0.62340);  // right body
    addOval(family, 0.72250, 0.82492, 0.32820, 0.44289);  // right head
    addOval(family, 0.13094, 0.30690, 0.44875, 0.62340);  // left body
    addOval(family, 0.15458, 0.27013, 0.32820, 0.44289);  // left head
    // The ring's far side where it shows: a small dot just outside each side
    // body, a flat one in each gap beside the middle body.
    addFarDot(family, {0.12143, 0.58178}, 0.1166, 0.1255, 0.5888, 3);
    addFarDot(family, {0.86729, 0.58178}, 0.8632, 0.8721, 0.5888, 3);
    addFarDot(family, {0.65691, 0.53241}, 0.6453, 0.6686, 0.5394, 6);
    addFarDot(family, {0.33295, 0.53241}, 0.3212, 0.3445, 0.5394, 6);
    fillTabIcon(family.path(), color);
}

void StyleKit::drawTabIconTodoWithFrame(const gfx::Rect& frame, Flag colored) {
    const gfx::ColorRef color = tabColor(colored);
    Glyph bell(frame);
    // The bell, anticlockwise from the right end of its rim; some lines end
    // where they start and belong to the outline all the same.
    bell.move(0.75000, 0.64727)
        .line(0.75000, 0.64243)
        .curve(0.72176, 0.59667, 0.75000, 0.62743, 0.72286, 0.60667)
        .line(0.70637, 0.45659)
        .line(0.70637, 0.45659)
        .curve(0.54299, 0.24844, 0.70637, 0.34500, 0.63500, 0.25900)
        .line(0.54248, 0.19386)
        .line(0.54248, 0.19386)
        .curve(0.49998, 0.15000, 0.54248, 0.16964, 0.52345, 0.15000)
        .curve(0.45749, 0.19386, 0.47651, 0.15000, 0.45749, 0.16964)
        .line(0.45749, 0.24829)
        .line(0.45749, 0.24829)
        .curve(0.29360, 0.45699, 0.36500, 0.25900, 0.29360, 0.34500)
        .line(0.27803, 0.59634)
        .line(0.27803, 0.59634)
        .curve(0.25000, 0.64200, 0.27691, 0.60634, 0.25000, 0.62200)
        .line(0.25000, 0.64696)
        .curve(0.29931, 0.67709, 0.25000, 0.66360, 0.27208, 0.67709)
        .line(0.70029, 0.67709)
        .line(0.70029, 0.67709)
        .curve(0.75000, 0.64734, 0.72774, 0.67709, 0.75000, 0.66377)
        .line(0.75000, 0.64727)
        .close();
    // The clapper, a half disc below the rim, flat side up.
    bell.move(0.50002, 0.80000)
        .curve(0.57400, 0.72379, 0.54088, 0.80000, 0.57400, 0.76588)
        .line(0.57400, 0.72379)
        .line(0.42603, 0.72364)
        .line(0.42603, 0.72364)
        .curve(0.49986, 0.80000, 0.42603, 0.76581, 0.45908, 0.80000)
        .line(0.50002, 0.80000)
        .close();
    fillTabIcon(bell.path(), color);
}

void StyleKit::drawTabIconDevicesWithFrame(const gfx::Rect& frame, Flag colored) {
    const gfx::ColorRef color = tabColor(colored);
    Glyph phone(frame);
    // Body, anticlockwise from the top edge's right end; each straight edge
    // ends with a line to the point it reached, then its corner.
    phone.move(0.67169, 0.15000)
        .line(0.32831, 0.15000)
        .line(0.32831, 0.15000)
        .corner(0.30000, 0.15000, 0.30000, 0.17806)
        .line(0.30000, 0.82194)
        .line(0.30000, 0.82194)
        .corner(0.30000, 0.85000, 0.32831, 0.85000)
        .line(0.67169, 0.85000)
        .line(0.67169, 0.85000)
        .corner(0.70000, 0.85000, 0.70000, 0.82194)
        .line(0.70000, 0.17806)
        .line(0.70000, 0.17806)
        .corner(0.70000, 0.15000, 0.67169, 0.15000)
        .close();
    // Speaker slot, clockwise.
    phone.move(0.46158, 0.20857)
        .line(0.53377, 0.20857)
        .line(0.53377, 0.20857)
        .corner(0.53865, 0.20857, 0.53865, 0.21341)
        .corner(0.53865, 0.21825, 0.53377, 0.21825)
        .line(0.46158, 0.21825)
        .line(0.46158, 0.21825)
        .corner(0.45670, 0.21825, 0.45670, 0.21341)
        .corner(0.45670, 0.20857, 0.46158, 0.20857)
        .close();
    // Button, clockwise from its lowest point.
    phone.move(0.49767, 0.79146)
        .line(0.49767, 0.79146)
        .corner(0.48134, 0.79146, 0.48134, 0.77528)
        .corner(0.48134, 0.75910, 0.49767, 0.75910)
        .corner(0.51400, 0.75910, 0.51400, 0.77528)
        .line(0.51400, 0.77528)
        .corner(0.51400, 0.79146, 0.49767, 0.79146)
        .close();
    // Screen, clockwise.
    phone.move(0.66761, 0.73890)
        .line(0.33239, 0.73890)
        .line(0.33239, 0.26113)
        .line(0.66757, 0.26113)
        .line(0.66761, 0.73890)
        .close();
    fillTabIcon(phone.path(), color);
}

void StyleKit::drawTabIconExploreWithFrame(const gfx::Rect& frame, Flag colored) {
    const gfx::ColorRef color = tabColor(colored);
    Glyph magnifier(frame);
    // The lens ring's outer edge with the handle, anticlockwise.
    magnifier.move(0.81451, 0.73676)
        .line(0.66576, 0.58404)
        .line(0.66575, 0.58406)
        .curve(0.63466, 0.23326, 0.75528, 0.47871, 0.74136, 0.32165)
        .curve(0.27937, 0.26395, 0.52797, 0.14487, 0.36890, 0.15861)
        .curve(0.31045, 0.61475, 0.18984, 0.36930, 0.20376, 0.52635)
        .curve(0.47256, 0.67300, 0.35587, 0.65237, 0.41327, 0.67300)
        .line(0.47339, 0.67300)
        .curve(0.61656, 0.62843, 0.52461, 0.67300, 0.57460, 0.65744)
        .line(0.76713, 0.78185)
        .line(0.76726, 0.78199)
        .curve(0.81368, 0.78520, 0.77918, 0.79554, 0.79997, 0.79697)
        .curve(0.81693, 0.73936, 0.82740, 0.77343, 0.82885, 0.75291)
        .curve(0.81411, 0.73654, 0.81605, 0.73837, 0.81511, 0.73742)
        .line(0.81451, 0.73676)
        .close();
    // The lens opening, clockwise.
    magnifier.move(0.47265, 0.23977)
        .line(0.47265, 0.23977)
        .curve(0.65914, 0.42390, 0.57565, 0.23977, 0.65914, 0.32220)
        .curve(0.47265, 0.60802, 0.65914, 0.52559, 0.57565, 0.60802)
        .curve(0.28616, 0.42390, 0.36966, 0.60802, 0.28616, 0.52559)
        .line(0.28616, 0.42411)
        .curve(0.47287, 0.23977, 0.28616, 0.32230, 0.36976, 0.23977)
        .line(0.47265, 0.23977)
        .close();
    fillTabIcon(magnifier.path(), color);
}

void StyleKit::drawTabIconSettingsWithFrame(const gfx::Rect& frame, Flag colored) {
    const gfx::ColorRef color = tabColor(colored);
    Glyph cog(frame);
    // Each tooth: a shallow tip about 0.312 from the centre, rounded corners
    // down to short flanks about 0.296 out and 10 degrees off the tooth's
    // direction, then a rounded valley 0.2437 out midway to the next tooth.
    // The tips do not sit exactly on their directions, so each flank starts a
    // fixed angle past its tip's end: every corner then has the same shape.
    // Short lines join the curves.
    auto curveTo = [&cog](gfx::Point to, gfx::Point c1, gfx::Point c2) { cog.curve(to.x, to.y, c1.x, c1.y, c2.x, c2.y); };
    auto lineTo = [&cog](gfx::Point to) { cog.line(to.x, to.y); };
    auto along = [](gfx::Point from, gfx::Point direction, double length) {
        return gfx::Point{from.x + direction.x * length, from.y + direction.y * length};
    };
    constexpr double flank = 0.296, valley = 0.2437, cornerDegrees = 3.6;
    // A corner's handles stay inside the corner where its two tangents meet
    // (about 0.007 from the tip, 0.02 from the flank), so it bends one way only.
    constexpr double tipHandle = 0.0045, flankHandle = 0.012;
    // From the upper end of the right tooth's tip, the way round to it again.
    const gfx::Point start{0.82304, 0.47778};
    Polar cornerStart = polarOf(start.x, start.y);
    cog.move(start.x, start.y).line(start.x, start.y);
    double direction = 0;  // the tooth the outline leaves, in degrees
    for (const Tip& tip : cogTips) {
        const double next = direction - 45;
        const Polar from = polarOf(tip.fromX, tip.fromY), to = polarOf(tip.toX, tip.toY);
        const Polar cornerEnd{from.radius, from.degrees + 0.415};
        const gfx::Point a = cogPoint(cornerStart), b = cogPoint(cornerEnd);
        const double flank1 = cornerStart.degrees - cornerDegrees, flank2 = cornerEnd.degrees + cornerDegrees;
        const gfx::Point f1 = cogPoint({flank, flank1}), g1 = cogPoint({0.283, flank1 - 2});
        const gfx::Point v1 = cogPoint({valley, direction - 22.2}), v2 = cogPoint({valley, direction - 22.8});
        const gfx::Point g2 = cogPoint({0.283, flank2 + 2}), f2 = cogPoint({flank, flank2});
        const gfx::Point down{(g1.x - f1.x) / std::hypot(g1.x - f1.x, g1.y - f1.y),
                              (g1.y - f1.y) / std::hypot(g1.x - f1.x, g1.y - f1.y)};
        const gfx::Point up{(f2.x - g2.x) / std::hypot(f2.x - g2.x, f2.y - g2.y),
                            (f2.y - g2.y) / std::hypot(f2.x - g2.x, f2.y - g2.y)};
        // Corner from the tip down to the flank, the flank, the valley.
        curveTo(f1, along(a, tangent(cornerStart), tipHandle), along(f1, down, -flankHandle));
        lineTo(g1);
        curveTo(v1, along(g1, down, 0.02), along(v1, tangent({valley, direction - 22.2}), -0.02));
        lineTo(v2);
        curveTo(g2, along(v2, tangent({valley, direction - 22.8}), 0.02), along(g2, up, -0.02));
        lineTo(f2);
        // Corner up to the next tip, the tip itself, bulging outwards.
        curveTo(b, along(f2, up, flankHandle), along(b, tangent(cornerEnd), -tipHandle));
        cog.line(tip.fromX, tip.fromY);
        const double sweep = std::remainder(from.degrees - to.degrees, 360.0) * std::numbers::pi / 180;
        const double handle = 4.0 / 3.0 * std::tan(sweep / 4) * (from.radius + to.radius) / 2;
        const gfx::Point p0{tip.fromX, tip.fromY}, p3{tip.toX, tip.toY};
        curveTo(p3, along(p0, tangent(from), handle), along(p3, tangent(to), -handle));
        cornerStart = {to.radius, to.degrees - 0.415};
        lineTo(&tip == &cogTips.back() ? start : cogPoint(cornerStart));
        direction = next;
    }
    cog.close();
    // The hole, clockwise from its lowest point.
    cog.move(0.51298, 0.61738)
        .line(0.51298, 0.61738)
        .corner(0.40876, 0.61738, 0.40876, 0.51313)
        .corner(0.40876, 0.40888, 0.51298, 0.40888)
        .corner(0.61721, 0.40888, 0.61721, 0.51313)
        .line(0.61721, 0.51305)
        .corner(0.61721, 0.61742, 0.51286, 0.61742)
        .line(0.51298, 0.61738)
        .close();
    gfx::BezierPath path = cog.path();
    path.usesEvenOddFillRule = true;
    fillTabIcon(path, color);
}

void StyleKit::drawTabIconInsightsWithFrame(const gfx::Rect& frame, Flag colored) {
    const gfx::ColorRef color = tabColor(colored);
    Glyph monitor(frame);
    // The outer edge, clockwise from the bottom edge's left end; each corner
    // follows a line to the point already reached.
    monitor.move(0.23750, 0.80000)
        .line(0.23750, 0.80000)
        .corner(0.15000, 0.80000, 0.15000, 0.72333)
        .line(0.15000, 0.30167)
        .line(0.15000, 0.30167)
        .corner(0.15000, 0.22500, 0.23750, 0.22500)
        .line(0.76250, 0.22500)
        .line(0.76250, 0.22500)
        .corner(0.85000, 0.22500, 0.85000, 0.30167)
        .line(0.85000, 0.72333)
        .line(0.85000, 0.72333)
        .corner(0.85000, 0.80000, 0.76250, 0.80000)
        .line(0.23750, 0.80000)
        .close();
    // The two windows, anticlockwise; the band left between them is the pulse line.
    monitor.move(0.21563, 0.72333)
        .line(0.21563, 0.72333)
        .corner(0.21563, 0.74250, 0.23750, 0.74250)
        .line(0.76250, 0.74250)
        .line(0.76250, 0.74250)
        .corner(0.78437, 0.74250, 0.78437, 0.72333)
        .line(0.78437, 0.54673)
        .line(0.66888, 0.54673)
        .line(0.52747, 0.71256)
        .line(0.45310, 0.45243)
        .line(0.37190, 0.54673)
        .line(0.21563, 0.54673)
        .line(0.21563, 0.72333)
        .close();
    monitor.move(0.55609, 0.57000)
        .line(0.63182, 0.48157)
        .line(0.78437, 0.48157)
        .line(0.78437, 0.30140)
        .line(0.78437, 0.30140)
        .corner(0.78437, 0.28223, 0.76250, 0.28223)
        .line(0.23750, 0.28223)
        .line(0.23750, 0.28223)
        .corner(0.21563, 0.28223, 0.21563, 0.30140)
        .line(0.21563, 0.48157)
        .line(0.33502, 0.48157)
        .line(0.48189, 0.30991)
        .line(0.55609, 0.57000)
        .close();
    fillTabIcon(monitor.path(), color);
}

}  // namespace style
