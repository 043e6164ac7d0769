#include "ui/Application.h"

#include "ui/NotificationCenter.h"
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

// ---- Notification centre ---------------------------------------------------------

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void* observer, Callback callback, const std::string& name,
                                     const void* object) {
    std::lock_guard lock(mutex_);
    entries_.push_back({observer, std::move(callback), name, object});
}

void NotificationCenter::removeObserver(const void* observer) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const std::string& name) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.observer == observer && e.name == name; });
}

void NotificationCenter::post(const std::string& name, const void* object) {
    std::vector<Callback> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_)
            if (e.name == name && (!e.object || e.object == object)) matching.push_back(e.callback);
    }
    // Called without the lock, so observers may register or remove themselves.
    Notification notification{name, object};
    for (const auto& callback : matching) callback(notification);
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
