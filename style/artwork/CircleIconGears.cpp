// Gears circled icon: three white cogwheels with round holes on a blue
// circle, the whole glyph one path filled once.
//
// Each outline has eight teeth of six segments (root curve, flank, corner
// curve, flat tip, corner curve, flank). The first tooth is stored in full;
// every later tooth is that tooth moved so that its flat tip lands exactly on
// the stored tip of that tooth.

#include <array>
#include <complex>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

using Z = std::complex<double>;

// Where a segment of the stored tooth ends, when it ends on a flat tip.
enum class Tip { none, from, to, nextFrom };

struct Segment {
    bool curve;
    Z end;
    Z control1{}, control2{};
    Tip tip = Tip::none;
};

struct Gear {
    Z start;
    std::array<Segment, 6> firstTooth;
    std::array<std::array<Z, 2>, 8> tips;  // flat tips in outline order, from -> to
};

// Outlines run anticlockwise on screen.
const Gear largeGear{
    {0.24186, 0.41335},
    {{{true, {0.25575, 0.44567}, {0.24522, 0.42462}, {0.24987, 0.43548}},
      {false, {0.23899, 0.46640}},
      {true, {0.24029, 0.48893}, {0.23352, 0.47317}, {0.23414, 0.48283}, Tip::from},
      {false, {0.26915, 0.51723}, {}, {}, Tip::to},
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
};

const Gear mediumGear{
    {0.79340, 0.42321},
    {{{false, {0.77186, 0.40537}, {}, {}, Tip::to},
      {true, {0.74916, 0.40598}, {0.76523, 0.39987}, {0.75545, 0.40014}},
      {false, {0.73726, 0.41691}},
      {true, {0.70553, 0.40685}, {0.72721, 0.41215}, {0.71654, 0.40879}},
      {false, {0.70218, 0.39075}},
      {true, {0.68399, 0.37734}, {0.70047, 0.38244}, {0.69260, 0.37667}, Tip::nextFrom}}},
    {{{{{0.79340, 0.42321}, {0.77186, 0.40537}}},
      {{{0.68399, 0.37734}, {0.65588, 0.37969}}},
      {{{0.57265, 0.42174}, {0.55446, 0.44299}}},
      {{{0.52690, 0.52943}, {0.52929, 0.55699}}},
      {{{0.57108, 0.63639}, {0.59262, 0.65423}}},
      {{{0.68043, 0.68226}, {0.70854, 0.67991}}},
      {{{0.79176, 0.63780}, {0.80996, 0.61667}}},
      {{{0.83745, 0.53023}, {0.83505, 0.50267}}}}},
};

const Gear smallGear{
    {0.34020, 0.65671},
    {{{true, {0.32489, 0.67320}, {0.33159, 0.65758}, {0.32495, 0.66469}, Tip::from},
      {false, {0.32468, 0.69017}, {}, {}, Tip::to},
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
};

void addOutline(Glyph& glyph, const Gear& gear) {
    const auto& tip0 = gear.tips[0];
    glyph.move(gear.start.real(), gear.start.imag());
    for (std::size_t k = 0; k < gear.tips.size(); ++k) {
        const auto& tip = gear.tips[k];
        const auto& next = gear.tips[(k + 1) % gear.tips.size()];
        // Similarity taking the first tooth's flat tip onto this tooth's.
        const Z scale = (tip[1] - tip[0]) / (tip0[1] - tip0[0]);
        auto moved = [&](Z p) { return tip[0] + scale * (p - tip0[0]); };
        for (std::size_t s = 0; s < gear.firstTooth.size(); ++s) {
            const Segment& seg = gear.firstTooth[s];
            Z end = moved(seg.end);
            if (seg.tip == Tip::from) end = tip[0];
            if (seg.tip == Tip::to) end = tip[1];
            if (seg.tip == Tip::nextFrom) end = next[0];
            const bool last = k + 1 == gear.tips.size() && s + 1 == gear.firstTooth.size();
            if (last) end = gear.start;
            if (seg.curve) {
                const Z c1 = moved(seg.control1), c2 = moved(seg.control2);
                glyph.curve(end.real(), end.imag(), c1.real(), c1.imag(), c2.real(), c2.imag());
            } else {
                glyph.line(end.real(), end.imag());
            }
        }
    }
    glyph.close();
}

}  // namespace

void StyleKit::drawCircleIconGearsWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Outlines anticlockwise, holes clockwise: the holes stay open.
    Glyph glyph(g);
    addOutline(glyph, largeGear);
    glyph.move(0.38979, 0.30505)
        .curve(0.45728, 0.37124, 0.42699, 0.30505, 0.45728, 0.33476)
        .curve(0.38979, 0.43743, 0.45728, 0.40772, 0.42699, 0.43743)
        .curve(0.32229, 0.37124, 0.35258, 0.43743, 0.32229, 0.40772)
        .curve(0.38979, 0.30505, 0.32229, 0.33476, 0.35258, 0.30505)
        .close();
    addOutline(glyph, mediumGear);
    glyph.move(0.68747, 0.58254)
        .curve(0.62777, 0.53312, 0.65711, 0.58509, 0.63030, 0.56289)
        .curve(0.67817, 0.47458, 0.62517, 0.50335, 0.64781, 0.47706)
        .curve(0.73787, 0.52400, 0.70854, 0.47203, 0.73535, 0.49423)
        .curve(0.68747, 0.58254, 0.74047, 0.55377, 0.71784, 0.58006)
        .close();
    addOutline(glyph, smallGear);
    glyph.move(0.45188, 0.63753)
        .curve(0.49633, 0.68219, 0.47671, 0.63780, 0.49661, 0.65785)
        .curve(0.45079, 0.72578, 0.49606, 0.70653, 0.47561, 0.72604)
        .curve(0.40633, 0.68112, 0.42596, 0.72551, 0.40606, 0.70546)
        .curve(0.45188, 0.63753, 0.40661, 0.65677, 0.42706, 0.63726)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
