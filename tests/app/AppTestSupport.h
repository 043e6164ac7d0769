#pragma once

#include <filesystem>

namespace testing_support {

// The test process's state folder (BRIMVALE_STATE_DIR) and a way to empty it.
std::filesystem::path stateFolder();
void clearStateFolder();

// Makes a folder read-only for this process, as a refusing system would; false
// when private mounts are not available here.
bool makeReadOnly(const std::filesystem::path& folder);
void undoReadOnly(const std::filesystem::path& folder);

}  // namespace testing_support
