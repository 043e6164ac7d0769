// Every test of the host app runs against a state folder of its own, with the app's
// fonts registered and, where the kernel allows it, a private mount namespace in
// which a test can make the system's folder read-only.

#include "AppTestSupport.h"

#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace {

bool privateMounts = false;

bool writeFile(const char* path, const char* text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out.flush());
}

// Runs before any thread exists, as unshare requires.
void enterPrivateMountNamespace() {
    if (unshare(CLONE_NEWNS) != 0) {
        uid_t uid = geteuid();
        gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return;
        writeFile("/proc/self/setgroups", "deny");
        writeFile("/proc/self/uid_map", ("0 " + std::to_string(uid) + " 1").c_str());
        writeFile("/proc/self/gid_map", ("0 " + std::to_string(gid) + " 1").c_str());
    }
    privateMounts = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

}  // namespace

namespace testing_support {

bool makeReadOnly(const std::filesystem::path& folder) {
    if (!privateMounts) return false;
    return mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

void undoReadOnly(const std::filesystem::path& folder) { umount2(folder.c_str(), MNT_DETACH); }

std::filesystem::path stateFolder() { return std::getenv("BRIMVALE_STATE_DIR"); }

void clearStateFolder() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(stateFolder(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

}  // namespace testing_support

int main(int argc, char** argv) {
    enterPrivateMountNamespace();
    char folder[] = "/tmp/brimvale-app-tests-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("BRIMVALE_STATE_DIR", folder, 1);
    ui::Font::registerFonts(BRIMVALE_APP_FONTS);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return result;
}
