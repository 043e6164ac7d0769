#include "style/artwork/ResizingFrame.h"

namespace style::artwork {

ResizingFrame::ResizingFrame(gfx::Context& context, StyleKit::ResizingBehavior resizing, double designWidth,
                             double designHeight, const gfx::Rect& frame)
    : context_(context) {
    context_.saveGState();
    gfx::Rect fitted = resizing.apply({0, 0, designWidth, designHeight}, frame);
    context_.translate(fitted.minX(), fitted.minY());
    double sx = fitted.width() / designWidth, sy = fitted.height() / designHeight;
    context_.scale(sx, sy);
    scale_ = sy < sx ? sy : sx;  // the width factor when equal or not comparable
}

ResizingFrame::~ResizingFrame() { context_.restoreGState(); }

}  // namespace style::artwork
