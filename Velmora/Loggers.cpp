#include "Velmora/Loggers.h"

// Never destroyed: threads and tasks may still log while the process ends.
#define VELMORA_LOGGER(name, category)                                                      \
    const oslog::Logger& name() {                                                           \
        static const oslog::Logger& logger = *new oslog::Logger(extensionLogSubsystem, category); \
        return logger;                                                                      \
    }

VELMORA_LOGGER(extLogger, "ext")
VELMORA_LOGGER(extConfigLogger, "extconfig")
VELMORA_LOGGER(probeLogger, "probe")
VELMORA_LOGGER(dnsFlowLogger, "dnsflow")
VELMORA_LOGGER(verdictFlowLogger, "verdictflow")
VELMORA_LOGGER(passthroughFlowLogger, "passthroughflow")
VELMORA_LOGGER(connectionLogger, "connection")
VELMORA_LOGGER(cookieLogger, "cookie")
VELMORA_LOGGER(reportingLogger, "reporting")
