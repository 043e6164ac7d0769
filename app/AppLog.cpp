#include "AppLog.h"

namespace app {

const oslog::Logger& appLogger() {
    static const oslog::Logger logger(logSubsystem, "app");
    return logger;
}

const oslog::Logger& uiLogger() {
    static const oslog::Logger logger(logSubsystem, "ui");
    return logger;
}

const oslog::Logger& appConfigLogger() {
    static const oslog::Logger logger(logSubsystem, "appconfig");
    return logger;
}

std::string optionalDescription(const ne::ManagerError& error) {
    return "Optional(" + error.debugDescription() + ")";
}

}  // namespace app
