// Round alert marks: a white disc with an exclamation mark cut out of it,
// and a red circle carrying a diagonal cross.

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

void StyleKit::drawCircleIconExclamationWhiteWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);

    // No circle of its own: the disc is the glyph's last subpath, and the bar
    // and dot run the other way round, so what lies beneath shows through them.
    Glyph glyph(g);
    // Bar.
    glyph.move(0.57776, 0.16250)
        .line(0.42327, 0.16250)
        .line(0.44480, 0.60066)
        .line(0.55620, 0.60066)
        .line(0.57776, 0.16250)
        .close();
    // Dot.
    glyph.move(0.50042, 0.64894)
        .curve(0.41250, 0.73695, 0.44862, 0.64894, 0.41250, 0.68476)
        .curve(0.49846, 0.82500, 0.41250, 0.78728, 0.44767, 0.82500)
        .line(0.50042, 0.82500)
        .curve(0.58750, 0.73695, 0.55327, 0.82500, 0.58753, 0.78728)
        .curve(0.50042, 0.64894, 0.58652, 0.68472, 0.55222, 0.64894)
        .close();
    // Disc filling the group; its upper-left quarter is drawn as two curves.
    glyph.move(1.00000, 0.50000)
        .curve(0.50000, 1.00000, 1.00000, 0.77614, 0.77614, 1.00000)
        .curve(0.00000, 0.50000, 0.22386, 1.00000, 0.00000, 0.77614)
        .curve(0.19793, 0.10153, 0.00000, 0.33735, 0.07766, 0.19284)
        .curve(0.50000, 0.00000, 0.28184, 0.03781, 0.38651, 0.00000)
        .curve(1.00000, 0.50000, 0.77614, 0.00000, 1.00000, 0.22386)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

namespace {

// The cross's colour: the palette's parametric colour with its saturation
// taken out, a grey of its brightness with its alpha.
gfx::ColorRef crossColor() {
    const gfx::HSBA parametric = StyleKit::parametricColor()->hsba();
    return gfx::Color::hsba(parametric.hue, 0, parametric.brightness, parametric.alpha);
}

}  // namespace

void StyleKit::drawCircleIconCrossRedWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::ColorRef color = crossColor();
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::red());

    // An X of four arms at 45 degrees, from the upper-right arm's upper edge
    // round all four. Each arm end is two curves meeting on a short flat
    // tip; three ends start with a tiny step back along their edge.
    Glyph glyph(g);
    glyph.move(0.64077, 0.31832)
        .line(0.50473, 0.45435)
        .line(0.36923, 0.31885)
        .curve(0.32442, 0.32442, 0.35509, 0.30931, 0.33591, 0.31170)
        .line(0.32433, 0.32451)
        .curve(0.31877, 0.36932, 0.31161, 0.33600, 0.30923, 0.35518)
        .line(0.45427, 0.50482)
        .line(0.31832, 0.64076)
        .line(0.31841, 0.64068)
        .curve(0.32381, 0.68550, 0.30868, 0.65041, 0.31130, 0.67420)
        .line(0.32398, 0.68566)
        .curve(0.36879, 0.69106, 0.33547, 0.69838, 0.35465, 0.70060)
        .line(0.50464, 0.55521)
        .line(0.64023, 0.69078)
        .line(0.64014, 0.69071)
        .curve(0.68496, 0.68513, 0.65004, 0.70061, 0.67347, 0.69785)
        .line(0.68513, 0.68496)
        .curve(0.69071, 0.64015, 0.69785, 0.67347, 0.70025, 0.65429)
        .line(0.55511, 0.50456)
        .line(0.69106, 0.36861)
        .line(0.69106, 0.36880)
        .curve(0.68558, 0.32390, 0.70074, 0.35912, 0.69802, 0.33514)
        .line(0.68548, 0.32380)
        .curve(0.64067, 0.31841, 0.67419, 0.31130, 0.65040, 0.30868)
        .line(0.64077, 0.31832)
        .close();

    fillPath(*context, glyph.path(), color);
}

}  // namespace style
