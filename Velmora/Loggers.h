#pragma once
// The extension's log handles: subsystem "com.brimvale.ios-dns-client.ext", one
// category each, created on first use and kept for the life of the process.

#include "log/Log.h"

inline constexpr const char* extensionLogSubsystem = "com.brimvale.ios-dns-client.ext";

const oslog::Logger& extLogger();
const oslog::Logger& extConfigLogger();
const oslog::Logger& probeLogger();
const oslog::Logger& dnsFlowLogger();
const oslog::Logger& verdictFlowLogger();
const oslog::Logger& passthroughFlowLogger();
const oslog::Logger& connectionLogger();
const oslog::Logger& cookieLogger();
const oslog::Logger& reportingLogger();
