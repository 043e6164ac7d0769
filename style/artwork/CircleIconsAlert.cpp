// Bell and exclamation-mark circled icons.

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

void StyleKit::drawCircleIconBellWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Bell; some segments are very short or empty, kept as part of the outline.
    glyph.move(0.73125, 0.64946)
        .line(0.73125, 0.64521)
        .line(0.73125, 0.64508)
        .curve(0.70548, 0.60372, 0.73125, 0.62734, 0.72120, 0.61121)
        .line(0.69144, 0.47711)
        .line(0.69144, 0.47720)
        .curve(0.54236, 0.28897, 0.69144, 0.38634, 0.62928, 0.30786)
        .line(0.54189, 0.23964)
        .line(0.54189, 0.23964)
        .curve(0.50311, 0.20000, 0.54189, 0.21775, 0.52453, 0.20000)
        .curve(0.46433, 0.23964, 0.48170, 0.20000, 0.46433, 0.21775)
        .line(0.46433, 0.28884)
        .line(0.46415, 0.28888)
        .curve(0.31478, 0.47747, 0.37706, 0.30781, 0.31478, 0.38644)
        .line(0.30058, 0.60343)
        .line(0.30077, 0.60334)
        .curve(0.27500, 0.64469, 0.28505, 0.61083, 0.27500, 0.62696)
        .line(0.27500, 0.64917)
        .curve(0.32000, 0.67641, 0.27500, 0.67464, 0.29509, 0.67641)
        .line(0.68589, 0.67641)
        .curve(0.73125, 0.64952, 0.71080, 0.67641, 0.73125, 0.67499)
        .line(0.73125, 0.64946)
        .close();
    // Clapper.
    glyph.move(0.50314, 0.78750)
        .line(0.50328, 0.78750)
        .curve(0.57065, 0.71862, 0.54049, 0.78750, 0.57065, 0.75666)
        .line(0.43563, 0.71848)
        .line(0.43563, 0.71862)
        .curve(0.50300, 0.78750, 0.43563, 0.75666, 0.46579, 0.78750)
        .line(0.50314, 0.78750)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconExclamationWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::red());

    Glyph glyph(g);
    // Tapering bar.
    glyph.move(0.42327, 0.16250)
        .line(0.44480, 0.60066)
        .line(0.55620, 0.60066)
        .line(0.57776, 0.16250)
        .line(0.42327, 0.16250)
        .close();
    // Dot.
    glyph.move(0.50042, 0.82500)
        .line(0.49846, 0.82500)
        .curve(0.41250, 0.73695, 0.44767, 0.82500, 0.41250, 0.78728)
        .curve(0.50042, 0.64894, 0.41250, 0.68476, 0.44862, 0.64894)
        .curve(0.58750, 0.73695, 0.55222, 0.64894, 0.58652, 0.68472)
        .curve(0.50042, 0.82500, 0.58753, 0.78728, 0.55327, 0.82500)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
