#pragma once
// What the widget and logo artwork shares: shadows drawn under one fill, and
// the resizing frame of the pictures drawn at a fixed design size. Rectangle
// snapping (gfx::snap, gfx::groupRect, gfx::groupPoint) is in graphics/Geometry.h.

#include "graphics/Context.h"
#include "style/StyleKit.h"

namespace style::artwork {

// A shadow in the platform's black with the given alpha.
gfx::Shadow makeShadow(double alpha, gfx::Size offset, double blurRadius);

// Fills `path` with `color` casting `shadow` (offset and blur times `scale`),
// inside its own save/restore so nothing drawn afterwards casts it.
void shadowedFill(gfx::Context& context, const gfx::BezierPath& path, const gfx::ColorRef& color,
                  const gfx::Shadow& shadow, double scale = 1);

// Fits a W x H design into the frame for as long as it lives: saves the
// state, translates to the fitted origin and scales by the fitted size over
// the design size; restores on destruction. A raw behaviour outside 0...3
// is treated as aspect fit.
class ResizingFrame {
public:
    ResizingFrame(gfx::Context& context, std::int64_t resizing, double designWidth, double designHeight,
                  const gfx::Rect& frame);
    ~ResizingFrame();
    ResizingFrame(const ResizingFrame&) = delete;
    ResizingFrame& operator=(const ResizingFrame&) = delete;

    // The smaller of the two scale factors; shadows follow it.
    double scale() const { return scale_; }

private:
    gfx::Context& context_;
    double scale_;
};

}  // namespace style::artwork
