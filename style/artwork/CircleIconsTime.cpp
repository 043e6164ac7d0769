// Circled icons of time and capture: a clock face and a camera shutter.

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

// One edge of the clock's ring, a circle about (cx, cy) from its first point
// (x0, y0) at about `base` degrees, running the way `turn` says (+1 clockwise
// on screen, -1 anticlockwise): twelve arcs of about 30 degrees, each ending
// a degree past its multiple of 30 and each after a short straight join, and
// a last join back to the first point.
void addRingEdge(Glyph& glyph, double x0, double y0, double cx, double cy, double r, double base, double turn) {
    glyph.move(x0, y0);
    double from = base + turn * 0.3;
    for (int k = 0; k < 12; ++k) {
        const double to = base + turn * (k < 11 ? 30 * (k + 1) + 1 : 360);
        const Fraction start = onEllipse(cx, cy, r, r, from);
        glyph.line(start.x, start.y).arc(cx, cy, r, r, from, to, 1);
        from = to + turn * 0.2;
    }
    glyph.line(x0, y0).close();
}

}  // namespace

void StyleKit::drawCircleIconClockWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // The ring: its inner edge runs against the outer one, so the face shows the circle.
    addRingEdge(glyph, 0.74982, 0.36509, 0.50625, 0.50625, 0.28125, -30, -1);
    addRingEdge(glyph, 0.67875, 0.60625, 0.50627, 0.50627, 0.19923, 30, 1);
    // The hands at nine o'clock, one L with five rounded outer corners, running
    // with the outer edge so they are white again on the face.
    glyph.move(0.54144, 0.36565)
        .line(0.51800, 0.36565)
        .line(0.51795, 0.36565)
        .curve(0.50630, 0.37650, 0.51152, 0.36565, 0.50630, 0.37051)
        .curve(0.50630, 0.37750, 0.50630, 0.37683, 0.50630, 0.37717)
        .line(0.50630, 0.50635)
        .line(0.42426, 0.50635)
        .line(0.42421, 0.50635)
        .curve(0.41253, 0.51720, 0.41776, 0.50635, 0.41253, 0.51121)
        .curve(0.41253, 0.51820, 0.41253, 0.51753, 0.41253, 0.51787)
        .line(0.41252, 0.54152)
        .line(0.41252, 0.54157)
        .curve(0.42338, 0.55321, 0.41252, 0.54800, 0.41738, 0.55321)
        .curve(0.42438, 0.55321, 0.42371, 0.55321, 0.42405, 0.55321)
        .line(0.54147, 0.55322)
        .line(0.54152, 0.55322)
        .curve(0.55317, 0.54256, 0.54795, 0.55322, 0.55317, 0.54845)
        .curve(0.55317, 0.54156, 0.55317, 0.54223, 0.55317, 0.54189)
        .line(0.55317, 0.37745)
        .line(0.55317, 0.37740)
        .curve(0.54251, 0.36565, 0.55317, 0.37091, 0.54840, 0.36565)
        .curve(0.54151, 0.36565, 0.54218, 0.36565, 0.54184, 0.36565)
        .line(0.54144, 0.36565)
        .close();
    fillPath(*context, glyph.path(), StyleKit::white());
}

void StyleKit::drawCircleIconSnapshotWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Six blades round a hexagonal opening, all anticlockwise, apart by straight gaps.
    Glyph glyph(g);
    // Right blade, the first; the others are it turned by multiples of 60 degrees.
    glyph.move(0.76193, 0.41630)
        .curve(0.75101, 0.40833, 0.76041, 0.41156, 0.75600, 0.40833)
        .line(0.59941, 0.40833)
        .curve(0.58947, 0.41408, 0.59531, 0.40833, 0.59151, 0.41053)
        .curve(0.58952, 0.42557, 0.58744, 0.41764, 0.58744, 0.42202)
        .line(0.71552, 0.64180)
        .curve(0.72532, 0.64748, 0.71755, 0.64529, 0.72127, 0.64745)
        .curve(0.72541, 0.64748, 0.72534, 0.64748, 0.72539, 0.64748)
        .curve(0.73521, 0.64195, 0.72941, 0.64748, 0.73313, 0.64539)
        .curve(0.77500, 0.50000, 0.76124, 0.59891, 0.77500, 0.54983)
        .curve(0.76193, 0.41630, 0.77500, 0.47156, 0.77059, 0.44340)
        .close();
    // Upper right.
    glyph.move(0.55909, 0.23142)
        .curve(0.54666, 0.23695, 0.55418, 0.23034, 0.54917, 0.23262)
        .line(0.47057, 0.36821)
        .curve(0.47055, 0.37968, 0.46852, 0.37175, 0.46850, 0.37613)
        .curve(0.48048, 0.38542, 0.47260, 0.38323, 0.47638, 0.38542)
        .line(0.73147, 0.38542)
        .curve(0.74150, 0.36846, 0.74020, 0.38542, 0.74564, 0.37607)
        .curve(0.66518, 0.28013, 0.72267, 0.33389, 0.69665, 0.30377)
        .curve(0.55909, 0.23142, 0.63371, 0.25649, 0.59753, 0.23988)
        .close();
    // Lower right.
    glyph.move(0.70664, 0.68145)
        .curve(0.70172, 0.66606, 0.70807, 0.67982, 0.70609, 0.67363)
        .line(0.66699, 0.60590)
        .line(0.62837, 0.53901)
        .curve(0.61914, 0.53370, 0.62632, 0.53546, 0.62273, 0.53369)
        .curve(0.60994, 0.53905, 0.61556, 0.53371, 0.61198, 0.53549)
        .line(0.48185, 0.76298)
        .curve(0.48606, 0.77056, 0.48064, 0.76510, 0.48268, 0.76809)
        .curve(0.49832, 0.77499, 0.48944, 0.77303, 0.49416, 0.77497)
        .curve(0.50000, 0.77500, 0.49888, 0.77500, 0.49944, 0.77500)
        .curve(0.61122, 0.75150, 0.53831, 0.77500, 0.57619, 0.76700)
        .curve(0.70664, 0.68145, 0.64774, 0.73536, 0.68030, 0.71145)
        .close();
    // Left.
    glyph.move(0.23804, 0.58367)
        .curve(0.24899, 0.59167, 0.23956, 0.58843, 0.24399, 0.59167)
        .line(0.40086, 0.59167)
        .curve(0.41072, 0.58610, 0.40522, 0.59167, 0.40878, 0.58935)
        .curve(0.41081, 0.57499, 0.41265, 0.58286, 0.41296, 0.57869)
        .line(0.28266, 0.35508)
        .curve(0.27438, 0.35071, 0.28086, 0.35199, 0.27765, 0.35055)
        .curve(0.26578, 0.35590, 0.27112, 0.35087, 0.26780, 0.35262)
        .curve(0.22500, 0.50000, 0.23912, 0.39924, 0.22500, 0.44912)
        .curve(0.23804, 0.58367, 0.22500, 0.52840, 0.22940, 0.55662)
        .close();
    // Lower left.
    glyph.move(0.44091, 0.76858)
        .curve(0.45334, 0.76305, 0.44582, 0.76966, 0.45083, 0.76738)
        .line(0.52943, 0.63179)
        .curve(0.52945, 0.62032, 0.53148, 0.62825, 0.53150, 0.62387)
        .curve(0.51952, 0.61458, 0.52740, 0.61677, 0.52362, 0.61458)
        .line(0.26853, 0.61458)
        .curve(0.25868, 0.62023, 0.26447, 0.61458, 0.26074, 0.61675)
        .curve(0.25850, 0.63154, 0.25661, 0.62370, 0.25657, 0.62800)
        .curve(0.33482, 0.71987, 0.27733, 0.66611, 0.30335, 0.69623)
        .curve(0.44091, 0.76858, 0.36629, 0.74351, 0.40247, 0.76012)
        .close();
    // Upper left.
    glyph.move(0.29656, 0.31497)
        .curve(0.29719, 0.33205, 0.29319, 0.31867, 0.29345, 0.32557)
        .line(0.33301, 0.39410)
        .line(0.37077, 0.45949)
        .curve(0.38085, 0.46530, 0.37301, 0.46337, 0.37693, 0.46531)
        .curve(0.39092, 0.45945, 0.38477, 0.46529, 0.38869, 0.46334)
        .line(0.45291, 0.35107)
        .line(0.51812, 0.23706)
        .curve(0.50288, 0.22502, 0.52055, 0.23282, 0.51077, 0.22510)
        .curve(0.50000, 0.22500, 0.50192, 0.22501, 0.50096, 0.22500)
        .curve(0.38878, 0.24850, 0.46169, 0.22500, 0.42381, 0.23300)
        .curve(0.29656, 0.31497, 0.35374, 0.26399, 0.32233, 0.28663)
        .close();
    fillPath(*context, glyph.path(), StyleKit::white());
}

}  // namespace style
