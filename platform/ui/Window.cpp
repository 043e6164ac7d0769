#include "ui/Window.h"

#include "graphics/CairoContext.h"
#include "ui/Application.h"
#include "ui/ViewController.h"

namespace ui {

Window::Window(Rect frame) : View(frame) {}

Window::~Window() {
    if (Application::shared().keyWindow() == this) Application::shared().setKeyWindow(nullptr);
}

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
    if (root_ && root_->isViewLoaded()) root_->view()->removeFromSuperview();
    root_ = std::move(controller);
    if (!root_) return;
    auto view = root_->view();
    view->setFrame(bounds());
    addSubview(view);
}

void Window::makeKeyAndVisible() {
    Application::shared().setKeyWindow(this);
    screenNeedsDisplay(true);
}

bool Window::isKeyWindow() const { return Application::shared().keyWindow() == this; }

void Window::screenNeedsDisplay(bool layout) {
    if (layout && !inLayout_) needsLayout_ = true;
    if (displayHandler_ && !inLayout_) displayHandler_();
}

void Window::layoutIfNeeded() {
    if (!needsLayout_ || !root_) return;
    needsLayout_ = false;
    // Changes made by the layout callbacks themselves ask for no further pass.
    inLayout_ = true;
    root_->runLayoutPass();
    inLayout_ = false;
}

gfx::ImageRef Window::snapshot(double scale) {
    layoutIfNeeded();
    gfx::ImageContextScope scope(frame().size, false, scale);
    if (gfx::Context* context = gfx::currentContext()) {
        context->saveGState();
        context->translate(-frame().origin.x, -frame().origin.y);
        render(*context);
        context->restoreGState();
    }
    return scope.image();
}

}  // namespace ui
