// Small controls that follow one boolean of their state: the selection circle
// (a blue disc, or a grey ring) and the two halves of a grouped button (white
// with a faint shadow at rest, light grey and flat when highlighted).

#include "graphics/Context.h"
#include "style/StyleKit.h"
#include "style/artwork/Fill.h"

namespace style {

using namespace artwork;

namespace {

using gfx::BezierPath;

// Fills the face of one half of a bordered button in the button group
// (left 0.08333, right 0.91667, top and bottom as given) and returns that group.
gfx::Rect fillButtonHalf(gfx::Context& context, const gfx::Rect& frame, StyleKit::Flag highlighted, double top,
                         double bottom, unsigned roundedCorners) {
    const gfx::Shadow resting = makeShadow(0.13, {0, 1}, 1);
    const bool pressed = StyleKit::isSet(highlighted);
    const gfx::Rect button = gfx::groupRect(frame, 0.08333, top, 0.91667, bottom);
    const BezierPath face = BezierPath::roundedRect(gfx::groupRect(button, 0, 0, 1, 1), roundedCorners, {5, 5});
    if (pressed) {
        // Saved like the resting fill, so the face colour stays inside.
        context.saveGState();
        fillPath(context, face, StyleKit::grey1());
        context.restoreGState();
    } else {
        shadowedFill(context, face, StyleKit::white(), resting);
    }
    return button;
}

}  // namespace

void StyleKit::drawSelectionCircleWithFrame(const gfx::Rect& frame, Flag selected) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    BezierPath oval = BezierPath::oval(gfx::groupRect(frame, 0.05, 0.05, 0.95, 0.95));
    if (isSet(selected)) {
        fillPath(*context, oval, StyleKit::bvBlue());
    } else {
        // A ring only: what lies inside stays visible.
        oval.lineWidth = 1;
        context->setStrokeColor(StyleKit::grey3());
        context->strokePath(oval);
    }
}

void StyleKit::drawBorderedButtonTopWithFrame(const gfx::Rect& frame, Flag highlighted) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect button = fillButtonHalf(*context, frame, highlighted, 0.08889, 1, gfx::topLeft | gfx::topRight);
    // The line that parts the top half from the bottom one; drawn whatever the
    // state, it vanishes into a highlighted face.
    fillPath(*context, BezierPath::rect(gfx::groupRect(button, 0, 0.97561, 1, 1)), StyleKit::grey1());
}

void StyleKit::drawBorderedButtonBottomWithFrame(const gfx::Rect& frame, Flag highlighted) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    fillButtonHalf(*context, frame, highlighted, 0, 0.91111, gfx::bottomLeft | gfx::bottomRight);
}

}  // namespace style
