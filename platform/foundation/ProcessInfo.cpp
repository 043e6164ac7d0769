#include "foundation/ProcessInfo.h"

#include <atomic>
#include <cstdint>

namespace foundation {

namespace {

// One word, so that a query's check of the version takes no lock: 16 bits a part.
std::uint64_t packed(OperatingSystemVersion version) {
    auto part = [](int value) { return static_cast<std::uint64_t>(static_cast<std::uint16_t>(value)); };
    return part(version.majorVersion) << 32 | part(version.minorVersion) << 16 | part(version.patchVersion);
}

// This platform layer behaves like the newest system release the code knows of.
std::atomic<std::uint64_t> current{packed({17, 0, 0})};

}  // namespace

OperatingSystemVersion operatingSystemVersion() {
    const std::uint64_t word = current.load(std::memory_order_relaxed);
    return {static_cast<int>(word >> 32 & 0xffff), static_cast<int>(word >> 16 & 0xffff), static_cast<int>(word & 0xffff)};
}

// The packed words order as the versions do: the major part is the highest.
bool isOperatingSystemAtLeast(OperatingSystemVersion version) {
    return current.load(std::memory_order_relaxed) >= packed(version);
}

void setOperatingSystemVersion(OperatingSystemVersion version) { current.store(packed(version), std::memory_order_relaxed); }

}  // namespace foundation
