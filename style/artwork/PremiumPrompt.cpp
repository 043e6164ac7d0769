// The premium prompt: an open book with a game controller in front of its
// lower right, all in one grey taken from the palette's parametric colour.
// Drawn for a 44 x 44 design and fitted into the frame; the picture lies
// about the fitted rectangle's origin, which the kit's cached image makes up
// for by moving its context first.

#include "graphics/Context.h"
#include "style/StyleKit.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"
#include "style/artwork/ResizingFrame.h"

namespace style {

using namespace artwork;

void StyleKit::drawIconPremiumPrompt1WithFrame(const gfx::Rect& frame, ResizingBehavior resizing) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    ResizingFrame design(*context, resizing, 44, 44, frame);

    // The parametric colour's brightness and alpha with no saturation: a grey,
    // never a tint, whatever its hue.
    const gfx::HSBA source = StyleKit::parametricColor()->hsba();
    const gfx::ColorRef grey = gfx::Color::hsba(source.hue, 0, source.brightness, source.alpha);

    context->saveGState();
    context->translate(7.45, 6.45);
    const gfx::Rect inner{0, 0, 1, 1};  // points as written, in inner coordinates

    Glyph leftPage(inner);
    leftPage.move(-20.73, -22.45)
        .curve(-22.00, -21.23, -21.43, -22.45, -22.00, -21.90)
        .line(-22.00, -21.22)
        .line(-22.00, -3.27)
        .curve(-20.75, -2.06, -22.00, -2.60, -21.44, -2.06)
        .line(-20.74, -2.06)
        .curve(-9.48, 1.96, -16.00, -2.06, -11.90, -0.90)
        .line(-9.48, 1.95)
        .line(-9.48, -16.81)
        .curve(-9.63, -17.50, -9.48, -17.07, -9.53, -17.31)
        .line(-9.64, -17.51)
        .curve(-15.20, -20.74, -11.30, -18.86, -13.20, -19.92)
        .curve(-20.73, -22.45, -17.10, -21.52, -18.90, -22.45)
        .line(-20.73, -22.45)
        .close();
    fillPath(*context, leftPage.path(), grey);

    // The edge of the left cover, left of and below the left page.
    Glyph leftCover(inner);
    leftCover.move(-23.53, -3.61)
        .line(-23.53, -18.28)
        .line(-23.53, -18.29)
        .line(-24.32, -18.29)
        .curve(-25.50, -17.13, -24.97, -18.29, -25.50, -17.77)
        .line(-25.50, -17.12)
        .line(-25.50, 1.49)
        .curve(-25.12, 2.40, -25.50, 1.84, -25.36, 2.17)
        .line(-25.11, 2.40)
        .curve(-24.06, 2.67, -24.84, 2.59, -24.45, 2.67)
        .line(-24.05, 2.67)
        .curve(-11.59, 2.41, -19.60, 2.71, -15.40, 2.71)
        .line(-11.59, 2.41)
        .curve(-20.38, -0.60, -14.70, 1.40, -17.60, 0.55)
        .line(-20.39, -0.60)
        .curve(-23.53, -3.61, -22.40, -0.95, -23.53, -1.80)
        .close();
    fillPath(*context, leftCover.path(), grey);

    Glyph rightCover(inner);
    rightCover.move(7.55, -4.83)
        .line(7.55, -16.36)
        .line(7.55, -16.35)
        .curve(6.35, -17.53, 7.46, -17.00, 6.96, -17.49)
        .line(5.60, -17.53)
        .line(5.60, -4.75)
        .line(5.63, -4.75)
        .curve(7.55, -4.83, 6.26, -4.92, 6.91, -4.95)
        .line(7.55, -4.83)
        .close();
    fillPath(*context, rightCover.path(), grey);

    // The right page's lower edge keeps clear of the controller.
    Glyph rightPage(inner);
    rightPage.move(-8.11, -16.77)
        .line(-8.10, -16.70)
        .line(-8.10, 1.26)
        .curve(-7.40, -1.60, -8.02, 0.20, -7.80, -0.62)
        .line(-7.39, -1.62)
        .curve(-6.21, -3.53, -7.10, -2.36, -6.70, -3.01)
        .curve(-4.50, -4.73, -5.73, -4.06, -5.15, -4.47)
        .line(-4.49, -4.73)
        .curve(-1.20, -5.15, -3.50, -5.05, -2.40, -5.15)
        .line(-1.19, -5.15)
        .curve(2.00, -4.62, 0.10, -5.15, 1.10, -4.95)
        .line(2.01, -4.62)
        .curve(4.32, -3.91, 2.80, -4.30, 3.60, -3.91)
        .line(4.32, -3.92)
        .line(4.32, -21.23)
        .curve(3.07, -22.45, 4.32, -21.90, 3.76, -22.45)
        .line(3.06, -22.45)
        .curve(-0.10, -21.70, 1.80, -22.45, 0.85, -22.15)
        .curve(-4.40, -19.70, -1.50, -21.10, -3.00, -20.45)
        .curve(-7.97, -17.44, -5.70, -18.95, -6.90, -18.10)
        .line(-7.98, -17.43)
        .curve(-8.11, -16.77, -8.10, -17.24, -8.14, -17.00)
        .line(-8.11, -16.77)
        .close();
    fillPath(*context, rightPage.path(), grey);

