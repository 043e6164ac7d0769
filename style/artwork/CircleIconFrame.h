#pragma once
// What every circled icon shares: the group rectangle taken from the frame
// and the circle filled first; the glyph on it is built with Glyph.

#include "graphics/Color.h"
#include "graphics/Context.h"
#include "graphics/Geometry.h"
#include "style/StyleKit.h"

namespace style::artwork {

// The frame's snapped rectangle with the fractions (0, 1) on both axes: the
// frame's origin unchanged, its size taken to whole points.
gfx::Rect circleGroup(const gfx::Rect& frame);

// Fills the oval inscribed in the snapped (0, 1) rectangle of `group`.
void fillCircle(gfx::Context& context, const gfx::Rect& group, const gfx::ColorRef& color);

// The circle of the icons with a `destructive` flag: red when set, bvBlue when clear.
gfx::ColorRef destructiveCircleColor(StyleKit::Flag destructive);

}  // namespace style::artwork
