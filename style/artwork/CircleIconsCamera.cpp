// Circled icons of the camera and the calendar. The camera's glyph is drawn
// by both camera icons; only their circles differ.

#include <cmath>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

gfx::BezierPath cameraGlyph(const gfx::Rect& g) {
    Glyph glyph(g);
    // Body with the viewfinder on top, anticlockwise from its top right corner; a short join comes
    // before each curve. The joins below the left side, right of the bottom and above the right
    // side step out a hair past the straight sides.
    glyph.move(0.75074, 0.35545)
        .line(0.75053, 0.35524)
        .curve(0.69903, 0.33439, 0.73684, 0.34186, 0.71831, 0.33439)
        .line(0.63534, 0.33439)
        .line(0.62081, 0.29617)
        .line(0.62070, 0.29589)
        .curve(0.60143, 0.27272, 0.61697, 0.28623, 0.60971, 0.27860)
        .line(0.60118, 0.27255)
        .curve(0.57146, 0.26245, 0.59247, 0.26644, 0.58224, 0.26245)
        .line(0.42560, 0.26245)
        .line(0.42530, 0.26245)
        .curve(0.39600, 0.27251, 0.41467, 0.26251, 0.40457, 0.26644)
        .line(0.39575, 0.27268)
        .curve(0.37655, 0.29559, 0.38759, 0.27853, 0.38022, 0.28597)
        .line(0.36177, 0.33439)
        .line(0.29795, 0.33439)
        .line(0.29765, 0.33439)
        .curve(0.24629, 0.35554, 0.27838, 0.33447, 0.25990, 0.34206)
        .line(0.24608, 0.35575)
        .curve(0.22501, 0.40643, 0.23257, 0.36924, 0.22501, 0.38746)
        .line(0.22501, 0.65808)
        .line(0.22500, 0.65838)
        .curve(0.24645, 0.70899, 0.22509, 0.67737, 0.23279, 0.69558)
        .line(0.24666, 0.70920)
        .curve(0.29808, 0.72998, 0.26034, 0.72252, 0.27883, 0.72998)
        .line(0.69917, 0.72998)
        .line(0.69947, 0.72999)
        .curve(0.77211, 0.65805, 0.73944, 0.72998, 0.77211, 0.69778)
        .line(0.77211, 0.40639)
        .line(0.77212, 0.40609)
        .curve(0.75066, 0.35538, 0.77203, 0.38706, 0.76433, 0.36881)
        .line(0.75074, 0.35545)
        .close();
    // Lens ring, clockwise: a hole through the body showing the circle. The short joins at its
    // bottom and top step a hair past the points it runs through, to its lowest and highest.
    glyph.move(0.58875, 0.62104)
        .line(0.58854, 0.62125)
        .curve(0.49892, 0.65798, 0.56471, 0.64465, 0.53255, 0.65788)
        .line(0.49822, 0.65800)
        .curve(0.40834, 0.62099, 0.46446, 0.65789, 0.43220, 0.64454)
        .line(0.40819, 0.62085)
        .curve(0.40819, 0.44343, 0.35848, 0.57186, 0.35849, 0.49242)
        .line(0.40834, 0.44329)
        .curve(0.49796, 0.40630, 0.43214, 0.41980, 0.46429, 0.40645)
        .line(0.49892, 0.40628)
        .curve(0.58854, 0.44329, 0.53262, 0.40640, 0.56470, 0.41981)
        .line(0.58892, 0.44368)
        .curve(0.58892, 0.62109, 0.63861, 0.49267, 0.63862, 0.57210)
        .line(0.58875, 0.62104)
        .close();
    // Centre disc, anticlockwise: white again inside the ring.
    glyph.move(0.49854, 0.45125)
        .line(0.49839, 0.45125)
        .curve(0.41618, 0.53229, 0.45299, 0.45125, 0.41618, 0.48753)
        .curve(0.49839, 0.61333, 0.41618, 0.57705, 0.45299, 0.61333)
        .curve(0.58060, 0.53229, 0.54379, 0.61333, 0.58060, 0.57705)
        .curve(0.55652, 0.47499, 0.58060, 0.51080, 0.57194, 0.49018)
        .line(0.55656, 0.47503)
        .curve(0.49833, 0.45125, 0.54134, 0.45949, 0.52025, 0.45087)
        .line(0.49854, 0.45125)
        .close();
    return glyph.path();
}

