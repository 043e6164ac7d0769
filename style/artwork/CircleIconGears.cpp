// Gears circled icon: three white cogwheels with round holes on a blue
// circle, the whole glyph one path filled once.
//
// Each outline has eight teeth of six segments: root curve, rising flank,
// corner curve, flat tip, corner curve, falling flank. The first six segments
// and the flat tips of all teeth are stored. Every later corner is the first
// tooth's, turned with its own flat tip; its flank leaves it straight and
// ends on the first tooth's root radius, and the roots between the feet are
// arcs about the centre. The tips lie at different radii, but the roots do
// not: no tooth is scaled.

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <vector>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

using Z = std::complex<double>;

// The six segments of a tooth in outline order.
enum Role { root, risingFlank, cornerToTip, flatTip, cornerFromTip, fallingFlank };
constexpr int segmentsPerTooth = 6;
constexpr int teeth = 8;

struct Segment {
    bool curve;
    Z end;
    Z control1{}, control2{};
};

// A corner drawn smaller or larger than the first tooth's, about its tip end,
// where it faces a tooth of the next gear: it sets the gap between them.
struct Rounding {
    int tooth;
    Role corner;
    double scale;
};

struct Gear {
    Z centre;
    Z start;
    Role firstRole;  // what the first stored segment is
    std::array<Segment, segmentsPerTooth> firstSegments;
    std::array<std::array<Z, 2>, teeth> tips;  // flat tips in outline order, from -> to
    std::vector<Rounding> roundings;
};

// Outlines run anticlockwise on screen.
const Gear largeGear{
    {0.3898, 0.3712},
    {0.24186, 0.41335},
    root,
    {{{true, {0.25575, 0.44567}, {0.24522, 0.42462}, {0.24987, 0.43548}},
      {false, {0.23899, 0.46640}},
      {true, {0.24029, 0.48893}, {0.23352, 0.47317}, {0.23414, 0.48283}},
      {false, {0.26915, 0.51723}},
      {true, {0.29213, 0.51850}, {0.27537, 0.52333}, {0.28522, 0.52386}},
      {false, {0.31312, 0.50220}}}},
    {{{{{0.24029, 0.48893}, {0.26915, 0.51723}}},
      {{{0.36770, 0.55793}, {0.40852, 0.55793}}},
      {{{0.50871, 0.51729}, {0.53757, 0.48899}}},
      {{{0.57785, 0.39183}, {0.57785, 0.35179}}},
      {{{0.53750, 0.25637}, {0.50871, 0.22814}}},
      {{{0.41017, 0.18750}, {0.36934, 0.18750}}},
      {{{0.26915, 0.22814}, {0.24029, 0.25644}}},
      {{{0.20001, 0.35347}, {0.20001, 0.39350}}}}},
    {},
};

const Gear mediumGear{
    {0.6828, 0.5286},
    {0.79340, 0.42321},
    flatTip,
    {{{false, {0.77186, 0.40537}},
      {true, {0.74916, 0.40598}, {0.76523, 0.39987}, {0.75545, 0.40014}},
      {false, {0.73726, 0.41691}},
      {true, {0.70553, 0.40685}, {0.72721, 0.41215}, {0.71654, 0.40879}},
      {false, {0.70218, 0.39075}},
      {true, {0.68399, 0.37734}, {0.70047, 0.38244}, {0.69260, 0.37667}}}},
    {{{{{0.79340, 0.42321}, {0.77186, 0.40537}}},
      {{{0.68399, 0.37734}, {0.65588, 0.37969}}},
      {{{0.57265, 0.42174}, {0.55446, 0.44299}}},
      {{{0.52690, 0.52943}, {0.52929, 0.55699}}},
      {{{0.57108, 0.63639}, {0.59262, 0.65423}}},
      {{{0.68043, 0.68226}, {0.70854, 0.67991}}},
      {{{0.79176, 0.63780}, {0.80996, 0.61667}}},
      {{{0.83745, 0.53023}, {0.83505, 0.50267}}}}},
    {{2, cornerFromTip, 0.925}},  // facing the large gear
};

