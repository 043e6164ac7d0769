#include "ui/View.h"

#include "dispatch/Dispatch.h"
#include "ui/Window.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace ui {
namespace {

using Clock = std::chrono::steady_clock;

struct AnimationScope {
    double duration;
    Clock::time_point start;
};
// The innermost animation block being run on this thread, if any.
thread_local const AnimationScope* currentAnimation = nullptr;
Clock::time_point animationsEnd{};
ColorRef appearanceTint;

}  // namespace

struct View::AlphaAnimation {
    double from;
    Clock::time_point start;
    double duration;
};

View::View(Rect frame) : frame_(frame) {}

View::~View() {
    for (auto& subview : subviews_) subview->superview_ = nullptr;
}

void View::setFrame(Rect frame) {
    bool resized = frame.size != frame_.size;
    frame_ = frame;
    if (resized) setNeedsLayout();
    setNeedsDisplay();
}

void View::setAlpha(double alpha) {
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (currentAnimation && currentAnimation->duration > 0) {
        animation_ = std::make_shared<AlphaAnimation>(
            AlphaAnimation{presentationAlpha(), currentAnimation->start, currentAnimation->duration});
    } else {
        animation_.reset();
    }
    alpha_ = alpha;
    setNeedsDisplay();
}

double View::presentationAlpha() const {
    if (!animation_) return alpha_;
    double elapsed = std::chrono::duration<double>(Clock::now() - animation_->start).count();
    double t = std::clamp(elapsed / animation_->duration, 0.0, 1.0);
    double eased = t * t * (3 - 2 * t);  // ease in and out
    return animation_->from + (alpha_ - animation_->from) * eased;
}

void View::setHidden(bool hidden) {
    hidden_ = hidden;
    setNeedsDisplay();
}

void View::setBackgroundColor(ColorRef color) {
    backgroundColor_ = std::move(color);
    setNeedsDisplay();
}

ColorRef View::tintColor() const {
    if (tintColor_) return tintColor_;
    if (superview_) return superview_->tintColor();
    return appearanceTintColor();
}

void View::setTintColor(ColorRef color) {
    tintColor_ = std::move(color);
    setNeedsDisplay();
}

ColorRef View::appearanceTintColor() {
    static const ColorRef systemBlue = gfx::Color::rgba(0, 0.478, 1, 1);
    return appearanceTint ? appearanceTint : systemBlue;
}

void View::setAppearanceTintColor(ColorRef color) { appearanceTint = std::move(color); }

void View::setClipsToBounds(bool clips) {
    layer_.masksToBounds = clips;
    setNeedsDisplay();
}

void View::addSubview(std::shared_ptr<View> view) {
    if (!view || view.get() == this) return;
    view->removeFromSuperview();
    view->superview_ = this;
    subviews_.push_back(std::move(view));
    setNeedsLayout();
    setNeedsDisplay();
}

void View::removeFromSuperview() {
    View* parent = superview_;
    if (!parent) return;
    setNeedsDisplay();
    superview_ = nullptr;
    auto self = std::find_if(parent->subviews_.begin(), parent->subviews_.end(),
                             [this](const auto& v) { return v.get() == this; });
    if (self != parent->subviews_.end()) parent->subviews_.erase(self);  // may destroy this view
    parent->setNeedsDisplay();
}

Window* View::window() const {
    const View* root = this;
    while (root->superview_) root = root->superview_;
    return dynamic_cast<Window*>(const_cast<View*>(root));
}

void View::sizeToFit() {
    Size fitting = sizeThatFits({0, 0});
    setFrame({frame_.origin, fitting});
}

void View::setNeedsDisplay() const {
    if (Window* w = window()) w->screenNeedsDisplay(false);
}

void View::setNeedsLayout() const {
    if (Window* w = window()) w->screenNeedsDisplay(true);
}

void View::render(gfx::Context& context) const {
    double alpha = presentationAlpha();
    if (hidden_ || alpha < 0.01) return;  // too faint to draw or to touch
    context.saveGState();
    context.translate(frame_.origin.x, frame_.origin.y);
    bool group = alpha < 1;
    if (group) {
        context.setAlpha(alpha);
        context.beginTransparencyLayer();
    }
    if (layer_.mask) context.clipToPath(*layer_.mask);
    gfx::BezierPath outline = layer_.cornerRadius > 0 ? gfx::BezierPath::roundedRect(bounds(), layer_.cornerRadius)
                                                      : gfx::BezierPath::rect(bounds());
    if (backgroundColor_) {
        context.setFillColor(backgroundColor_);
        context.fillPath(outline);
    }
    for (const auto& sublayer : layer_.sublayers) {
        if (!sublayer.backgroundColor) continue;
        context.setFillColor(sublayer.backgroundColor);
        context.fillRect(sublayer.frame);
    }
    context.saveGState();
    if (layer_.masksToBounds) context.clipToPath(outline);
    drawContent(context);
    for (const auto& subview : subviews_) subview->render(context);
    context.restoreGState();
    if (layer_.borderWidth > 0 && layer_.borderColor) {
        double inset = layer_.borderWidth / 2;
        auto border = gfx::BezierPath::roundedRect(bounds().insetBy(inset, inset),
                                                   std::max(0.0, layer_.cornerRadius - inset));
        border.lineWidth = layer_.borderWidth;
        context.setStrokeColor(layer_.borderColor);
        context.strokePath(border);
    }
    if (group) context.endTransparencyLayer();
    context.restoreGState();
}

View* View::hitTest(Point point) {
    if (hidden_ || alpha_ < 0.01) return nullptr;
    bool inside = point.x >= 0 && point.y >= 0 && point.x < frame_.size.width && point.y < frame_.size.height;
    if (!inside) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        Rect f = (*it)->frame_;
        if (View* hit = (*it)->hitTest({point.x - f.origin.x, point.y - f.origin.y})) return hit;
    }
    return this;
}

Point View::convertToWindow(Point point) const {
    for (const View* v = this; v; v = v->superview_) {
        if (!v->superview_) break;  // the window's own origin is the screen's
        point.x += v->frame_.origin.x;
        point.y += v->frame_.origin.y;
    }
    return point;
}

void View::animate(double duration, const std::function<void()>& animations, std::function<void(bool)> completion) {
    AnimationScope scope{std::max(0.0, duration), Clock::now()};
    const AnimationScope* outer = currentAnimation;
    currentAnimation = &scope;
    if (animations) animations();
    currentAnimation = outer;
    auto delay = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(scope.duration));
    animationsEnd = std::max(animationsEnd, scope.start + delay);
    if (completion) {
        dispatch::DispatchQueue::main().asyncAfter(delay, [completion = std::move(completion)] { completion(true); });
    }
}

bool animationsRunning() { return Clock::now() < animationsEnd; }

}  // namespace ui