gfx::BezierPath calendarPage(const gfx::Rect& g) {
    Glyph glyph(g);
    // Window, clockwise: a hole showing the circle round the day squares.
    glyph.move(0.76627, 0.76135)
        .curve(0.76217, 0.76625, 0.76627, 0.76393, 0.76439, 0.76625)
        .line(0.51990, 0.76625)
        .line(0.47062, 0.76625)
        .line(0.22838, 0.76625)
        .curve(0.22428, 0.76135, 0.22616, 0.76625, 0.22428, 0.76393)
        .line(0.22428, 0.51980)
        .line(0.22428, 0.42123)
        .line(0.76627, 0.42123)
        .line(0.76627, 0.76135)
        .close();
    // Outline, anticlockwise: rounded corners, and a notch round each binder ring.
    glyph.move(0.76220, 0.27337)
        .line(0.74162, 0.27337)
        .line(0.74162, 0.29800)
        .curve(0.74157, 0.30052, 0.74162, 0.29884, 0.74161, 0.29968)
        .curve(0.72458, 0.33524, 0.74088, 0.31393, 0.73473, 0.32646)
        .curve(0.69237, 0.34730, 0.71563, 0.34298, 0.70421, 0.34730)
        .curve(0.64309, 0.29800, 0.66514, 0.34731, 0.64309, 0.32521)
        .line(0.64309, 0.27337)
        .line(0.34744, 0.27337)
        .line(0.34744, 0.29800)
        .curve(0.29819, 0.34730, 0.34744, 0.32520, 0.32541, 0.34729)
        .curve(0.26506, 0.33446, 0.28593, 0.34730, 0.27413, 0.34270)
        .curve(0.24991, 0.30792, 0.25733, 0.32744, 0.25201, 0.31815)
        .curve(0.24915, 0.30303, 0.24958, 0.30630, 0.24932, 0.30467)
        .curve(0.24891, 0.29800, 0.24898, 0.30136, 0.24891, 0.29968)
        .line(0.24891, 0.27337)
        .line(0.22838, 0.27337)
        .line(0.22836, 0.27337)
        .curve(0.17507, 0.32476, 0.19979, 0.27337, 0.17650, 0.29612)
        .curve(0.17500, 0.32755, 0.17502, 0.32568, 0.17500, 0.32661)
        .line(0.17500, 0.51980)
        .line(0.17500, 0.76135)
        .curve(0.22838, 0.81555, 0.17500, 0.79118, 0.19890, 0.81555)
        .line(0.47062, 0.81555)
        .line(0.51990, 0.81555)
        .line(0.76217, 0.81555)
        .curve(0.81555, 0.76135, 0.79166, 0.81555, 0.81555, 0.79118)
        .line(0.81555, 0.51980)
        .line(0.81555, 0.32755)
        .curve(0.76220, 0.27337, 0.81555, 0.29761, 0.79168, 0.27337)
        .close();
    return glyph.path();
}

// One edge of an offset-snapped rectangle: its fraction of the group, the
// rounding offset that takes the place of one half, and a fixed addition in
// points.
struct Edge {
    double fraction, rounding, addition;
};

// Each edge's offset from the group's origin is floored after its rounding
// offset is added, then moved by its addition; the rounding offsets below a
// half move an edge to the next whole point a little later than plain snapping.
gfx::Rect offsetSnappedRect(const gfx::Rect& g, Edge left, Edge right, Edge top, Edge bottom) {
    const double x0 = std::floor(g.width() * left.fraction + left.rounding);
    const double x1 = std::floor(g.width() * right.fraction + right.rounding);
    const double y0 = std::floor(g.height() * top.fraction + top.rounding);
    const double y1 = std::floor(g.height() * bottom.fraction + bottom.rounding);
    return {g.minX() + x0 + left.addition, g.minY() + y0 + top.addition, x1 - x0 + right.addition,
            y1 - y0 + bottom.addition};
}

}  // namespace

void StyleKit::drawCircleIconCameraWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlueDark());
    fillPath(*context, cameraGlyph(g), StyleKit::white());
}

void StyleKit::drawCircleIconCamera3WithFrame(const gfx::Rect& frame, Flag destructive) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, destructiveCircleColor(destructive));
    fillPath(*context, cameraGlyph(g), StyleKit::white());
}

void StyleKit::drawCircleIconCalendarWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Rows and columns of the day squares; the middle column is the narrower,
    // and the right column's rows do not quite line up.
    const Edge upperTop{0.46399, 0.38, 0.12}, upperBottom{0.56461, 0.33, 0.05};
    const Edge lowerTop{0.61461, 0.33, 0.17}, lowerBottom{0.71524, 0.28, 0.05};
    const Edge leftLeft{0.30031, 0.48, 0.02}, leftRight{0.40094, 0.43, 0.05};
    const Edge middleLeft{0.45094, 0.42, 0.08}, middleRight{0.53906, 0.38, 0.05};
    // The binder rings stand from above the page down into its notches; their
    // corner radius stays one point at every size.
    const Edge ringTop{0.17524, 0.48, 0.02}, ringBottom{0.32586, 0.43, 0.05};
    // Every glyph fill is white, the colour fetched again for each.
    auto fillWhite = [&](const gfx::BezierPath& path) { fillPath(*context, path, StyleKit::white()); };
    auto ring = [&](Edge left, Edge right) {
        fillWhite(gfx::BezierPath::roundedRect(offsetSnappedRect(g, left, right, ringTop, ringBottom), 1));
    };
    auto square = [&](Edge left, Edge right, Edge top, Edge bottom) {
        fillWhite(gfx::BezierPath::rect(offsetSnappedRect(g, left, right, top, bottom)));
    };

    ring({0.27563, 0.45, 0.05}, {0.32563, 0.45, 0});
    square({0.58906, 0.38, 0.12}, {0.68969, 0.32, 0.05}, lowerTop, lowerBottom);
    square({0.58969, 0.32, 0.18}, {0.69031, 0.27, 0.05}, upperTop, upperBottom);
    ring({0.665, 0.3, 0.2}, {0.715, 0.3, 0});
    fillWhite(calendarPage(g));
    square(middleLeft, middleRight, upperTop, upperBottom);
    square(leftLeft, leftRight, upperTop, upperBottom);
    square(leftLeft, leftRight, lowerTop, lowerBottom);
    square(middleLeft, middleRight, lowerTop, lowerBottom);
}

}  // namespace style
