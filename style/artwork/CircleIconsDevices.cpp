// Circled icons for the kinds of device: laptop, game console, media box,
// desktop, unknown device (a question mark), tablet, and the sign for several
// devices. Each glyph is one path whose openings run the other way round from
// the outline they sit in, so the blue beneath shows through them.
//
// Rounded corners and dots are quarter arcs: `corner(vx, vy, x, y)` with the
// vertex on the axis the arc leaves along.

#include <cmath>
#include <utility>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

void StyleKit::drawCircleIconDeviceLaptopWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Screen opening.
    glyph.move(0.76030, 0.63749)
        .line(0.25231, 0.63749)
        .line(0.25231, 0.33251)
        .line(0.76030, 0.33251)
        .line(0.76030, 0.63749)
        .close();
    // Camera dot in the top bezel.
    glyph.move(0.49889, 0.30297)
        .curve(0.51304, 0.30297, 0.50288, 0.29919, 0.50905, 0.29919)
        .curve(0.51589, 0.30995, 0.51487, 0.30480, 0.51589, 0.30732)
        .curve(0.50597, 0.31992, 0.51589, 0.31545, 0.51144, 0.31992)
        .curve(0.49604, 0.30995, 0.50049, 0.31992, 0.49604, 0.31545)
        .curve(0.49889, 0.30297, 0.49604, 0.30732, 0.49707, 0.30480)
        .close();
    // Lid standing on the wider base; the top corners end in a short curve each.
    glyph.move(0.81964, 0.65753)
        .line(0.79008, 0.65753)
        .line(0.79008, 0.32621)
        .corner(0.79008, 0.28751, 0.75026, 0.28751)
        .corner(0.74901, 0.28751, 0.74901, 0.28762)
        .line(0.26292, 0.28762)
        .corner(0.22242, 0.28762, 0.22242, 0.32438)
        .corner(0.22242, 0.32621, 0.22230, 0.32621)
        .line(0.22230, 0.65753)
        .line(0.19229, 0.65753)
        .corner(0.18750, 0.65753, 0.18750, 0.66005)
        .line(0.18750, 0.66463)
        .corner(0.18750, 0.71250, 0.23257, 0.71250)
        .line(0.77936, 0.71250)
        .corner(0.82500, 0.71250, 0.82500, 0.66474)
        .line(0.82500, 0.66005)
        .corner(0.82500, 0.65753, 0.81964, 0.65753)
        .close();
    fillPath(*context, glyph.path(), StyleKit::white());
}

