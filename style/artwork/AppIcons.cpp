// The child and parent app icons: one geometry in two colourings. A tile
// with continuously curving corners fills the frame, and the product logo
// stands on it, drawn from the logo's own outline.

#include "graphics/Geometry.h"
#include "style/StyleKit.h"
#include "style/artwork/BrimvaleLogo.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

namespace {

gfx::BezierPath tilePath(const gfx::Rect& group) {
    // Clockwise from the top edge; each corner is a curve, a short line and
    // two curves, the same corner turned a quarter turn each time.
    Glyph tile(group);
    tile.move(0.36688, 0.00000)
        .line(0.63312, 0.00000)
        .curve(0.83922, 0.01572, 0.73876, 0.00000, 0.79158, 0.00000)
        .line(0.84844, 0.01798)
        .curve(0.98202, 0.15156, 0.91052, 0.04057, 0.95943, 0.08948)
        .curve(1.00000, 0.36688, 1.00000, 0.20842, 1.00000, 0.26124)
        .line(1.00000, 0.63312)
        .curve(0.98428, 0.83922, 1.00000, 0.73876, 1.00000, 0.79158)
        .line(0.98202, 0.84844)
        .curve(0.84844, 0.98202, 0.95943, 0.91052, 0.91052, 0.95943)
        .curve(0.63312, 1.00000, 0.79158, 1.00000, 0.73876, 1.00000)
        .line(0.36688, 1.00000)
        .curve(0.16078, 0.98428, 0.26124, 1.00000, 0.20842, 1.00000)
        .line(0.15156, 0.98202)
        .curve(0.01798, 0.84844, 0.08948, 0.95943, 0.04057, 0.91052)
        .curve(0.00000, 0.63312, 0.00000, 0.79158, 0.00000, 0.73876)
        .line(0.00000, 0.36688)
        .curve(0.01572, 0.16078, 0.00000, 0.26124, 0.00000, 0.20842)
        .line(0.01798, 0.15156)
        .curve(0.15156, 0.01798, 0.04057, 0.08948, 0.08948, 0.04057)
        .curve(0.36688, 0.00000, 0.20842, 0.00000, 0.26124, 0.00000)
        .close();
    return tile.path();
}

// Where the logo stands on the tile, as fractions of the group: slightly
// narrower than 3:2, the logo's wordmark spanning 0.13 to 0.87 across.
gfx::Rect logoOnTile(const gfx::Rect& group) {
    return {group.minX() + group.width() * 0.119907, group.minY() + group.height() * 0.2197,
            group.width() * 0.757164, group.height() * 0.509075};
}

void drawAppIcon(const gfx::Rect& frame, gfx::ColorRef (*tileColor)(), gfx::ColorRef (*artworkColor)()) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    // The frame's origin kept, its size taken to whole points.
    const gfx::Rect group = gfx::groupRect(frame, 0, 0, 1, 1);
    const gfx::BezierPath tile = tilePath(group);
    fillPath(*context, tile, tileColor());
    const gfx::BezierPath artwork = brimvaleLogoPath(logoOnTile(group));
    fillPath(*context, artwork, artworkColor());
}

}  // namespace

void StyleKit::drawBrimvaleChildAppIconWithFrame(const gfx::Rect& frame) {
    drawAppIcon(frame, &StyleKit::bvBlue, &gfx::Color::whiteColor);
}

void StyleKit::drawBrimvaleParentAppIconWithFrame(const gfx::Rect& frame) {
    drawAppIcon(frame, &StyleKit::white, &StyleKit::bvBlue);
}

}  // namespace style
