#include "style/artwork/Fill.h"

namespace style::artwork {

void fillPath(gfx::Context& context, const gfx::BezierPath& path, const gfx::ColorRef& color) {
    context.setFillColor(color);
    context.fillPath(path);
}

gfx::Shadow makeShadow(double alpha, gfx::Size offset, double blurRadius) {
    return {offset, blurRadius, gfx::Color::blackColor()->withAlpha(alpha)};
}

void shadowedFill(gfx::Context& context, const gfx::BezierPath& path, const gfx::ColorRef& color,
                  const gfx::Shadow& shadow, double scale) {
    context.saveGState();
    context.setShadow({shadow.offset.width * scale, shadow.offset.height * scale}, shadow.blurRadius * scale,
                      shadow.color);
    fillPath(context, path, color);
    context.restoreGState();
}

}  // namespace style::artwork
