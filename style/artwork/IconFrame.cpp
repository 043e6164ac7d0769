#include "style/artwork/IconFrame.h"

#include "style/StyleKit.h"
#include "style/artwork/Fill.h"

namespace style::artwork {

gfx::Rect deviceGlyphGroup(const gfx::Rect& frame) {
    return gfx::halfPixelGroupRect(frame, 0.02083, 0.02083, 0.97917, 0.97917);
}

void drawDeviceDisc(gfx::Context& context, const gfx::Rect& group) {
    gfx::BezierPath disc = gfx::BezierPath::oval(gfx::groupRect(group, 0, 0, 1, 1));
    fillPath(context, disc, gfx::Color::whiteColor());
    disc.lineWidth = 0.5;
    disc.lineJoin = gfx::LineJoin::round;
    strokePath(context, disc, StyleKit::grey2());
}

void strokePath(gfx::Context& context, const gfx::BezierPath& path, const gfx::ColorRef& color) {
    context.setStrokeColor(color);
    context.strokePath(path);
}

}  // namespace style::artwork
