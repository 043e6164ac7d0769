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
        .curve(32.30, 67.74, 28.35, 66.62, 29.37, 67.58)
        .curve(33.35, 64.83, 35.23, 67.90, 34.71, 66.07)
        .curve(29.87, 61.70, 32.22, 63.80, 32.00, 63.62)
        .curve(28.01, 65.04, 26.92, 59.04, 27.46, 62.48)
        .close();
    fillPath(*context, smallRightFoot.path(), figure);
    Glyph smallLeftFoot(at);
    smallLeftFoot.move(18.80, 65.78)
        .curve(21.88, 69.76, 18.69, 68.05, 19.00, 69.05)
        .curve(23.92, 67.35, 24.60, 70.43, 25.07, 69.57)
        .curve(21.75, 63.22, 23.20, 65.96, 22.64, 64.88)
        .curve(18.80, 65.78, 19.82, 59.62, 18.88, 64.13)
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
        .curve(59.24, 69.28, 63.18, 67.57, 62.44, 68.54)
        .curve(56.72, 66.19, 55.48, 70.15, 55.34, 68.69)
        .curve(59.61, 61.00, 58.05, 63.78, 57.96, 63.94)
        .curve(63.32, 64.30, 61.72, 57.24, 63.49, 60.33)
        .close();
    fillPath(*context, largeRightFoot.path(), figure);
    Glyph largeLeftFoot(at);
    largeLeftFoot.move(52.60, 63.50)
        .curve(47.07, 66.79, 52.12, 65.53, 49.42, 66.90)
        .curve(45.79, 63.03, 43.86, 66.64, 43.68, 64.86)
        .curve(50.32, 59.15, 46.92, 62.05, 48.03, 61.12)
        .curve(52.60, 63.50, 53.97, 56.01, 53.49, 59.73)
        .close();
    fillPath(*context, largeLeftFoot.path(), figure);

    // The arms, in a slightly different blue.
    Glyph smallArm(at);
    smallArm.move(11.97, 60.32)
        .curve(15.94, 58.34, 12.75, 61.21, 13.77, 60.06)
        .curve(17.50, 57.09, 17.14, 57.39, 17.41, 57.26)
        .curve(12.36, 56.18, 17.97, 56.20, 14.14, 54.19)
        .curve(11.97, 60.32, 11.09, 57.60, 10.26, 58.37)
        .close();
    fillPath(*context, smallArm.path(), arm);
    Glyph largeArm(at);
    largeArm.move(72.06, 53.96)
        .curve(67.74, 51.85, 71.46, 54.91, 70.55, 53.78)
        .curve(66.05, 50.50, 66.37, 50.91, 66.15, 50.86)
        .curve(71.62, 49.47, 65.46, 48.35, 69.84, 47.99)
        .curve(72.06, 53.96, 73.33, 50.89, 73.67, 51.41)
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
        .curve(63.42, 47.57, 62.37, 52.23, 63.04, 49.29)
        .curve(59.91, 44.92, 64.26, 43.77, 62.76, 43.12)
        .curve(54.38, 48.42, 58.61, 45.74, 57.54, 46.42)
        .curve(58.18, 52.34, 49.75, 51.35, 55.16, 52.42)
        .close();
    fillPath(*context, upperFoot.path(), white);
    Glyph lowerFoot(at);
    lowerFoot.move(48.33, 62.09)
        .curve(54.82, 59.40, 50.66, 62.84, 51.62, 63.16)
        .curve(52.35, 55.70, 56.59, 57.32, 55.05, 56.36)
        .curve(46.01, 57.12, 49.49, 55.00, 49.42, 55.12)
        .curve(48.33, 62.09, 41.97, 59.49, 43.64, 60.58)
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
