// The parent- and child-selection pictures: fixed-size figures drawn at
// fixed offsets in points from the frame's origin (the frame's size plays no
// part), in colours of their own rather than the palette's.

#include "graphics/BezierPath.h"
#include "style/StyleKit.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

// Points of these pictures are offsets from the frame's origin: a reference
// rectangle one point square keeps every coordinate as written.
gfx::Rect offsetsFrom(const gfx::Rect& frame) { return {frame.minX(), frame.minY(), 1, 1}; }

gfx::BezierPath ovalAt(const gfx::Rect& frame, double dx, double dy, double width, double height) {
    return gfx::BezierPath::oval({frame.minX() + dx, frame.minY() + dy, width, height});
}

}  // namespace

void StyleKit::drawSelectParentWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::ColorRef figure = gfx::Color::rgba(0.102, 0.602, 0.838, 1);
    const gfx::ColorRef arm = gfx::Color::rgba(0.115, 0.598, 0.835, 1);
    const gfx::Rect at = offsetsFrom(frame);

    context->saveGState();
    // The layer begins before the clip, so the picture is composited once,
    // with whatever alpha and shadow the caller set.
    context->beginTransparencyLayer();
    gfx::BezierPath::rect({frame.minX() + 11, frame.minY() + 12, 62.1, 57.95}).addClip();

    // Small figure: head, body, right foot, left foot.
    fillPath(*context, ovalAt(frame, 16.1, 31.82, 10.1, 11.1), figure);
    fillPath(*context, ovalAt(frame, 16.1, 44.52, 14.9, 13.8), figure);
    Glyph smallRightFoot(at);
    smallRightFoot.move(28.01, 65.04)
        .curve(32.30, 67.74, 26.46, 67.66, 29.41, 67.80)
        .curve(33.35, 64.83, 33.11, 67.53, 33.17, 66.05)
        .curve(29.87, 61.70, 35.87, 61.94, 33.73, 59.24)
        .curve(28.01, 65.04, 29.10, 62.89, 28.33, 63.88)
        .close();
    fillPath(*context, smallRightFoot.path(), figure);
    Glyph smallLeftFoot(at);
    smallLeftFoot.move(18.80, 65.78)
        .curve(21.88, 69.76, 19.27, 67.24, 20.67, 68.84)
        .curve(23.92, 67.35, 23.90, 70.50, 25.39, 69.28)
        .curve(21.75, 63.22, 23.59, 65.58, 22.78, 64.24)
        .curve(18.80, 65.78, 19.70, 60.48, 18.61, 62.16)
        .close();
    fillPath(*context, smallLeftFoot.path(), figure);

    // Large figure. The head's outline stops 0.03 point short of its start;
    // the fill closes it.
    Glyph largeHead(at);
    largeHead.move(50.97, 26.68)
        .curve(61.69, 23.53, 54.81, 28.73, 59.61, 27.32)
        .curve(58.50, 12.94, 63.77, 19.73, 62.35, 14.99)
        .curve(47.78, 16.09, 54.66, 10.89, 49.86, 12.30)
        .curve(46.83, 19.84, 47.15, 17.24, 46.82, 18.53)
        .curve(50.97, 26.71, 46.84, 22.70, 48.42, 25.35);
    fillPath(*context, largeHead.path(), figure);
    fillPath(*context, ovalAt(frame, 40.9, 30.62, 25.1, 24.1), figure);
    Glyph largeRightFoot(at);
    largeRightFoot.move(63.32, 64.30)
        .curve(59.24, 69.28, 63.46, 68.41, 62.24, 70.24)
        .curve(56.72, 66.19, 58.36, 68.77, 57.24, 67.34)
        .curve(59.61, 61.00, 55.52, 61.78, 55.12, 56.54)
        .curve(63.32, 64.30, 61.36, 61.94, 62.59, 62.69)
        .close();
    fillPath(*context, largeRightFoot.path(), figure);
    Glyph largeLeftFoot(at);
    largeLeftFoot.move(52.60, 63.50)
        .curve(47.07, 66.79, 54.80, 66.35, 50.84, 66.89)
        .curve(45.79, 63.03, 45.86, 65.86, 46.62, 64.35)
        .curve(50.32, 59.15, 41.97, 58.84, 46.88, 56.37)
        .curve(52.60, 63.50, 52.10, 60.47, 52.60, 61.80)
        .close();
    fillPath(*context, largeLeftFoot.path(), figure);

    // The arms, in a slightly different blue.
    Glyph smallArm(at);
    smallArm.move(11.97, 60.32)
        .curve(15.94, 58.34, 13.23, 61.28, 14.18, 59.84)
        .curve(17.50, 57.09, 16.01, 57.40, 17.81, 57.16)
        .curve(12.36, 56.18, 17.95, 55.05, 14.49, 54.83)
        .curve(11.97, 60.32, 10.53, 57.28, 10.69, 60.14)
        .close();
    fillPath(*context, smallArm.path(), arm);
    Glyph largeArm(at);
    largeArm.move(72.06, 53.96)
        .curve(67.74, 51.85, 70.59, 55.00, 69.05, 53.48)
        .curve(66.05, 50.50, 67.22, 51.21, 66.11, 50.79)
        .curve(71.62, 49.47, 65.55, 48.43, 68.92, 47.93)
        .curve(72.06, 53.96, 73.44, 50.97, 73.57, 53.27)
        .close();
    fillPath(*context, largeArm.path(), arm);

    // The handheld device, tilted, with a notch for the thumb; then the hand.
    Glyph device(at);
    device.move(32.50, 36.62)
        .line(36.69, 37.06)
        .curve(37.19, 36.66, 36.95, 37.09, 37.17, 36.91)
        .line(37.19, 36.66)
        .line(37.46, 34.12)
        .curve(37.77, 31.29, 35.92, 32.90, 35.92, 31.45)
        .line(38.07, 28.56)
        .curve(37.67, 28.05, 38.10, 28.29, 37.92, 28.08)
        .line(33.48, 27.61)
        .curve(32.98, 28.02, 33.22, 27.58, 33.01, 27.76)
        .line(32.10, 36.12)
        .curve(32.48, 36.62, 32.07, 36.38, 32.24, 36.59)
        .curve(32.50, 36.62, 32.49, 36.62, 32.49, 36.62)
        .close();
    fillPath(*context, device.path(), figure);
    Glyph hand(at);
    hand.move(39.04, 29.60)
        .curve(41.78, 32.28, 40.17, 30.25, 41.11, 31.17)
        .curve(38.37, 36.16, 42.73, 33.89, 40.26, 36.36)
        .line(38.52, 34.11)
        .curve(38.76, 31.89, 37.02, 32.70, 36.70, 31.79)
        .line(39.04, 29.60)
        .close();
    fillPath(*context, hand.path(), figure);

    context->endTransparencyLayer();
    context->restoreGState();
}

