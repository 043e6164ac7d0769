#include "ui/ViewController.h"

#include "graphics/Color.h"
#include "ui/Controls.h"
#include "ui/Window.h"

#include <algorithm>

namespace ui {

std::shared_ptr<View> ViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) view_ = std::make_shared<View>();
        viewDidLoad();
    }
    return view_;
}

void ViewController::loadView() { view_ = std::make_shared<View>(Rect{0, 0, 390, 844}); }

void ViewController::addChild(std::shared_ptr<ViewController> child) {
    if (!child || child.get() == this) return;
    child->removeFromParent();
    child->parent_ = this;
    children_.push_back(std::move(child));
}

void ViewController::removeFromParent() {
    ViewController* parent = parent_;
    if (!parent) return;
    parent_ = nullptr;
    auto self = std::find_if(parent->children_.begin(), parent->children_.end(),
                             [this](const auto& c) { return c.get() == this; });
    if (self != parent->children_.end()) parent->children_.erase(self);  // may destroy this controller
}

void ViewController::present(std::shared_ptr<ViewController> controller, bool animated,
                             std::function<void()> completion) {
    Window* window = view()->window();
    if (!controller || presented_ || !window) return;  // one at a time, and only when shown
    presented_ = controller;
    controller->presenting_ = this;
    auto shown = controller->view();
    shown->setFrame(window->bounds());
    if (animated) shown->setAlpha(0);
    window->addSubview(shown);
    View::animate(animated ? 0.3 : 0, [&] { shown->setAlpha(1); },
                  [completion = std::move(completion)](bool) {
                      if (completion) completion();
                  });
}

void ViewController::dismiss(bool, std::function<void()> completion) {
    // Asked of the presented controller, it dismisses itself.
    ViewController* presenter = presented_ ? this : presenting_;
    if (!presenter || !presenter->presented_) return;
    auto presented = std::move(presenter->presented_);
    presented->presenting_ = nullptr;
    if (presented->isViewLoaded()) presented->view()->removeFromSuperview();
    if (completion) completion();
}

void ViewController::runLayoutPass() {
    if (!view_) return;
    viewWillLayoutSubviews();
    viewDidLayoutSubviews();
    for (const auto& child : std::vector(children_)) child->runLayoutPass();
    if (presented_) presented_->runLayoutPass();
}

NavigationController::NavigationController(std::shared_ptr<ViewController> root) {
    if (root) {
        stack_.push_back(root);
        addChild(std::move(root));
    }
}

void NavigationController::loadView() {
    ViewController::loadView();
    if (stack_.empty()) return;
    auto top = stack_.back()->view();
    top->setFrame(view()->bounds());
    view()->addSubview(top);
}

AlertController::AlertController(std::string title, std::string message, AlertControllerStyle style)
    : title_(std::move(title)), message_(std::move(message)), style_(style) {}

void AlertController::choose(std::size_t index) {
    if (index >= actions_.size()) return;
    AlertAction action = actions_[index];
    auto keepAlive = weak_from_this().lock();  // a handler may release the alert
    dismiss(true);
    if (action.handler) action.handler(action);
}

// A dimmed backdrop with a white box: title, message and one button per action.
void AlertController::loadView() {
    auto backdrop = std::make_shared<View>(Rect{0, 0, 390, 844});
    backdrop->setBackgroundColor(gfx::Color::rgba(0, 0, 0, 0.4));
    box_ = std::make_shared<View>();
    box_->setBackgroundColor(gfx::Color::rgba(0.97, 0.97, 0.97, 1));
    box_->layer().cornerRadius = 14;
    box_->setClipsToBounds(true);
    backdrop->addSubview(box_);

    auto addLabel = [&](const std::string& text, const char* font, double size) {
        auto label = std::make_shared<Label>();
        label->setText(text);
        label->setFont(Font::named(font, size));
        label->setNumberOfLines(0);
        label->setTextAlignment(TextAlignment::center);
        box_->addSubview(label);
    };
    addLabel(title_, "Lato-Bold", 17);
    addLabel(message_, "Lato-Regular", 13);
    for (std::size_t i = 0; i < actions_.size(); ++i) {
        auto button = std::make_shared<Button>();
        button->setTitle(actions_[i].title, stateNormal);
        button->titleLabel()->setFont(Font::named(
            actions_[i].style == AlertActionStyle::cancel ? "Lato-Bold" : "Lato-Regular", 17));
        if (actions_[i].style == AlertActionStyle::destructive)
            button->setTitleColor(gfx::Color::rgba(1, 0.23, 0.19, 1), stateNormal);
        button->layer().borderColor = gfx::Color::rgba(0.8, 0.8, 0.8, 1);
        button->addAction([this, i] { choose(i); });
        box_->addSubview(button);
    }
    setView(backdrop);
}

void AlertController::viewWillLayoutSubviews() {
    auto backdrop = view();
    double width = 270;
    double y = 20;
    bool firstButton = true;
    for (const auto& subview : box_->subviews()) {
        if (auto label = std::dynamic_pointer_cast<Label>(subview)) {
            Size fitting = label->sizeThatFits({width - 32, 0});
            label->setFrame({16, y, width - 32, fitting.height});
            y += fitting.height + 6;
        } else {
            if (firstButton) y += 14;
            firstButton = false;
            subview->setFrame({0, y, width, 44});
            y += 44;
        }
    }
    Rect area = backdrop->bounds();
    box_->setFrame({(area.size.width - width) / 2, (area.size.height - y) / 2, width, y});
}

}  // namespace ui