const Gear smallGear{
    {0.4513, 0.6817},
    {0.34020, 0.65671},
    cornerToTip,
    {{{true, {0.32489, 0.67320}, {0.33159, 0.65758}, {0.32495, 0.66469}},
      {false, {0.32468, 0.69017}},
      {true, {0.33959, 0.70700}, {0.32454, 0.69869}, {0.33097, 0.70593}},
      {false, {0.35231, 0.70861}},
      {true, {0.36134, 0.73027}, {0.35443, 0.71619}, {0.35744, 0.72343}},
      {false, {0.35313, 0.74020}}}},
    {{{{{0.32489, 0.67320}, {0.32468, 0.69017}}},
      {{{0.35416, 0.76246}, {0.36626, 0.77460}}},
      {{{0.44005, 0.80605}, {0.45735, 0.80625}}},
      {{{0.53299, 0.77661}, {0.54537, 0.76474}}},
      {{{0.57669, 0.69205}, {0.57689, 0.67508}}},
      {{{0.54742, 0.60279}, {0.53531, 0.59065}}},
      {{{0.46152, 0.55920}, {0.44422, 0.55900}}},
      {{{0.36865, 0.58858}, {0.35621, 0.60051}}}}},
    {{5, cornerToTip, 0.95}, {6, cornerFromTip, 1.07}},  // facing the medium and the large gear
};

// One corner of a tooth: the flank's top, the control next to it and the
// control next to the flat tip.
struct Corner {
    Z top, nearTop, nearTip;
};

class Teeth {
public:
    explicit Teeth(const Gear& gear) : gear_(gear) {
        // The first tooth taken apart: each corner in the frame of the tip end
        // it meets (the tip running along +x), each foot as its radius.
        Z from = gear.start;
        for (int s = 0; s < segmentsPerTooth; ++s) {
            const Segment& seg = gear.firstSegments[s];
            const int n = gear.firstRole + s;
            const auto& tip = gear.tips[n / segmentsPerTooth];
            const Z along = direction(tip);
            switch (n % segmentsPerTooth) {
                case risingFlank: risingFootRadius_ = std::abs(from - gear.centre); break;
                case cornerToTip:
                    toTip_ = {(from - tip[0]) / along, (seg.control1 - tip[0]) / along,
                              (seg.control2 - tip[0]) / along};
                    break;
                case cornerFromTip:
                    fromTip_ = {(seg.end - tip[1]) / along, (seg.control2 - tip[1]) / along,
                                (seg.control1 - tip[1]) / along};
                    break;
                case fallingFlank: fallingFootRadius_ = std::abs(seg.end - gear.centre); break;
                default: break;
            }
            from = seg.end;
        }
        // The flat tips are the gear's outermost points: no corner reaches past them.
        lowest_ = highest_ = gear.tips[0][0];
        for (const auto& tip : gear.tips)
            for (Z p : tip) {
                lowest_ = {std::min(lowest_.real(), p.real()), std::min(lowest_.imag(), p.imag())};
                highest_ = {std::max(highest_.real(), p.real()), std::max(highest_.imag(), p.imag())};
            }
    }

    void addOutline(Glyph& glyph) const {
        glyph.move(gear_.start.real(), gear_.start.imag());
        Z from = gear_.start;
        for (int s = 0; s < segmentsPerTooth * teeth; ++s) {
            Segment seg = s < segmentsPerTooth ? gear_.firstSegments[s] : made(gear_.firstRole + s, from);
            if (s + 1 == segmentsPerTooth * teeth) seg.end = gear_.start;
            if (seg.curve)
                glyph.curve(seg.end.real(), seg.end.imag(), seg.control1.real(), seg.control1.imag(),
                            seg.control2.real(), seg.control2.imag());
            else
                glyph.line(seg.end.real(), seg.end.imag());
            from = seg.end;
        }
        glyph.close();
    }

private:
    static Z direction(const std::array<Z, 2>& tip) { return (tip[1] - tip[0]) / std::abs(tip[1] - tip[0]); }

    // The first tooth's corner on `side` of this tooth's flat tip, turned with
    // the tip and scaled by its rounding.
    Corner corner(int tooth, Role side) const {
        const auto& tip = gear_.tips[tooth];
        const Z end = side == cornerToTip ? tip[0] : tip[1];
        double scale = 1;
        for (const Rounding& r : gear_.roundings)
            if (r.tooth == tooth && r.corner == side) scale = r.scale;
        const Corner& pattern = side == cornerToTip ? toTip_ : fromTip_;
        auto place = [&](Z p) { return end + scale * p * direction(tip); };
        return {place(pattern.top), place(pattern.nearTop), place(pattern.nearTip)};
    }

