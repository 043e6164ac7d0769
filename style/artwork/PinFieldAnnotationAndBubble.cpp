// The PIN field and the map annotation, drawn at a fixed design size and
// fitted into the frame (their shadows follow the fit), and the speech bubble,
// a plain blue shape in frame coordinates.

#include "graphics/Context.h"
#include "style/StyleKit.h"
#include "style/artwork/Fill.h"
#include "style/artwork/ResizingFrame.h"

namespace style {

using namespace artwork;

namespace {

using gfx::BezierPath;
using gfx::Color;

}  // namespace

void StyleKit::drawPinFieldWithFrame(const gfx::Rect& frame, ResizingBehavior resizing) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    ResizingFrame fit(*context, resizing, 284, 64, frame);
    gfx::Shadow shadow = makeShadow(0.13, {0, 1}, 1);
    shadowedFill(*context, BezierPath::roundedRect({2, 1, 280, 60}, 10), Color::whiteColor(), shadow, fit.scale());
    // Three hairlines split the card into four cells 70 points wide.
    for (double x : {72.0, 142.0, 212.0}) {
        BezierPath divider;
        divider.moveTo({x, 1});
        divider.lineTo({x, 61});
        divider.lineWidth = 0.5;
        context->setStrokeColor(StyleKit::grey2());
        context->strokePath(divider);
    }
}

void StyleKit::drawMapAnnotationWithFrame(const gfx::Rect& frame, ResizingBehavior resizing) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    ResizingFrame fit(*context, resizing, 38, 38, frame);
    // No offset: an even halo all round.
    gfx::Shadow shadow = makeShadow(0.13, {0, 0}, 2);
    shadowedFill(*context, BezierPath::oval({1, 1, 36, 36}), Color::whiteColor(), shadow, fit.scale());
    fillPath(*context, BezierPath::oval({3, 3, 32, 32}), StyleKit::bvBlue());
}

void StyleKit::drawSpeechBubbleWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const double x = frame.minX(), y = frame.minY();
    // The pointer's tip pokes 0.44 points out of the frame's left edge.
    BezierPath tail;
    tail.moveTo({x + 23, y + 20});
    tail.lineTo({x - 0.44, y});
    tail.lineTo({x + 23, y});
    tail.lineTo({x + 23, y + 20});
    tail.close();
    fillPath(*context, tail, StyleKit::bvBlue());
    BezierPath body = BezierPath::roundedRect({x + 12, y, gfx::snap(frame.width() - 12), gfx::snap(frame.height())}, 8);
    fillPath(*context, body, StyleKit::bvBlue());
}

}  // namespace style
