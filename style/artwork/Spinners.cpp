// Spinners: a plain disc in blue or light blue, and two pulsing spinners in
// which a light disc grows while a blue disc in front of it shrinks. The
// caller animates a pulse by drawing again with a new fraction.

#include <string_view>

#include "graphics/Context.h"
#include "style/StyleKit.h"
#include "style/artwork/Fill.h"
#include "style/artwork/ResizingFrame.h"

namespace style {

using namespace artwork;

namespace {

using gfx::BezierPath;

// The disc of both spinner colours: the entry names its palette colour, which
// is asked of the palette at the moment of the fill.
void drawSpinnerDisc(const gfx::Rect& frame, std::string_view colorName) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    fillPath(*context, BezierPath::oval(gfx::groupRect(frame, 0, 0, 1, 1)), StyleKit::color(colorName));
}

struct Pulse {
    double designSize;
    gfx::Rect base;  // the disc at scale 1, centred on the origin
    gfx::Point lightCentre;
    gfx::Point blueCentre;
};

// One disc of a pulse: the base disc scaled about its centre. A scale of 0
// leaves the transform singular, and the context then draws nothing.
void fillScaledDisc(gfx::Context& context, const Pulse& pulse, gfx::Point centre, double scale,
                    const gfx::ColorRef& color) {
    context.saveGState();
    context.translate(centre.x, centre.y);
    context.scale(scale, scale);
    fillPath(context, BezierPath::oval(pulse.base), color);
    context.restoreGState();
}

// The fraction is used as given: below 0 the blue disc outgrows the light one,
// above 1 the light disc overflows the design square and the blue one returns.
void drawPulse(const gfx::Rect& frame, StyleKit::ResizingBehavior resizing, double fraction, const Pulse& pulse) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    ResizingFrame fit(*context, resizing, pulse.designSize, pulse.designSize, frame);
    fillScaledDisc(*context, pulse, pulse.lightCentre, 1 + fraction, StyleKit::bvBlueLight());
    fillScaledDisc(*context, pulse, pulse.blueCentre, 1 - fraction, StyleKit::bvBlue());
}

}  // namespace

void StyleKit::drawSpinnerCircleBlueWithFrame(const gfx::Rect& frame) { drawSpinnerDisc(frame, "bvBlue"); }

void StyleKit::drawSpinnerCircleLightBlueWithFrame(const gfx::Rect& frame) { drawSpinnerDisc(frame, "bvBlueLight"); }

void StyleKit::drawSpinnerCircleAnimatableWithFrame(const gfx::Rect& frame, ResizingBehavior resizing,
                                                    double fraction) {
    drawPulse(frame, resizing, fraction, {30, {-7.5, -7.5, 15, 15}, {15, 15}, {15, 15}});
}

// The small spinner's blue disc sits 0.07 right of and above the light one's
// centre, leaving a hairline of light blue at its lower left at rest.
void StyleKit::drawSpinnerCircleAnimatableSmallWithFrame(const gfx::Rect& frame, ResizingBehavior resizing,
                                                         double fraction) {
    drawPulse(frame, resizing, fraction, {18, {-4.5, -4.5, 9, 9}, {9, 9}, {9.07, 8.93}});
}

}  // namespace style
