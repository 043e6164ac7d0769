#pragma once
// The school backpack, one drawing for the school icon and the locked-school
// icon, so that the two show the same bag with and without the padlock.

#include "graphics/BezierPath.h"
#include "graphics/Geometry.h"

namespace style::artwork {

// The bag laid out in the icon's group rectangle, one path of four subpaths
// for the non-zero rule: the pocket's slot, the front with its pocket, the
// opening in the side panel, and the back (the carrying loop and the side
// panel with the strap).
gfx::BezierPath schoolBackpack(const gfx::Rect& group);

}  // namespace style::artwork
