#pragma once
// The frame of the device glyphs: a half-pixel group of the frame, which every
// glyph point refers to, and a white disc in it with a thin grey rim. The
// half-pixel origin puts the rim's half-point line on whole device pixels.
// The glyph on the disc is built with Glyph and filled with fillPath.

#include "graphics/BezierPath.h"
#include "graphics/Color.h"
#include "graphics/Context.h"
#include "graphics/Geometry.h"

namespace style::artwork {

// The frame's half-pixel group with the fractions 0.02083 and 0.97917 on both
// axes (not 1/48 and 47/48: a 48-point side keeps its whole 47 points).
gfx::Rect deviceGlyphGroup(const gfx::Rect& frame);

// The disc inscribed in the snapped (0, 1) rectangle of `group`: filled with
// the platform's white, then rimmed in grey2, 0.5 wide with round joins.
void drawDeviceDisc(gfx::Context& context, const gfx::Rect& group);

// Makes `color` the stroke colour and strokes `path` with the path's own line
// width and join; the colour stays the context's stroke colour afterwards.
void strokePath(gfx::Context& context, const gfx::BezierPath& path, const gfx::ColorRef& color);

}  // namespace style::artwork
