#pragma once
// View controllers: own a view made on first use, get life-cycle calls, hold child
// controllers and present other controllers (alerts) over the window.

#include "ui/View.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class ViewController : public std::enable_shared_from_this<ViewController> {
public:
    ViewController() = default;
    virtual ~ViewController() = default;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // Loads the view on first use (loadView, then viewDidLoad).
    std::shared_ptr<View> view();
    bool isViewLoaded() const { return view_ != nullptr; }

    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}

    const std::vector<std::shared_ptr<ViewController>>& children() const { return children_; }
    ViewController* parent() const { return parent_; }
    void addChild(std::shared_ptr<ViewController> child);
    void removeFromParent();

    // Shows `controller` over this one's window; `animated` fades it in.
    void present(std::shared_ptr<ViewController> controller, bool animated, std::function<void()> completion = {});
    void dismiss(bool animated, std::function<void()> completion = {});
    ViewController* presentedViewController() const { return presented_.get(); }
    ViewController* presentingViewController() const { return presenting_; }

    // One layout pass over this controller, its children and what it presents.
    void runLayoutPass();

protected:
    void setView(std::shared_ptr<View> view) { view_ = std::move(view); }

private:
    std::shared_ptr<View> view_;
    std::vector<std::shared_ptr<ViewController>> children_;
    ViewController* parent_ = nullptr;
    std::shared_ptr<ViewController> presented_;
    ViewController* presenting_ = nullptr;
};

// A stack of controllers whose top one is shown.
class NavigationController : public ViewController {
public:
    explicit NavigationController(std::shared_ptr<ViewController> root);
    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
    void loadView() override;

private:
    std::vector<std::shared_ptr<ViewController>> stack_;
};

enum class AlertControllerStyle { actionSheet, alert };
enum class AlertActionStyle { defaultStyle, cancel, destructive };

struct AlertAction {
    std::string title;
    AlertActionStyle style = AlertActionStyle::defaultStyle;
    std::function<void(const AlertAction&)> handler;
};

class AlertController : public ViewController {
public:
    AlertController(std::string title, std::string message, AlertControllerStyle style);

    const std::string& title() const { return title_; }
    const std::string& message() const { return message_; }
    AlertControllerStyle preferredStyle() const { return style_; }
    void addAction(AlertAction action) { actions_.push_back(std::move(action)); }
    const std::vector<AlertAction>& actions() const { return actions_; }

    // Dismisses the alert and runs the action's handler (what a tap on it does).
    void choose(std::size_t index);

    void loadView() override;
    void viewWillLayoutSubviews() override;

private:
    std::string title_;
    std::string message_;
    AlertControllerStyle style_;
    std::vector<AlertAction> actions_;
    std::shared_ptr<View> box_;
};

}  // namespace ui