    // The controller's body runs anticlockwise; the pad and the two buttons
    // run clockwise, so they stay open.
    Glyph controller(inner);
    controller.move(12.25, 2.21)
        .curve(10.60, -1.60, 12.00, 0.75, 11.40, -0.55)
        .curve(8.98, -3.40, 10.10, -2.30, 9.60, -3.05)
        .line(8.97, -3.40)
        .curve(7.27, -3.81, 8.50, -3.68, 7.90, -3.81)
        .curve(5.57, -3.41, 6.64, -3.81, 6.04, -3.68)
        .line(5.56, -3.41)
        .curve(3.99, -2.43, 4.95, -3.05, 4.50, -2.43)
        .line(1.11, -2.37)
        .curve(-0.42, -3.48, 0.56, -2.37, 0.11, -3.12)
        .line(-0.43, -3.48)
        .curve(-2.13, -3.81, -0.90, -3.74, -1.50, -3.81)
        .curve(-3.83, -3.49, -2.76, -3.81, -3.36, -3.74)
        .line(-3.84, -3.49)
        .curve(-7.15, 2.21, -5.40, -2.60, -6.60, -0.40)
        .line(-7.15, 2.22)
        .curve(-6.72, 9.07, -7.85, 4.70, -7.76, 7.80)
        .line(-6.71, 9.08)
        .curve(-2.84, 9.63, -5.80, 10.16, -3.90, 10.09)
        .line(-2.83, 9.62)
        .curve(-0.26, 7.26, -1.90, 9.05, -1.00, 7.80)
        .curve(1.57, 6.55, 0.30, 6.86, 0.90, 6.55)
        .line(3.63, 6.55)
        .curve(5.44, 7.26, 4.30, 6.55, 4.90, 6.86)
        .curve(8.06, 9.65, 6.20, 7.85, 7.00, 9.10)
        .line(8.07, 9.65)
        .curve(11.91, 9.07, 9.15, 10.14, 10.95, 9.97)
        .line(11.92, 9.06)
        .curve(12.25, 2.21, 12.83, 7.90, 12.80, 4.60)
        .close();
    // Pad.
    controller.move(0.87, 3.08)
        .line(0.86, 3.08)
        .line(-0.48, 3.08)
        .curve(-0.68, 3.28, -0.59, 3.08, -0.68, 3.17)
        .line(-0.68, 3.29)
        .line(-0.68, 4.45)
        .curve(-1.28, 5.05, -0.68, 4.80, -0.93, 5.05)
        .line(-1.29, 5.05)
        .line(-1.54, 5.06)
        .line(-1.81, 5.05)
        .curve(-2.41, 4.45, -2.16, 5.05, -2.41, 4.80)
        .line(-2.41, 4.44)
        .line(-2.41, 3.28)
        .curve(-2.61, 3.08, -2.41, 3.17, -2.50, 3.08)
        .line(-2.62, 3.08)
        .line(-3.96, 3.08)
        .curve(-4.56, 2.48, -4.31, 3.08, -4.56, 2.83)
        .line(-4.56, 2.47)
        .line(-4.56, 2.18)
        .curve(-3.96, 1.58, -4.56, 1.83, -4.31, 1.58)
        .line(-3.95, 1.58)
        .line(-2.61, 1.58)
        .curve(-2.41, 1.38, -2.50, 1.58, -2.41, 1.49)
        .line(-2.41, 1.37)
        .line(-2.41, 0.12)
        .curve(-1.81, -0.48, -2.41, -0.23, -2.16, -0.48)
        .line(-1.80, -0.48)
        .line(-1.28, -0.48)
        .curve(-0.68, 0.12, -0.93, -0.48, -0.68, -0.23)
        .line(-0.68, 0.13)
        .line(-0.68, 1.50)
        .line(0.88, 1.50)
        .curve(1.48, 2.10, 1.23, 1.50, 1.48, 1.75)
        .line(1.48, 2.11)
        .line(1.48, 2.48)
        .curve(0.88, 3.08, 1.48, 2.83, 1.23, 3.08)
        .line(0.87, 3.08)
        .close();
    // Lower button.
    controller.move(5.78, 4.58)
        .line(5.77, 4.58)
        .curve(4.89, 4.26, 5.43, 4.58, 5.11, 4.46)
        .curve(4.52, 3.47, 4.66, 4.06, 4.52, 3.78)
        .line(4.52, 3.46)
        .curve(5.71, 2.36, 4.52, 2.85, 5.05, 2.36)
        .line(5.72, 2.36)
        .curve(6.90, 3.47, 6.37, 2.36, 6.90, 2.85)
        .line(6.90, 3.48)
        .curve(6.38, 4.40, 6.90, 3.85, 6.70, 4.20)
        .curve(5.78, 4.58, 6.21, 4.51, 6.00, 4.58)
        .line(5.78, 4.58)
        .close();
    // Upper button.
    controller.move(7.94, 2.13)
        .curve(6.83, 1.11, 7.33, 2.13, 6.83, 1.67)
        .line(6.83, 1.10)
        .curve(7.95, 0.08, 6.83, 0.54, 7.33, 0.08)
        .line(7.96, 0.08)
        .curve(9.07, 1.11, 8.57, 0.08, 9.07, 0.54)
        .line(9.07, 1.12)
        .curve(8.60, 1.94, 9.07, 1.45, 8.89, 1.75)
        .curve(7.94, 2.13, 8.42, 2.06, 8.19, 2.13)
        .line(7.94, 2.13)
        .close();
    fillPath(*context, controller.path(), grey);

    context->restoreGState();
}

}  // namespace style
