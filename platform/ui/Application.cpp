#include "ui/Application.h"

#include "foundation/NotificationCenter.h"
#include "ui/ViewController.h"

#include <algorithm>

namespace ui {

// ---- Application -----------------------------------------------------------------

Application& Application::shared() {
    static Application application;
    return application;
}

unsigned Application::supportedInterfaceOrientations(const Window*) const { return orientations_; }

void Application::openURL(const std::string& url, const std::map<std::string, std::string>&,
                          std::function<void(bool)> completion) {
    openedURLs_.push_back(url);
    bool opened = urlOpener_ ? urlOpener_(url) : false;
    if (completion) completion(opened);
}

// ---- Pasteboard ------------------------------------------------------------------

Pasteboard& Pasteboard::general() {
    static Pasteboard pasteboard;
    return pasteboard;
}

std::optional<std::string> Pasteboard::string() const { return read_ ? read_() : text_; }

void Pasteboard::setString(const std::string& text) {
    text_ = text;
    if (write_) write_(text);
}

void Pasteboard::setBackend(std::function<std::optional<std::string>()> read,
                            std::function<void(const std::string&)> write) {
    read_ = std::move(read);
    write_ = std::move(write);
}


// ---- Scenes ----------------------------------------------------------------------

std::shared_ptr<SceneDelegate> connectScene(const LaunchDescription& launch, Size windowSize) {
    auto& app = Application::shared();
    SceneSession session;
    SceneConfiguration configuration = app.delegate()
                                           ? app.delegate()->configurationForConnectingSceneSession(app, session)
                                           : SceneConfiguration{"Default Configuration", session.role};
    auto description = launch.scenes.find(configuration.name);
    if (description == launch.scenes.end()) return nullptr;
    auto delegate = description->second.makeDelegate ? description->second.makeDelegate()
                                                      : std::make_shared<SceneDelegate>();
    auto window = std::make_shared<Window>(Rect{{0, 0}, windowSize});
    if (description->second.makeInitialController)
        window->setRootViewController(description->second.makeInitialController());
    delegate->window = window;
    window->makeKeyAndVisible();
    delegate->willConnectToSession(session);
    delegate->didBecomeActive();
    return delegate;
}

}  // namespace ui
