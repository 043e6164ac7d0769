// White panels that cast a soft shadow: the shadow box behind the status
// screen's cards, the shadow circle and the key and banner header views.

#include "graphics/Context.h"
#include "style/StyleKit.h"
#include "style/artwork/Fill.h"

namespace style {

using namespace artwork;

namespace {

using gfx::BezierPath;

using gfx::Color;

using gfx::snap;

}  // namespace

void StyleKit::drawShadowBoxWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    gfx::Shadow shadow = makeShadow(0.32, {0, 2}, 3);
    BezierPath card = BezierPath::roundedRect(
        {frame.minX() + 10, frame.minY() + 10, frame.width() - 20, frame.height() - 20}, 10);
    shadowedFill(*context, card, Color::whiteColor(), shadow);
}

void StyleKit::drawShadowCircleWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    gfx::Shadow shadow = makeShadow(0.13, {0, 1}, 1);
    BezierPath disc = BezierPath::oval(gfx::groupRect(frame, 0.05, 0.05, 0.95, 0.95));
    shadowedFill(*context, disc, Color::whiteColor(), shadow);
}

void StyleKit::drawKeyHeaderViewWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    gfx::Shadow shadow = makeShadow(0.13, {0, 1}, 1);
    BezierPath circle = BezierPath::oval(
        {frame.minX() + snap((frame.width() - 100) * 0.5), frame.minY() + 10, 100, 100});
    shadowedFill(*context, circle, Color::whiteColor(), shadow);
    BezierPath card = BezierPath::roundedRect(
        {frame.minX() + 12, frame.minY() + 57, frame.width() - 24, snap((frame.height() - 57) * 0.97119)}, 10);
    shadowedFill(*context, card, Color::whiteColor(), shadow);
}

void StyleKit::drawBannerHeaderViewWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    gfx::Shadow shadow = makeShadow(0.13, {0, 1}, 1);
    gfx::Rect cardRect{frame.minX() + snap(frame.width() * 0.04), frame.minY() + 12,
                       snap(frame.width() * 0.96) - snap(frame.width() * 0.04),
                       snap((frame.height() - 12) * 0.92857)};
    shadowedFill(*context, BezierPath::roundedRect(cardRect, 10), Color::whiteColor(), shadow);
    // The band's colour is set outside any saved state on purpose: it stays
    // the context's fill colour afterwards.
    BezierPath band = BezierPath::roundedRect({cardRect.origin, {cardRect.size.width, 70}},
                                              gfx::topLeft | gfx::topRight, {10, 10});
    StyleKit::color("parametricColor")->setFill();
    band.fill();
}

}  // namespace style
