// Warning triangle: a fixed 80 x 68 point picture, not scaled, held against
// the frame's right edge and centred vertically. `colored` swaps its colours.

#include <cmath>

#include "graphics/BezierPath.h"
#include "style/StyleKit.h"
#include "style/artwork/Fill.h"

namespace style {

using namespace artwork;

void StyleKit::drawIconWarningTriangleWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect& f = frame;
    const double x = f.minX() + std::floor(f.width() - 80 + 0.5);
    const double y = f.minY() + std::floor((f.height() - 68) * 0.5 + 0.5);
    auto p = [x, y](double dx, double dy) { return gfx::Point{x + dx, y + dy}; };

    const gfx::ColorRef mark = isSet(colored) ? StyleKit::red() : StyleKit::white();
    const gfx::ColorRef triangle = isSet(colored) ? StyleKit::white() : StyleKit::red();

    gfx::BezierPath outline;
    outline.moveTo(p(78.51, 53.34));
    outline.lineTo(p(47.90, 4.41));
    outline.curveTo(p(34.95, 1.50), p(45.10, -0.03), p(39.30, -1.34));
    outline.curveTo(p(32.09, 4.41), p(33.79, 2.25), p(32.82, 3.25));
    outline.lineTo(p(1.45, 53.34));
    outline.curveTo(p(4.36, 66.52), p(-1.31, 57.79), p(-0.02, 63.70));
    outline.curveTo(p(9.36, 68.00), p(5.86, 67.49), p(7.58, 68.00));
    outline.lineTo(p(70.64, 68.00));
    outline.curveTo(p(80.00, 58.50), p(75.80, 68.02), p(79.98, 63.75));
    outline.curveTo(p(78.51, 53.34), p(80.00, 56.66), p(79.48, 54.88));
    outline.close();
    fillPath(*context, outline, triangle);

    gfx::BezierPath exclamation;
    // Dot.
    exclamation.moveTo(p(40.28, 61.26));
    exclamation.lineTo(p(40.28, 61.26));
    exclamation.curveTo(p(34.09, 55.37), p(36.98, 61.38), p(34.22, 58.74));
    exclamation.curveTo(p(34.09, 54.94), p(34.09, 55.23), p(34.09, 55.08));
    exclamation.curveTo(p(39.73, 48.37), p(33.87, 51.53), p(36.40, 48.59));
    exclamation.curveTo(p(40.28, 48.35), p(39.92, 48.35), p(40.09, 48.35));
    exclamation.curveTo(p(46.48, 54.37), p(43.61, 48.27), p(46.39, 50.97));
    exclamation.curveTo(p(46.47, 54.94), p(46.48, 54.57), p(46.48, 54.76));
    exclamation.curveTo(p(40.70, 61.26), p(46.58, 58.31), p(44.00, 61.15));
    exclamation.curveTo(p(40.28, 61.26), p(40.56, 61.26), p(40.42, 61.26));
    exclamation.close();
    // Tapering bar.
    exclamation.moveTo(p(34.83, 12.94));
    exclamation.lineTo(p(36.32, 44.82));
    exclamation.lineTo(p(44.24, 44.82));
    exclamation.lineTo(p(45.73, 12.94));
    exclamation.lineTo(p(34.83, 12.94));
    exclamation.close();
    fillPath(*context, exclamation, mark);
}

}  // namespace style
