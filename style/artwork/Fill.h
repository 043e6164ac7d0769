#pragma once
// How the artwork paints a finished path: a plain fill, or a fill casting a
// shadow that nothing drawn afterwards casts. Rectangle snapping
// (gfx::snap, gfx::groupRect, gfx::groupPoint) is in graphics/Geometry.h.

#include "graphics/BezierPath.h"
#include "graphics/Color.h"
#include "graphics/Context.h"

namespace style::artwork {

// Makes `color` the fill colour and fills `path` with it; the colour stays
// the context's fill colour afterwards.
void fillPath(gfx::Context& context, const gfx::BezierPath& path, const gfx::ColorRef& color);

// A shadow in the platform's black with the given alpha.
gfx::Shadow makeShadow(double alpha, gfx::Size offset, double blurRadius);

// Fills `path` with `color` casting `shadow` (offset and blur times `scale`),
// inside its own save/restore so nothing drawn afterwards casts it.
void shadowedFill(gfx::Context& context, const gfx::BezierPath& path, const gfx::ColorRef& color,
                  const gfx::Shadow& shadow, double scale = 1);

}  // namespace style::artwork
