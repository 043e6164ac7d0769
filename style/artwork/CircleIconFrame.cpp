#include "style/artwork/CircleIconFrame.h"

#include "style/artwork/Fill.h"

namespace style::artwork {

gfx::Rect circleGroup(const gfx::Rect& frame) { return gfx::groupRect(frame, 0, 0, 1, 1); }

void fillCircle(gfx::Context& context, const gfx::Rect& group, const gfx::ColorRef& color) {
    fillPath(context, gfx::BezierPath::oval(gfx::groupRect(group, 0, 0, 1, 1)), color);
}

gfx::ColorRef destructiveCircleColor(StyleKit::Flag destructive) {
    return StyleKit::isSet(destructive) ? StyleKit::red() : StyleKit::bvBlue();
}

}  // namespace style::artwork
