#include "style/interface/ViewHelpers.h"

#include "style/interface/StyleDefinitions.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace style {

using gfx::Rect;

gfx::Point origin(const ui::View& view) { return view.frame().origin; }
void setOrigin(ui::View& view, gfx::Point origin) { view.setFrame({origin, view.frame().size}); }
double x(const ui::View& view) { return view.frame().origin.x; }
void setX(ui::View& view, double value) {
    Rect f = view.frame();
    f.origin.x = value;
    view.setFrame(f);
}
double y(const ui::View& view) { return view.frame().origin.y; }
void setY(ui::View& view, double value) {
    Rect f = view.frame();
    f.origin.y = value;
    view.setFrame(f);
}
gfx::Size size(const ui::View& view) { return view.frame().size; }
void setSize(ui::View& view, gfx::Size size) { view.setFrame({view.frame().origin, size}); }
double width(const ui::View& view) { return view.frame().size.width; }
void setWidth(ui::View& view, double value) { setSize(view, {value, height(view)}); }
double height(const ui::View& view) { return view.frame().size.height; }
void setHeight(ui::View& view, double value) { setSize(view, {width(view), value}); }
double bottom(const ui::View& view) { return y(view) + height(view); }
void setBottom(ui::View& view, double value) { setHeight(view, value - y(view)); }
double right(const ui::View& view) { return x(view) + width(view); }
void setRight(ui::View& view, double value) { setWidth(view, value - x(view)); }

void centerInSuperview(ui::View& view, bool horizontally, bool vertically) {
    const ui::View* parent = view.superview();
    if (!parent) return;
    if (horizontally) setX(view, (width(*parent) - width(view)) / 2);
    if (vertically) setY(view, (height(*parent) - height(view)) / 2);
}

namespace {
// The window of the application delegate, when the delegate keeps one.
std::shared_ptr<ui::Window> delegateWindow(bool& answers) {
    ui::ApplicationDelegate* delegate = ui::Application::shared().delegate();
    answers = delegate && delegate->respondsToWindow();
    return answers ? delegate->window() : nullptr;
}
}  // namespace

ui::EdgeInsets topInset() {
    bool answers = false;
    auto window = delegateWindow(answers);
    if (answers) return window ? window->safeAreaInsets() : ui::EdgeInsets{};
    return {ui::Application::shared().statusBarFrame().size.height, 0, 0, 0};
}

void centerBelowTopInset(ui::View& view) {
    const ui::View* parent = view.superview();
    if (!parent) return;
    double top = topInset().top;
    setY(view, top + (height(*parent) - top - height(view)) / 2);
}

void placeBelowTopInset(ui::View& view, double offset) {
    double top = topInset().top;
    if (top > 0) setY(view, top + offset);
}

void placeBelowWindowTopInset(ui::View& view, double offset) {
    bool answers = false;
    auto window = delegateWindow(answers);
    if (window && window->safeAreaInsets().top > 0) setY(view, window->safeAreaInsets().top + offset);
}

void alignAboveBottomInset(ui::View& view) {
    bool answers = false;
    auto window = delegateWindow(answers);
    const ui::View* parent = view.superview();
    if (!window || !parent) return;
    double inset = window->safeAreaInsets().bottom;
    if (inset > 0) setY(view, height(*parent) - height(view) - inset);
}

void clampWidth(ui::View& view, double maximum, double minimum) {
    if (width(view) < minimum)
        setWidth(view, minimum);
    else if (width(view) >= maximum)
        setWidth(view, maximum);
}

void limitWidth(ui::View& view, const std::vector<ui::View*>& subviews, bool flexibleMargins) {
    clampWidth(view, 600, 0);
    centerInSuperview(view, true, false);
    if (flexibleMargins) view.setAutoresizingMask(ui::flexibleLeftMargin | ui::flexibleRightMargin);
    double limit = width(view) - 80;
    for (ui::View* subview : subviews) {
        if (!subview) continue;
        if (width(*subview) < 0)
            setWidth(*subview, 0);
        else if (width(*subview) >= limit)
            setWidth(*subview, limit);
        if (flexibleMargins) subview->setAutoresizingMask(ui::flexibleLeftMargin | ui::flexibleRightMargin);
        centerInSuperview(*subview, true, false);
    }
}

void addBorder(ui::View& view, const std::vector<ViewSide>& sides, gfx::ColorRef color, double thickness) {
    // The border rectangles are taken from the view's frame, as the kit always placed them.
    Rect f = view.frame().standardized();
    for (ViewSide side : sides) {
        Rect r;
        switch (side) {
        case ViewSide::left: r = {f.minX(), f.minY(), thickness, f.height()}; break;
        case ViewSide::right: r = {f.maxX(), f.minY(), thickness, f.height()}; break;
        case ViewSide::top: r = {f.minX(), f.minY(), f.width(), thickness}; break;
        case ViewSide::bottom: r = {f.minX(), f.maxY(), f.width(), thickness}; break;
        }
        view.layer().sublayers.push_back({r, color});
    }
    view.layerDidChange();
}

void roundCorners(ui::View& view, unsigned corners, double radius) {
    view.layer().mask = gfx::BezierPath::roundedRect(view.bounds(), corners, {radius, radius});
    view.layerDidChange();
}

