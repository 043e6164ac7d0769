#include "AppVersion.h"

#include "foundation/Bundle.h"

namespace app {

std::string versionText(bool longForm) {
    const auto& bundle = foundation::Bundle::main();
    auto text = [&](const char* key) {
        auto value = bundle.objectForInfoDictionaryKey(key);
        const std::string* s = value ? value->string() : nullptr;
        return s ? *s : std::string();
    };
    std::string build = text("CFBundleVersion");
    auto bracket = build.find('[');
    std::string head = build.substr(0, bracket);
    std::string detail = bracket == std::string::npos ? "" : build.substr(bracket);
    char flavour = text("CFBundleIdentifier").find("client") != std::string::npos ? 'c' : 'e';
    std::string result = text("CFBundleShortVersionString") + " (" + head + flavour + ")";
    return longForm ? result + " " + detail : result;
}

}  // namespace app
