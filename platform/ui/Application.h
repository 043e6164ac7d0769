#pragma once
// The application object, its delegates and the process entry that runs it: scenes
// get a window whose root controller the app's layout makes, shown on a screen
// (an SDL window with a display, else a PNG file written after every change).

#include "ui/Window.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class UserInterfaceIdiom { phone, pad };

enum InterfaceOrientationMask : unsigned {
    orientationPortrait = 1 << 1,
    orientationPortraitUpsideDown = 1 << 2,
    orientationLandscapeRight = 1 << 3,
    orientationLandscapeLeft = 1 << 4,
};

inline constexpr const char* sceneRoleApplication = "UIWindowSceneSessionRoleApplication";

struct SceneSession {
    std::string role = sceneRoleApplication;
};

struct SceneConfiguration {
    std::string name;
    std::string role;
};

class Application;

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual bool didFinishLaunching(Application&) { return true; }
    virtual SceneConfiguration configurationForConnectingSceneSession(Application&, const SceneSession& session) {
        return {"Default Configuration", session.role};
    }
    virtual void didDiscardSceneSessions(Application&) {}
    // Delegates that keep a window answer true and give it.
    virtual bool respondsToWindow() const { return false; }
    virtual std::shared_ptr<Window> window() const { return nullptr; }
};

class SceneDelegate {
public:
    virtual ~SceneDelegate() = default;
    virtual void willConnectToSession(const SceneSession&) {}
    virtual void didDisconnect() {}
    virtual void didBecomeActive() {}
    virtual void willResignActive() {}
    virtual void willEnterForeground() {}
    virtual void didEnterBackground() {}

    std::shared_ptr<Window> window;
};

// Where a scene configuration's window and controllers come from.
struct SceneDescription {
    std::function<std::shared_ptr<SceneDelegate>()> makeDelegate;
    std::function<std::shared_ptr<class ViewController>()> makeInitialController;  // the layout
};

// The application's own notification names.
inline constexpr const char* didEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* willEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* keyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* keyboardWillHideNotification = "UIKeyboardWillHideNotification";

class Application {
public:
    static Application& shared();

    ApplicationDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
    Window* keyWindow() const { return keyWindow_; }
    void setKeyWindow(Window* window) { keyWindow_ = window; }

    UserInterfaceIdiom userInterfaceIdiom() const { return idiom_; }
    void setUserInterfaceIdiom(UserInterfaceIdiom idiom) { idiom_ = idiom; }
    // Size of the screen the windows fill; layouts made in code read it at load.
    Size screenSize() const { return screenSize_; }
    void setScreenSize(Size size) { screenSize_ = size; }
    Rect statusBarFrame() const { return statusBar_; }
    void setStatusBarFrame(Rect frame) { statusBar_ = frame; }
    // From the delegate's window's orientations, or Info.plist: portrait.
    unsigned supportedInterfaceOrientations(const Window* window) const;
    void setSupportedInterfaceOrientations(unsigned mask) { orientations_ = mask; }

    // Hands the address to the URL opener (the desktop's, with a display); the
    // completion gets whether it was opened. Every address asked for is recorded.
    void openURL(const std::string& url, const std::map<std::string, std::string>& options,
                 std::function<void(bool)> completion);
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    void setURLOpener(std::function<bool(const std::string&)> opener) { urlOpener_ = std::move(opener); }

private:
    std::shared_ptr<ApplicationDelegate> delegate_;
    Window* keyWindow_ = nullptr;
    UserInterfaceIdiom idiom_ = UserInterfaceIdiom::phone;
    Size screenSize_{390, 844};
    Rect statusBar_{0, 0, 390, 47};
    unsigned orientations_ = orientationPortrait;
    std::vector<std::string> openedURLs_;
    std::function<bool(const std::string&)> urlOpener_;
};

// Shared text clipboard: the system's with a display, else in memory.
class Pasteboard {
public:
    static Pasteboard& general();
    std::optional<std::string> string() const;
    void setString(const std::string& text);
    // The screen puts the system clipboard behind the pasteboard.
    void setBackend(std::function<std::optional<std::string>()> read, std::function<void(const std::string&)> write);

private:
    std::optional<std::string> text_;
    std::function<std::optional<std::string>()> read_;
    std::function<void(const std::string&)> write_;
};

struct LaunchDescription {
    std::function<std::shared_ptr<ApplicationDelegate>()> makeDelegate;
    std::map<std::string, SceneDescription> scenes;  // by configuration name
};

// The process entry's application main: parses the screen flags (see --help),
// creates the delegate, launches, connects the scene and runs the main loop
// until the window is closed or the process is told to stop. Returns an exit code.
int applicationMain(int argc, char** argv, const LaunchDescription& launch);

// Connects one scene as the system does at launch, without a screen (tests).
std::shared_ptr<SceneDelegate> connectScene(const LaunchDescription& launch, Size windowSize);

}  // namespace ui
