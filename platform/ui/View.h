#pragma once
// Views: a tree of rectangles in points (y down) with a background, transparency,
// decoration and content, drawn through the graphics layer. Model values change at
// once; an animation block only changes how the screen shows the change of alpha.

#include "graphics/BezierPath.h"
#include "graphics/Color.h"
#include "graphics/Context.h"
#include "graphics/Geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ui {

using gfx::ColorRef;
using gfx::Point;
using gfx::Rect;
using gfx::Size;

class Window;

// Plain decoration drawn above the view's background: extra coloured rectangles
// and an optional mask path in the view's own coordinates.
struct Layer {
    double cornerRadius = 0;
    double borderWidth = 0;
    ColorRef borderColor;
    bool masksToBounds = false;
    struct Sublayer {
        Rect frame;
        ColorRef backgroundColor;
    };
    std::vector<Sublayer> sublayers;
    std::optional<gfx::BezierPath> mask;
};

enum AutoresizingMask : unsigned {
    autoresizingNone = 0,
    flexibleLeftMargin = 1,
    flexibleWidth = 2,
    flexibleRightMargin = 4,
    flexibleTopMargin = 8,
    flexibleHeight = 16,
    flexibleBottomMargin = 32,
};

struct EdgeInsets {
    double top = 0, left = 0, bottom = 0, right = 0;
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

class View : public std::enable_shared_from_this<View> {
public:
    explicit View(Rect frame = {});
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    Rect frame() const { return frame_; }
    void setFrame(Rect frame);
    Rect bounds() const { return {0, 0, frame_.size.width, frame_.size.height}; }

    double alpha() const { return alpha_; }
    void setAlpha(double alpha);  // animatable
    // The alpha the screen shows now, part way through an animation.
    double presentationAlpha() const;

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);

    ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(ColorRef color);

    // Own tint, else the superview's, else the app-wide default.
    ColorRef tintColor() const;
    void setTintColor(ColorRef color);
    static ColorRef appearanceTintColor();
    static void setAppearanceTintColor(ColorRef color);

    Layer& layer() { return layer_; }
    const Layer& layer() const { return layer_; }
    void layerDidChange() { setNeedsDisplay(); }
    bool clipsToBounds() const { return layer_.masksToBounds; }
    void setClipsToBounds(bool clips);

    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    EdgeInsets safeAreaInsets() const { return safeAreaInsets_; }
    void setSafeAreaInsets(EdgeInsets insets) { safeAreaInsets_ = insets; }

    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    View* superview() const { return superview_; }
    void addSubview(std::shared_ptr<View> view);
    void removeFromSuperview();
    Window* window() const;

    virtual Size sizeThatFits(Size size) const { return size.width == 0 && size.height == 0 ? frame_.size : size; }
    void sizeToFit();

    // Asks the screen to draw again / to lay the window out before it draws.
    void setNeedsDisplay() const;
    void setNeedsLayout() const;

    // Draws the view and its subviews into the current context; the caller has
    // moved the origin to the view's superview.
    void render(gfx::Context& context) const;
    // The deepest visible view under a point of this view's coordinates.
    virtual View* hitTest(Point point);
    // Position of a point of this view in window coordinates.
    Point convertToWindow(Point point) const;

    // Animates the alpha changes made by `animations` over `duration` seconds; the
    // completion runs on the main queue when the animation ends (also for 0 s).
    static void animate(double duration, const std::function<void()>& animations,
                        std::function<void(bool)> completion = {});

protected:
    // Content between background and subviews, in the view's own coordinates.
    virtual void drawContent(gfx::Context&) const {}

private:
    struct AlphaAnimation;

    Rect frame_;
    double alpha_ = 1;
    std::shared_ptr<AlphaAnimation> animation_;
    bool hidden_ = false;
    ColorRef backgroundColor_;
    ColorRef tintColor_;
    Layer layer_;
    unsigned autoresizingMask_ = autoresizingNone;
    EdgeInsets safeAreaInsets_;
    std::vector<std::shared_ptr<View>> subviews_;
    View* superview_ = nullptr;
};

// True while an animation is drawing on the screen.
bool animationsRunning();

// Tells a screen when it owes a frame: through a running animation and once
// more after the last one ends, so the final state always reaches the screen
// even when a frame straddles the animation's end.
class FramePacer {
public:
    // Call just before drawing; true when another frame must follow this one,
    // because an animation is running and this frame may not be its last state.
    bool beginFrame() {
        followUp_ = animationsRunning();
        return followUp_;
    }
    // True when a frame is owed though nothing changed.
    bool frameOwed() const { return followUp_ || animationsRunning(); }

private:
    bool followUp_ = false;
};

}  // namespace ui
