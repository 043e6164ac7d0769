// Circled icons built from several white pieces filled one after another:
// PIN dots, an apps grid and a bar graph.

#include <cmath>

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

// A bar from x 0.24 with a round right end of `capPieces` curves; its square
// left end is drawn as one straight curve.
void fillBar(gfx::Context& context, const gfx::Rect& g, double right, double top, double bottom, int capPieces) {
    const double r = (bottom - top) / 2;
    Glyph bar(g);
    bar.move(0.24, top)
        .line(right - r, top)
        .arc(right - r, top + r, r, r, -90, 90, capPieces)
        .line(0.24, bottom)
        .curve(0.24, top, 0.24, bottom - r * 2 / 3, 0.24, top + r * 2 / 3)
        .close();
    fillPath(context, bar.path(), gfx::Color::whiteColor());
}

}  // namespace

void StyleKit::drawCircleIconPinWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // Four dots in a row; the second stands on a half point.
    const gfx::Span y = gfx::snappedSpan(g.minY(), g.height(), 0.425, 0.575);
    const gfx::Span xs[] = {gfx::snappedSpan(g.minX(), g.width(), 0.15, 0.3),
                            gfx::halfPixelSpan(g.minX(), g.width(), 0.34375, 0.49375),
                            gfx::snappedSpan(g.minX(), g.width(), 0.525, 0.675),
                            gfx::snappedSpan(g.minX(), g.width(), 0.7125, 0.8625)};
    for (const gfx::Span& x : xs) fillPath(*context, gfx::BezierPath::oval(gfx::rectFromSpans(x, y)), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconAppsWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect& f = frame;
    // The circle gives up 1.25 % of the frame at the right and at the top.
    const gfx::Rect g = gfx::groupRect(f, 0, 0.0125, 0.9875, 1);
    fillCircle(*context, g, StyleKit::bvBlue());

    // The grid's own rectangle, taken from the frame with rounding offsets of its own.
    const double left = std::floor(f.width() * 0.25 + 0.5);
    const double top = std::floor(f.height() * 0.2625 - 0.5);
    const gfx::Rect grid{f.minX() + left, f.minY() + top + 1,
                         std::floor(f.width() * 0.75015 + 0.49) - left + 0.01,
                         std::floor(f.height() * 0.75369 + 0.21) - top - 0.7};
    const double columns[] = {0, 0.34989, 0.71228};
    const double rows[] = {0, 0.35714, 0.71428};
    for (double dy : rows) {
        for (double dx : columns) {
            Glyph square(grid);
            square.move(dx + 0.07193, dy + 0)
                .line(dx + 0.21579, dy + 0)
                .curve(dx + 0.28771, dy + 0.07142, dx + 0.25552, dy + 0, dx + 0.28771, dy + 0.03199)
                .line(dx + 0.28771, dy + 0.21429)
                .curve(dx + 0.21579, dy + 0.28572, dx + 0.28771, dy + 0.25373, dx + 0.25552, dy + 0.28572)
                .line(dx + 0.07193, dy + 0.28572)
                .curve(dx + 0, dy + 0.21429, dx + 0.03222, dy + 0.28572, dx + 0, dy + 0.25373)
                .line(dx + 0, dy + 0.07142)
                .curve(dx + 0.07193, dy + 0, dx + 0, dy + 0.03199, dx + 0.03222, dy + 0)
                .close();
            fillPath(*context, square.path(), gfx::Color::whiteColor());
        }
    }
}

void StyleKit::drawCircleIconBarGraphWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    fillBar(*context, g, 0.76, 0.60, 0.72, 4);  // bottom
    fillBar(*context, g, 0.56, 0.45, 0.56, 5);  // middle
    fillBar(*context, g, 0.66, 0.29, 0.41, 3);  // top
}

}  // namespace style
