#pragma once
// The frame of the pictures drawn at a fixed design size and fitted into the
// caller's frame by a resizing behaviour.

#include "graphics/Context.h"
#include "graphics/Geometry.h"
#include "style/StyleKit.h"

namespace style::artwork {

// Fits a W x H design into the frame for as long as it lives: saves the
// state, translates to the fitted origin and scales by the fitted size over
// the design size; restores on destruction.
class ResizingFrame {
public:
    ResizingFrame(gfx::Context& context, StyleKit::ResizingBehavior resizing, double designWidth, double designHeight,
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
