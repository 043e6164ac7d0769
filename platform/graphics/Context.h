#pragma once
// Graphics contexts with the drawing semantics the app's artwork expects:
//  - y grows downwards; the transform (CTM) maps user space to device pixels;
//    a context starts with its base transform (the screen scale of an image
//    context);
//  - save/restore cover the whole state: transform, colours, shadow, alpha,
//    clip;
//  - a singular transform (scale by 0) draws nothing until it is restored,
//    and leaves the context usable;
//  - shadows: offset and blur are in base space (the transform does not touch
//    them), positive height goes down, the blur is Gaussian (standard
//    deviation half the blur radius), the colour is multiplied by the global
//    alpha; a shadow is drawn under each fill, stroke or image, or once under
//    a finished transparency layer (gradients cast none);
//  - the global alpha replaces the previous one (it does not multiply);
//  - linear gradients paint nothing beyond their end points unless asked.
//
// Contexts form a per-thread stack; drawing helpers (BezierPath::fill,
// Color::setFill, ...) act on the top of the calling thread's stack.

#include <memory>
#include <vector>

#include "graphics/BezierPath.h"
#include "graphics/Color.h"
#include "graphics/Geometry.h"

namespace gfx {

class Image;

struct Shadow {
    Size offset;             // base space, positive height downwards
    double blurRadius = 0;   // base space
    ColorRef color;          // null: no shadow
};

class Gradient {
public:
    // One location per colour, in 0...1; empty locations spread the colours evenly.
    Gradient(std::vector<ColorRef> colors, std::vector<double> locations = {});
    const std::vector<ColorRef>& colors() const { return colors_; }
    const std::vector<double>& locations() const { return locations_; }

private:
    std::vector<ColorRef> colors_;
    std::vector<double> locations_;
};

enum GradientDrawingOptions : unsigned {
    gradientDrawsBeforeStart = 1,
    gradientDrawsAfterEnd = 2,
};

struct GraphicsState {
    Transform ctm;
    ColorRef fillColor;    // black by default
    ColorRef strokeColor;  // black by default
    Shadow shadow;
    double alpha = 1;
    bool insideSingularTransform() const { return !ctm.isInvertible(); }
};

class Context {
public:
    virtual ~Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    void saveGState();
    void restoreGState();  // unbalanced restores are ignored

    void translate(double tx, double ty);
    void scale(double sx, double sy);
    void concat(const Transform& t);
    const Transform& ctm() const { return state().ctm; }
    const Transform& baseTransform() const { return base_; }

    void setFillColor(ColorRef c);
    void setStrokeColor(ColorRef c);
    // Null colour (or alpha 0 colour) removes the shadow.
    void setShadow(Size offset, double blurRadius, ColorRef color);
    void setAlpha(double alpha);

    void fillPath(const BezierPath& path);
    void strokePath(const BezierPath& path);
    void clipToPath(const BezierPath& path);
    void clipToRect(const Rect& r) { clipToPath(BezierPath::rect(r)); }
    void fillRect(const Rect& r) { fillPath(BezierPath::rect(r)); }
    void drawLinearGradient(const Gradient& g, Point start, Point end, unsigned options = 0);
    // Draws the image scaled into `r` (with the global alpha and shadow).
    void drawImage(const Image& image, const Rect& r);

    // Inside a layer alpha is 1 and there is no shadow; at the end the layer
    // is composited once with the alpha and shadow current at its beginning.
    void beginTransparencyLayer();
    void endTransparencyLayer();

    const GraphicsState& state() const { return stack_.back(); }
    int saveDepth() const { return static_cast<int>(stack_.size()) - 1; }

protected:
    explicit Context(const Transform& base);

    // Backend hooks: the state is already updated when they run.
    virtual void onSave() {}
    virtual void onRestore() {}
    enum class Change { transform, fillColor, strokeColor, shadow, alpha };
    virtual void onStateChange(Change, const Transform& /*appliedTransform*/) {}
    virtual void doFill(const BezierPath& path) = 0;
    virtual void doStroke(const BezierPath& path) = 0;
    virtual void doClip(const BezierPath& path) = 0;
    virtual void doGradient(const Gradient& g, Point start, Point end, unsigned options) = 0;
    virtual void doDrawImage(const Image& image, const Rect& r) = 0;
    virtual void doBeginLayer() = 0;
    virtual void doEndLayer(const GraphicsState& layerState) = 0;

    GraphicsState& mutableState() { return stack_.back(); }

private:
    Transform base_;
    std::vector<GraphicsState> stack_;
    std::vector<std::size_t> layerDepths_;  // stack size at each open layer
};

// ---- The calling thread's stack of current contexts --------------------------
Context* currentContext();
void pushContext(Context& c);
void popContext();

}  // namespace gfx
