#pragma once
// The version text shared with the extension.

#include <string>

namespace app {

// Long form "2.4 (311c) [beta]", short form "2.4 (311c)".
std::string versionText(bool longForm);

}  // namespace app