void StyleKit::drawCircleIconDeviceGamingConsoleWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Plinth bar.
    glyph.move(0.12500, 0.62500)
        .line(0.88500, 0.62500)
        .line(0.88500, 0.57869)
        .line(0.12500, 0.57869)
        .line(0.12500, 0.62500)
        .close();
    // Button opening; it runs the same way as the bar, the other way from the box.
    glyph.move(0.24438, 0.40168)
        .curve(0.19600, 0.44358, 0.21955, 0.40168, 0.19905, 0.41995)
        .curve(0.19561, 0.44969, 0.19574, 0.44558, 0.19561, 0.44762)
        .curve(0.24438, 0.49770, 0.19561, 0.47620, 0.21745, 0.49770)
        .curve(0.29315, 0.44969, 0.27132, 0.49770, 0.29315, 0.47620)
        .curve(0.24438, 0.40168, 0.29315, 0.42318, 0.27131, 0.40168)
        .close();
    // Box; its right edge is a straight curve.
    glyph.move(0.88500, 0.35993)
        .curve(0.88500, 0.53948, 0.88500, 0.35990, 0.88500, 0.53948)
        .line(0.12500, 0.53948)
        .line(0.12500, 0.35990)
        .line(0.88500, 0.35990)
        .line(0.88500, 0.35993)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconDeviceMediaWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Lid and body, parted by a thin line that follows the lid's lower edge:
    // the body's upper corners turn up to meet it at the sides. Each corner
    // has one control point on its horizontal edge's line and the other on
    // its end point on the vertical edge.
    Glyph glyph(g);
    glyph.move(0.71427, 0.33750)
        .line(0.50625, 0.33750)
        .line(0.29821, 0.33750)
        .curve(0.18750, 0.37481, 0.19978, 0.33750, 0.18750, 0.37481)
        .line(0.18750, 0.43609)
        .line(0.18750, 0.49734)
        .curve(0.29821, 0.53462, 0.18750, 0.49734, 0.19978, 0.53462)
        .line(0.50625, 0.53462)
        .line(0.71427, 0.53462)
        .curve(0.82500, 0.49734, 0.81270, 0.53462, 0.82500, 0.49734)
        .line(0.82500, 0.43609)
        .line(0.82500, 0.37481)
        .curve(0.71427, 0.33750, 0.82500, 0.37481, 0.81270, 0.33750)
        .close();
    glyph.move(0.71427, 0.54796)
        .line(0.50625, 0.54796)
        .line(0.29821, 0.54796)
        .curve(0.18750, 0.51065, 0.19978, 0.54796, 0.18750, 0.51065)
        .line(0.18750, 0.56396)
        .line(0.18750, 0.62522)
        .curve(0.29821, 0.66250, 0.18750, 0.62522, 0.19978, 0.66250)
        .line(0.50625, 0.66250)
        .line(0.71427, 0.66250)
        .curve(0.82500, 0.62522, 0.81270, 0.66250, 0.82500, 0.62522)
        .line(0.82500, 0.56396)
        .line(0.82500, 0.51065)
        .curve(0.71427, 0.54796, 0.82500, 0.51065, 0.81270, 0.54796)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconDeviceDesktopWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Measures are whole or half units of 0.04001 across and 0.03907 down.
    Glyph glyph(g);
    // Tower.
    glyph.move(0.33504, 0.28018)
        .line(0.21501, 0.28018)
        .corner(0.17500, 0.28018, 0.17500, 0.31925)
        .line(0.17500, 0.74904)
        .corner(0.17500, 0.78811, 0.21501, 0.78811)
        .line(0.33504, 0.78811)
        .corner(0.37504, 0.78811, 0.37504, 0.74904)
        .line(0.37504, 0.31925)
        .corner(0.37504, 0.28018, 0.33504, 0.28018)
        .close();
    // Power button.
    glyph.move(0.23501, 0.67090)
        .corner(0.21501, 0.67090, 0.21501, 0.65136)
        .corner(0.21501, 0.63183, 0.23501, 0.63183)
        .corner(0.25502, 0.63183, 0.25502, 0.65136)
        .corner(0.25502, 0.67090, 0.23501, 0.67090)
        .close();
    // Drive slots, lower then upper; each ends with a second line to its corner.
    for (const auto& [top, bottom] : {std::pair{0.39740, 0.43647}, std::pair{0.31925, 0.35833}}) {
        glyph.move(0.33504, bottom)
            .line(0.21501, bottom)
            .line(0.21501, top)
            .line(0.33504, top)
            .line(0.33504, bottom)
            .line(0.33504, bottom)
            .close();
    }
    // Stand: the neck, and a foot whose sides bulge out from the neck's corners.
    glyph.move(0.59509, 0.70997)
        .line(0.59509, 0.67090)
        .line(0.47506, 0.67090)
        .line(0.47506, 0.70997)
        .curve(0.43505, 0.74905, 0.45295, 0.70997, 0.43505, 0.72745)
        .line(0.63510, 0.74905)
        .curve(0.59509, 0.70997, 0.63510, 0.72745, 0.61721, 0.70997)
        .close();
    // Monitor behind the tower: top bar, right side and chin, no left side.
    glyph.move(0.77513, 0.20204)
        .line(0.29503, 0.20204)
        .corner(0.25502, 0.20204, 0.25502, 0.24111)
        .line(0.29503, 0.24111)
        .line(0.41505, 0.24111)
        .line(0.77514, 0.24111)
        .line(0.77514, 0.55368)
        .line(0.41505, 0.55368)
        .line(0.41505, 0.63183)
        .line(0.77513, 0.63183)
        .corner(0.81514, 0.63183, 0.81514, 0.59275)
        .line(0.81514, 0.24111)
        .corner(0.81514, 0.20204, 0.77513, 0.20204)
        .close();
    // Dot in the chin.
    glyph.move(0.53508, 0.61229)
        .corner(0.51508, 0.61229, 0.51508, 0.59275)
        .corner(0.51508, 0.57322, 0.53508, 0.57322)
        .corner(0.55509, 0.57322, 0.55509, 0.59275)
        .corner(0.55509, 0.61229, 0.53508, 0.61229)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconDeviceUnknownWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Dot.
    glyph.move(0.47943, 0.62545)
        .curve(0.41142, 0.69399, 0.43968, 0.62545, 0.41142, 0.65331)
        .curve(0.47943, 0.76250, 0.41142, 0.73312, 0.43893, 0.76250)
        .curve(0.54818, 0.69399, 0.52144, 0.76250, 0.54818, 0.73312)
        .curve(0.47943, 0.62545, 0.54738, 0.65331, 0.52061, 0.62545)
        .close();
    // Hook, from the top round the left tip, in along its inner edge and down
    // the neck to the flat foot.
    glyph.move(0.49005, 0.23750)
        .curve(0.36250, 0.26834, 0.43586, 0.23750, 0.39081, 0.25253)
        .line(0.38850, 0.35047)
        .curve(0.46411, 0.32786, 0.40834, 0.33694, 0.43892, 0.32786)
        .curve(0.51994, 0.37305, 0.50229, 0.32865, 0.51994, 0.34672)
        .curve(0.47555, 0.45217, 0.51994, 0.39795, 0.50003, 0.42276)
        .curve(0.43051, 0.56968, 0.44120, 0.49212, 0.42819, 0.53128)
        .line(0.43125, 0.58927)
        .line(0.53283, 0.58927)
        .line(0.53283, 0.57571)
        .curve(0.57181, 0.48155, 0.53212, 0.54182, 0.54436, 0.51239)
        .curve(0.63750, 0.35498, 0.60087, 0.44991, 0.63750, 0.41225)
        .curve(0.49005, 0.23750, 0.63750, 0.29245, 0.59094, 0.23750)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconDeviceTabletWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Body.
    glyph.move(0.71766, 0.15000)
        .line(0.27599, 0.15000)
        .corner(0.23433, 0.15000, 0.23433, 0.19254)
        .line(0.23433, 0.81362)
        .corner(0.23433, 0.85616, 0.27599, 0.85616)
        .line(0.71766, 0.85616)
        .corner(0.75933, 0.85616, 0.75933, 0.81362)
        .line(0.75933, 0.19254)
        .corner(0.75933, 0.15000, 0.71766, 0.15000)
        .close();
    // Camera dot.
    glyph.move(0.49683, 0.17446)
        .corner(0.50308, 0.17446, 0.50308, 0.18084)
        .corner(0.50308, 0.18722, 0.49683, 0.18722)
        .corner(0.49057, 0.18722, 0.49057, 0.18083)
        .corner(0.49057, 0.17446, 0.49683, 0.17446)
        .close();
    // Home button.
    glyph.move(0.49683, 0.83275)
        .corner(0.48432, 0.83275, 0.48432, 0.81999)
        .corner(0.48432, 0.80722, 0.49683, 0.80722)
        .corner(0.50933, 0.80722, 0.50933, 0.81999)
        .corner(0.50933, 0.83275, 0.49683, 0.83275)
        .close();
    // Screen opening.
    glyph.move(0.72599, 0.79340)
        .line(0.26766, 0.79340)
        .line(0.26766, 0.21274)
        .line(0.72599, 0.21274)
        .line(0.72599, 0.79340)
        .close();
    fillPath(*context, glyph.path(), StyleKit::white());
}

