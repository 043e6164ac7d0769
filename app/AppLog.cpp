#include "AppLog.h"

namespace app {

// The loggers are never destroyed: the app may still log while the process ends.

const oslog::Logger& appLogger() {
    static const oslog::Logger& logger = *new oslog::Logger(logSubsystem, "app");
    return logger;
}

const oslog::Logger& uiLogger() {
    static const oslog::Logger& logger = *new oslog::Logger(logSubsystem, "ui");
    return logger;
}

const oslog::Logger& appConfigLogger() {
    static const oslog::Logger& logger = *new oslog::Logger(logSubsystem, "appconfig");
    return logger;
}

std::string optionalDescription(const ne::ManagerError& error) {
    return "Optional(" + error.debugDescription() + ")";
}

}  // namespace app
