#pragma once
// The host app's log handles, each made on first use and kept for the process.

#include "log/Log.h"
#include "networkextension/DNSProxyManager.h"

#include <string>

namespace app {

inline constexpr const char* logSubsystem = "com.brimvale.ios-dns-client";

const oslog::Logger& appLogger();        // enabling of the DNS proxy
const oslog::Logger& uiLogger();         // the status screen's reload cycle
const oslog::Logger& appConfigLogger();  // seeding of the settings store

// An error as the log shows an optional error value: "Optional(<debug description>)".
std::string optionalDescription(const ne::ManagerError& error);

}  // namespace app
