#include "graphics/Context.h"

#include <algorithm>

#include "graphics/Image.h"

namespace gfx {

Gradient::Gradient(std::vector<ColorRef> colors, std::vector<double> locations)
    : colors_(std::move(colors)), locations_(std::move(locations)) {
    if (locations_.size() != colors_.size()) {
        locations_.clear();
        for (std::size_t i = 0; i < colors_.size(); ++i)
            locations_.push_back(colors_.size() == 1 ? 0.0 : double(i) / double(colors_.size() - 1));
    }
}

Context::Context(const Transform& base) : base_(base) {
    GraphicsState initial;
    initial.ctm = base;
    initial.fillColor = Color::blackColor();
    initial.strokeColor = Color::blackColor();
    stack_.push_back(initial);
}

void Context::saveGState() {
    stack_.push_back(stack_.back());
    onSave();
}

void Context::restoreGState() {
    // A restore never reaches below the state saved by an open layer.
    std::size_t floor = layerDepths_.empty() ? 1 : layerDepths_.back() + 1;
    if (stack_.size() <= floor) return;
    stack_.pop_back();
    onRestore();
}

void Context::concat(const Transform& t) {
    mutableState().ctm = state().ctm.concat(t);
    onStateChange(Change::transform, t);
}

void Context::translate(double tx, double ty) { concat(Transform::translation(tx, ty)); }

void Context::scale(double sx, double sy) { concat(Transform::scaling(sx, sy)); }

void Context::setFillColor(ColorRef c) {
    mutableState().fillColor = c ? std::move(c) : Color::blackColor();
    onStateChange(Change::fillColor, {});
}

void Context::setStrokeColor(ColorRef c) {
    mutableState().strokeColor = c ? std::move(c) : Color::blackColor();
    onStateChange(Change::strokeColor, {});
}

void Context::setShadow(Size offset, double blurRadius, ColorRef color) {
    mutableState().shadow = Shadow{offset, std::max(0.0, blurRadius), std::move(color)};
    onStateChange(Change::shadow, {});
}

void Context::setAlpha(double alpha) {
    mutableState().alpha = std::clamp(alpha, 0.0, 1.0);
    onStateChange(Change::alpha, {});
}

void Context::fillPath(const BezierPath& path) {
    if (state().insideSingularTransform() || path.isEmpty()) return;
    doFill(path);
}

void Context::strokePath(const BezierPath& path) {
    if (state().insideSingularTransform() || path.isEmpty()) return;
    doStroke(path);
}

void Context::clipToPath(const BezierPath& path) {
    // Under a singular transform the clip area is empty; doClip gets an empty path.
    doClip(state().insideSingularTransform() ? BezierPath() : path);
}

void Context::drawLinearGradient(const Gradient& g, Point start, Point end, unsigned options) {
    if (state().insideSingularTransform() || g.colors().empty()) return;
    doGradient(g, start, end, options);
}

void Context::drawImage(const Image& image, const Rect& r) {
    if (state().insideSingularTransform() || image.isEmpty()) return;
    doDrawImage(image, r);
}

void Context::beginTransparencyLayer() {
    GraphicsState inner = state();
    inner.alpha = 1;
    inner.shadow = Shadow{};
    layerDepths_.push_back(stack_.size());
    stack_.push_back(inner);
    doBeginLayer();
}

void Context::endTransparencyLayer() {
    if (layerDepths_.empty()) return;
    // Saves left open inside the layer end with it.
    while (stack_.size() > layerDepths_.back() + 1) {
        stack_.pop_back();
        onRestore();
    }
    stack_.pop_back();
    layerDepths_.pop_back();
    doEndLayer(state());
}

namespace {
thread_local std::vector<Context*> contextStack;
}  // namespace

Context* currentContext() { return contextStack.empty() ? nullptr : contextStack.back(); }

void pushContext(Context& c) { contextStack.push_back(&c); }

void popContext() {
    if (!contextStack.empty()) contextStack.pop_back();
}

}  // namespace gfx