namespace {

// The several-devices sign takes its own group: the frame's origin, and a
// size a little under the frame's, whole points plus 0.6 (so a square frame
// can give a group that is not square, and an empty frame a group of -0.4).
gfx::Rect multipleDevicesGroup(const gfx::Rect& frame) {
    return {frame.minX(), frame.minY(), std::floor(frame.width() * 0.99598 - 0.1) + 0.6,
            std::floor(frame.height() * 0.995 - 0.1) + 0.6};
}

// A crescent of a disc behind the front one: the disc's left half, then back
// along the outline of the disc in front moved left by the gap. `shift` moves
// the whole crescent left; `startX` is where its outline starts and ends.
void addCrescent(Glyph& glyph, double shift, double startX) {
    auto x = [shift](double v) { return v - shift; };
    glyph.move(startX, 1.00000)
        .line(x(0.50044), 1.00000)
        .curve(x(0.10363), 0.49948, x(0.28129), 1.00000, x(0.10363), 0.77591)
        .line(x(0.10363), 0.50052)
        .curve(x(0.50044), 0.00000, x(0.10363), 0.22409, x(0.28129), 0.00000)
        .curve(x(0.53889), 0.00239, x(0.51298), 0.00000, x(0.52593), 0.00078)
        .line(x(0.54159), 0.00208)
        .curve(x(0.18135), 0.49796, x(0.33775), 0.02457, x(0.18135), 0.23986)
        .line(x(0.18135), 0.50195)
        .curve(x(0.54164), 0.99790, x(0.18135), 0.76008, x(0.33777), 0.97540)
        .curve(startX, 1.00000, x(0.52593), 0.99912, x(0.51277), 1.00000)
        .close();
}

}  // namespace

