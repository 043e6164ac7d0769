// Dark gradients: a vertical shading from transparent to black over the
// frame, darkening what lies beneath towards the bottom (Up) or the top (Down).

#include "graphics/Context.h"
#include "style/StyleKit.h"

namespace style {

namespace {

using gfx::Rect;

// Which edge of a rectangle a gradient starts or ends on.
using EdgeY = double (*)(const Rect&);
double minYOf(const Rect& r) { return r.minY(); }
double maxYOf(const Rect& r) { return r.maxY(); }

// Clear at startY(R), black at endY(R), over the frame with its size snapped;
// nothing is extended beyond the two edges.
void drawDarkGradient(const Rect& frame, EdgeY startY, EdgeY endY) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Gradient gradient({gfx::Color::clearColor(), gfx::Color::blackColor()}, {0, 1});
    const Rect r = gfx::groupRect(frame, 0, 0, 1, 1);
    context->saveGState();
    context->clipToPath(gfx::BezierPath::rect(r));
    context->drawLinearGradient(gradient, {r.midX(), startY(r)}, {r.midX(), endY(r)});
    context->restoreGState();
}

}  // namespace

void StyleKit::drawDarkGradientUpWithFrame(const Rect& frame) { drawDarkGradient(frame, minYOf, maxYOf); }

void StyleKit::drawDarkGradientDownWithFrame(const Rect& frame) { drawDarkGradient(frame, maxYOf, minYOf); }

}  // namespace style
