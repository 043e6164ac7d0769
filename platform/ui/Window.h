#pragma once
// A window: the root of a view tree, shown by a screen. It lays its controllers
// out before it is drawn and tells its screen when it needs drawing.

#include "graphics/Image.h"
#include "ui/View.h"

#include <functional>
#include <memory>

namespace ui {

class ViewController;

class Window : public View {
public:
    explicit Window(Rect frame);
    ~Window() override;

    std::shared_ptr<ViewController> rootViewController() const { return root_; }
    void setRootViewController(std::shared_ptr<ViewController> controller);

    // Makes this the application's key window and shows it on the screen.
    void makeKeyAndVisible();
    bool isKeyWindow() const;

    // Called by views: something changed (and, with `layout`, needs a layout pass).
    void screenNeedsDisplay(bool layout);
    // The screen's hook, run after every change (at most once per change).
    void setDisplayHandler(std::function<void()> handler) { displayHandler_ = std::move(handler); }

    // Runs the controllers' layout callbacks when something asked for layout.
    void layoutIfNeeded();
    // Lays out, then draws the window into a new image of its size.
    gfx::ImageRef snapshot(double scale = 0);

private:
    std::shared_ptr<ViewController> root_;
    std::function<void()> displayHandler_;
    bool needsLayout_ = true;
    bool inLayout_ = false;
};

}  // namespace ui