void StyleKit::drawCircleIconDeviceMultipleWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = multipleDevicesGroup(frame);

    // Three discs one behind the other, each 0.10363 left of the one in front.
    Glyph backdrop(g);
    addCrescent(backdrop, 0, 0.50003);        // middle
    addCrescent(backdrop, 0.10363, 0.39639);  // back
    backdrop.move(1.00000, 0.49997)          // front, whole
        .curve(0.60363, 0.99993, 1.00000, 0.77609, 0.82254, 0.99993)
        .curve(0.20726, 0.49997, 0.38472, 0.99993, 0.20726, 0.77609)
        .curve(0.60363, 0.00000, 0.20726, 0.22384, 0.38472, 0.00000)
        .curve(1.00000, 0.49997, 0.82254, 0.00000, 1.00000, 0.22384)
        .close();
    fillPath(*context, backdrop.path(), StyleKit::bvBlue());

    Glyph phone(g);
    // Body; the doubled points are empty lines kept in the outline.
    phone.move(0.73139, 0.18418)
        .line(0.47844, 0.18418)
        .line(0.47844, 0.18418)
        .corner(0.45759, 0.18418, 0.45759, 0.21049)
        .line(0.45759, 0.81405)
        .line(0.45759, 0.81405)
        .corner(0.45759, 0.84036, 0.47844, 0.84036)
        .line(0.73139, 0.84036)
        .line(0.73144, 0.84036)
        .corner(0.75229, 0.84036, 0.75229, 0.81405)
        .line(0.75229, 0.21049)
        .line(0.75229, 0.21049)
        .corner(0.75229, 0.18418, 0.73144, 0.18418)
        .line(0.73139, 0.18418)
        .close();
    // Earpiece with round ends.
    phone.move(0.57661, 0.23909)
        .line(0.62977, 0.23909)
        .line(0.62977, 0.23909)
        .corner(0.63337, 0.23909, 0.63337, 0.24363)
        .corner(0.63337, 0.24817, 0.62977, 0.24817)
        .line(0.57661, 0.24817)
        .line(0.57661, 0.24817)
        .corner(0.57301, 0.24817, 0.57301, 0.24363)
        .corner(0.57301, 0.23909, 0.57661, 0.23909)
        .close();
    // Home button.
    phone.move(0.60319, 0.78549)
        .line(0.60319, 0.78549)
        .corner(0.59117, 0.78549, 0.59117, 0.77033)
        .corner(0.59117, 0.75516, 0.60319, 0.75516)
        .corner(0.61521, 0.75516, 0.61521, 0.77033)
        .line(0.61521, 0.77033)
        .corner(0.61521, 0.78549, 0.60319, 0.78549)
        .close();
    // Screen opening.
    phone.move(0.72835, 0.73624)
        .line(0.48148, 0.73624)
        .line(0.48148, 0.28833)
        .line(0.72835, 0.28833)
        .line(0.72835, 0.73624)
        .close();
    fillPath(*context, phone.path(), StyleKit::white());
}

}  // namespace style
