#include "foundation/ProcessInfo.h"

#include <mutex>
#include <tuple>

namespace foundation {

namespace {
std::mutex versionMutex;
// This platform layer behaves like the newest system release the code knows of.
OperatingSystemVersion current{17, 0, 0};
}  // namespace

OperatingSystemVersion operatingSystemVersion() {
    std::lock_guard lock(versionMutex);
    return current;
}

bool isOperatingSystemAtLeast(OperatingSystemVersion version) {
    auto now = operatingSystemVersion();
    return std::tie(now.majorVersion, now.minorVersion, now.patchVersion) >=
           std::tie(version.majorVersion, version.minorVersion, version.patchVersion);
}

void setOperatingSystemVersion(OperatingSystemVersion version) {
    std::lock_guard lock(versionMutex);
    current = version;
}

}  // namespace foundation