    Z kept(Z p) const {
        return {std::clamp(p.real(), lowest_.real(), highest_.real()),
                std::clamp(p.imag(), lowest_.imag(), highest_.imag())};
    }

    // Where a flank that leaves its corner straight reaches `radius`.
    Z foot(const Corner& c, double radius) const {
        const Z d = (c.top - c.nearTop) / std::abs(c.top - c.nearTop), q = c.top - gear_.centre;
        const double b = (std::conj(q) * d).real();
        return c.top - (b + std::sqrt(b * b - std::norm(q) + radius * radius)) * d;
    }

    // Segment `n` of the outline, counted from the first tooth's root.
    Segment made(int n, Z from) const {
        const int tooth = n / segmentsPerTooth % teeth;
        const auto& tip = gear_.tips[tooth];
        switch (n % segmentsPerTooth) {
            case root: return arcAboutCentre(from, foot(corner(tooth, cornerToTip), risingFootRadius_));
            case risingFlank: return {false, corner(tooth, cornerToTip).top};
            case cornerToTip: {
                const Corner c = corner(tooth, cornerToTip);
                return {true, tip[0], kept(c.nearTop), kept(c.nearTip)};
            }
            case flatTip: return {false, tip[1]};
            case cornerFromTip: {
                const Corner c = corner(tooth, cornerFromTip);
                return {true, c.top, kept(c.nearTip), kept(c.nearTop)};
            }
            default: return {false, foot(corner(tooth, cornerFromTip), fallingFootRadius_)};
        }
    }

    // A curve from `a` to `b` round the centre, its radius changing evenly
    // with the angle.
    Segment arcAboutCentre(Z a, Z b) const {
        const Z ra = a - gear_.centre, rb = b - gear_.centre;
        const double turn = std::arg(rb / ra);
        const double grow = (std::abs(rb) - std::abs(ra)) / turn;  // radius per radian
        const double handle = 4.0 / 3.0 * std::tan(turn / 4);
        auto tangent = [&](Z r) { return r / std::abs(r) * Z(grow, std::abs(r)); };
        return {true, b, a + handle * tangent(ra), b - handle * tangent(rb)};
    }

    const Gear& gear_;
    Corner toTip_{}, fromTip_{};
    double risingFootRadius_ = 0, fallingFootRadius_ = 0;
    Z lowest_, highest_;
};

}  // namespace

void StyleKit::drawCircleIconGearsWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Outlines anticlockwise, holes clockwise: the holes stay open.
    Glyph glyph(g);
    Teeth(largeGear).addOutline(glyph);
    glyph.move(0.38979, 0.30505)
        .curve(0.45728, 0.37124, 0.42699, 0.30505, 0.45728, 0.33476)
        .curve(0.38979, 0.43743, 0.45728, 0.40772, 0.42699, 0.43743)
        .curve(0.32229, 0.37124, 0.35258, 0.43743, 0.32229, 0.40772)
        .curve(0.38979, 0.30505, 0.32229, 0.33476, 0.35258, 0.30505)
        .close();
    Teeth(mediumGear).addOutline(glyph);
    glyph.move(0.68747, 0.58254)
        .curve(0.62777, 0.53312, 0.65711, 0.58509, 0.63030, 0.56289)
        .curve(0.67817, 0.47458, 0.62517, 0.50335, 0.64781, 0.47706)
        .curve(0.73787, 0.52400, 0.70854, 0.47203, 0.73535, 0.49423)
        .curve(0.68747, 0.58254, 0.74047, 0.55377, 0.71784, 0.58006)
        .close();
    Teeth(smallGear).addOutline(glyph);
    glyph.move(0.45188, 0.63753)
        .curve(0.49633, 0.68219, 0.47671, 0.63780, 0.49661, 0.65785)
        .curve(0.45079, 0.72578, 0.49606, 0.70653, 0.47561, 0.72604)
        .curve(0.40633, 0.68112, 0.42596, 0.72551, 0.40606, 0.70546)
        .curve(0.45188, 0.63753, 0.40661, 0.65677, 0.42706, 0.63726)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
