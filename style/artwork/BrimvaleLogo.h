#pragma once
// The product logo's outline, shared by the logo itself and the two app
// icons that draw it under a transform: the mark (three figures standing in
// a ring of dots seen in perspective) above the product name in lettering.

#include "graphics/BezierPath.h"
#include "graphics/Geometry.h"

namespace style::artwork {

// The logo's 41 closed subpaths, every point a fraction of `reference`
// (undistorted when the reference is 3:2, width to height). Filled with the
// non-zero rule: the counters of the lettering run against their letters.
gfx::BezierPath brimvaleLogoPath(const gfx::Rect& reference);

}  // namespace style::artwork
