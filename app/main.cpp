// The host app's process entry.

#include "AppDelegate.h"
#include "MainViewController.h"

int main(int argc, char** argv) {
    ui::LaunchDescription launch;
    launch.makeDelegate = [] { return std::make_shared<app::AppDelegate>(); };
    launch.scenes[app::sceneConfigurationName] = {
        [] { return std::make_shared<app::SceneDelegate>(); },
        [] { return std::make_shared<app::MainViewController>(); },
    };
    // Non-zero only when the app could not start (for example without its settings store).
    return ui::applicationMain(argc, argv, launch);
}
