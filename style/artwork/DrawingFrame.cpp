#include "style/artwork/DrawingFrame.h"

namespace style::artwork {

gfx::Shadow makeShadow(double alpha, gfx::Size offset, double blurRadius) {
    return {offset, blurRadius, gfx::Color::blackColor()->withAlpha(alpha)};
}

void shadowedFill(gfx::Context& context, const gfx::BezierPath& path, const gfx::ColorRef& color,
                  const gfx::Shadow& shadow, double scale) {
    context.saveGState();
    context.setShadow({shadow.offset.width * scale, shadow.offset.height * scale}, shadow.blurRadius * scale,
                      shadow.color);
    context.setFillColor(color);
    context.fillPath(path);
    context.restoreGState();
}

ResizingFrame::ResizingFrame(gfx::Context& context, std::int64_t resizing, double designWidth,
                             double designHeight, const gfx::Rect& frame)
    : context_(context) {
    context_.saveGState();
    auto behavior = StyleKit::ResizingBehavior::fromRaw(resizing).value_or(StyleKit::ResizingBehavior::aspectFit);
    gfx::Rect fitted = behavior.apply({0, 0, designWidth, designHeight}, frame);
    context_.translate(fitted.minX(), fitted.minY());
    double sx = fitted.width() / designWidth, sy = fitted.height() / designHeight;
    context_.scale(sx, sy);
    scale_ = sy < sx ? sy : sx;  // the width factor when equal or not comparable
}

ResizingFrame::~ResizingFrame() { context_.restoreGState(); }

}  // namespace style::artwork
