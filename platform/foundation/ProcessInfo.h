#pragma once
// The version of the platform this process runs as. Features that depend on it
// ask isOperatingSystemAtLeast; tests may pretend to run on an older version.

namespace foundation {

struct OperatingSystemVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;
};

OperatingSystemVersion operatingSystemVersion();
bool isOperatingSystemAtLeast(OperatingSystemVersion version);
void setOperatingSystemVersion(OperatingSystemVersion version);

}  // namespace foundation
