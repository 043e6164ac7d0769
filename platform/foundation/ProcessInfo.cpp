#include "foundation/ProcessInfo.h"

#include <atomic>
#include <tuple>

namespace foundation {

namespace {
// This platform layer behaves like the newest system release the code knows of.
std::atomic<OperatingSystemVersion> current{OperatingSystemVersion{17, 0, 0}};
}  // namespace

OperatingSystemVersion operatingSystemVersion() { return current.load(); }

bool isOperatingSystemAtLeast(OperatingSystemVersion version) {
    auto now = current.load();
    return std::tie(now.majorVersion, now.minorVersion, now.patchVersion) >=
           std::tie(version.majorVersion, version.minorVersion, version.patchVersion);
}

void setOperatingSystemVersion(OperatingSystemVersion version) { current.store(version); }

}  // namespace foundation