gfx::ImageRef snapshotImage(const ui::View& view) {
    gfx::ImageContextScope scope(view.bounds().size);
    if (gfx::Context* context = gfx::currentContext()) {
        context->saveGState();
        context->translate(-x(view), -y(view));  // render() draws at the frame's origin
        view.render(*context);
        context->restoreGState();
    }
    return scope.image();
}

bool supportsMultipleOrientations() {
    bool answers = false;
    auto window = delegateWindow(answers);
    if (!answers) return false;
    unsigned mask = ui::Application::shared().supportedInterfaceOrientations(window.get());
    int count = 0;
    for (unsigned o : {ui::orientationPortrait, ui::orientationLandscapeLeft, ui::orientationLandscapeRight,
                       ui::orientationPortraitUpsideDown})
        count += (mask & o) ? 1 : 0;
    return count >= 2;
}

void replaceChild(ui::ViewController& controller, std::shared_ptr<ui::ViewController> child, bool animated) {
    auto previous = controller.children();
    auto childView = child->view();
    childView->setAlpha(0);
    controller.view()->addSubview(childView);
    controller.addChild(child);
    ui::View::animate(animated ? 0.3 : 0, [&] { childView->setAlpha(1); },
                      [previous](bool) { removeChildren(previous); });
}

void removeChildren(const std::vector<std::shared_ptr<ui::ViewController>>& children) {
    for (const auto& child : children)
        if (child->isViewLoaded()) child->view()->removeFromSuperview();
    for (const auto& child : children) child->removeFromParent();
}

void applyBackground(ui::ViewController& controller) {
    controller.view()->setBackgroundColor(StyleDefinitions::colorGrey1());
}

std::shared_ptr<ui::NavigationController> embedInNavigationController(std::shared_ptr<ui::ViewController> controller) {
    return std::make_shared<ui::NavigationController>(std::move(controller));
}

void observeKeyboard(ui::ViewController& controller, foundation::NotificationCenter::Callback willShow,
                     foundation::NotificationCenter::Callback willHide) {
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(&controller, std::move(willShow), ui::keyboardWillShowNotification);
    center.addObserver(&controller, std::move(willHide), ui::keyboardWillHideNotification);
}

void removeKeyboardObservers(ui::ViewController& controller) {
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.removeObserver(&controller, ui::keyboardWillShowNotification);
    center.removeObserver(&controller, ui::keyboardWillHideNotification);
}

void removeAllObservers(ui::ViewController& controller) {
    foundation::NotificationCenter::defaultCenter().removeObserver(&controller);
}

void applyCellStyle(ui::TableViewCell& cell) {
    if (auto label = cell.textLabel()) {
        label->setFont(StyleDefinitions::fontRegular());
        label->setTextColor(StyleDefinitions::colorGrey5());
    }
    if (auto detail = cell.detailTextLabel()) {
        detail->setFont(StyleDefinitions::fontRegular());
        detail->setTextColor(StyleDefinitions::colorGrey3());
    }
}

namespace {

struct Associated {
    std::weak_ptr<void> unowned;
    std::shared_ptr<void> owned;
};

// Keyed by the object's shared ownership rather than its address: an object made
// later at a freed one's address has another key.
std::mutex associatedMutex;
std::map<std::weak_ptr<const void>, Associated, std::owner_less<>> associatedStore;

// Under the lock: moves the entries of objects that are gone, and `object`'s entry
// when it holds nothing, to `released`, which the caller lets go after the lock,
// since a value's destructor may use the store itself.
void dropUnused(const std::shared_ptr<const void>& object, std::vector<Associated>& released) {
    for (auto it = associatedStore.begin(); it != associatedStore.end();) {
        const bool unused = it->first.expired() ||
                            (!it->first.owner_before(object) && !object.owner_before(it->first) &&
                             it->second.unowned.expired() && !it->second.owned);
        if (unused) {
            released.push_back(std::move(it->second));
            it = associatedStore.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace

std::shared_ptr<void> associatedValue(const std::shared_ptr<const void>& object) {
    std::vector<Associated> released;
    std::lock_guard lock(associatedMutex);
    dropUnused(object, released);
    auto it = associatedStore.find(object);
    return it == associatedStore.end() ? nullptr : it->second.unowned.lock();
}

void setAssociatedValue(const std::shared_ptr<const void>& object, const std::shared_ptr<void>& value) {
    std::vector<Associated> released;
    std::lock_guard lock(associatedMutex);
    associatedStore[object].unowned = value;
    dropUnused(object, released);
}

std::shared_ptr<void> retainedAssociatedValue(const std::shared_ptr<const void>& object) {
    std::vector<Associated> released;
    std::lock_guard lock(associatedMutex);
    dropUnused(object, released);
    auto it = associatedStore.find(object);
    return it == associatedStore.end() ? nullptr : it->second.owned;
}

void setRetainedAssociatedValue(const std::shared_ptr<const void>& object, std::shared_ptr<void> value) {
    std::vector<Associated> released;
    std::lock_guard lock(associatedMutex);
    auto& owned = associatedStore[object].owned;
    released.push_back({{}, std::exchange(owned, std::move(value))});
    dropUnused(object, released);
}

}  // namespace style