void StyleKit::drawSelectChildWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::ColorRef white = gfx::Color::rgba(1, 1, 1, 1);
    const gfx::Rect at = offsetsFrom(frame);

    // The faint backdrop replaces the caller's alpha for this one fill only.
    context->saveGState();
    context->setAlpha(0.28);
    fillPath(*context, ovalAt(frame, 5, 5.04, 70.1, 69.8), white);
    context->restoreGState();

    // Head, left open: the fill closes the last 0.03 point.
    Glyph head(at);
    head.move(33.58, 30.45)
        .curve(44.43, 27.18, 37.45, 32.64, 42.31, 31.18)
        .curve(41.25, 16.00, 46.55, 23.19, 45.12, 18.19)
        .curve(30.40, 19.27, 37.38, 13.81, 32.52, 15.27)
        .curve(29.42, 23.20, 29.76, 20.48, 29.42, 21.83)
        .curve(33.61, 30.45, 29.41, 26.23, 31.03, 29.00);
    fillPath(*context, head.path(), white);
    fillPath(*context, ovalAt(frame, 20, 33.14, 23.3, 25.3), white);
    Glyph upperFoot(at);
    upperFoot.move(58.18, 52.34)
        .curve(63.42, 47.57, 62.50, 52.41, 64.34, 50.92)
        .curve(59.91, 44.92, 63.07, 46.76, 61.40, 45.93)
        .curve(54.38, 48.42, 56.43, 42.68, 49.23, 44.58)
        .curve(58.18, 52.34, 55.85, 50.48, 56.55, 52.26)
        .close();
    fillPath(*context, upperFoot.path(), white);
    Glyph lowerFoot(at);
    lowerFoot.move(48.33, 62.09)
        .curve(54.82, 59.40, 50.92, 61.73, 53.53, 60.95)
        .curve(52.35, 55.70, 56.29, 57.39, 55.72, 55.96)
        .curve(46.01, 57.12, 50.20, 54.67, 47.88, 55.87)
        .curve(48.33, 62.09, 42.04, 59.66, 43.53, 63.99)
        .close();
    fillPath(*context, lowerFoot.path(), white);

    // The handheld device, tilted, with a notch in its left edge; then the hand.
    Glyph device(at);
    device.move(59.60, 41.02)
        .line(53.16, 39.73)
        .curve(52.60, 38.87, 52.80, 39.66, 52.55, 39.30)
        .line(53.20, 35.74)
        .curve(53.84, 32.27, 55.63, 34.35, 55.74, 33.20)
        .line(55.04, 25.85)
        .curve(55.86, 25.26, 55.12, 25.43, 55.45, 25.18)
        .line(62.30, 26.54)
        .curve(62.86, 27.41, 62.71, 26.62, 62.93, 27.00)
        .curve(62.86, 27.41, 62.86, 27.41, 62.86, 27.41)
        .line(60.43, 40.43)
        .curve(59.60, 41.02, 60.35, 40.85, 60.02, 41.10)
        .close();
    fillPath(*context, device.path(), white);
    Glyph hand(at);
    hand.move(52.82, 31.32)
        .curve(49.84, 32.96, 51.71, 31.60, 50.69, 32.16)
        .curve(51.71, 37.28, 48.62, 34.13, 50.06, 36.96)
        .line(52.07, 35.32)
        .curve(52.59, 32.60, 54.28, 34.19, 54.97, 33.23)
        .line(52.82, 31.32)
        .close();
    fillPath(*context, hand.path(), white);
}

}  // namespace style
