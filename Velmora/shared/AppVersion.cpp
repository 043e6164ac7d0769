#include "Velmora/shared/AppVersion.h"

foundation::Bundle containingAppBundle() { return containingAppBundle(foundation::Bundle::main()); }

foundation::Bundle containingAppBundle(const foundation::Bundle& mainBundle) {
    auto path = mainBundle.path();
    if (path.filename().empty()) path = path.parent_path();  // a trailing separator
    if (path.extension() != ".appex") return mainBundle;
    // .../Brimvale.app/PlugIns/Velmora.appex -> .../Brimvale.app
    if (auto app = foundation::Bundle::open(path.parent_path().parent_path())) return *app;
    return mainBundle;
}

std::string appVersionString(bool longForm) { return appVersionString(longForm, containingAppBundle()); }

std::string appVersionString(bool longForm, const foundation::Bundle& bundle) {
    auto text = [&](const char* key) {
        auto value = bundle.objectForInfoDictionaryKey(key);
        const std::string* found = value ? value->string() : nullptr;
        return found ? *found : std::string();
    };
    const std::string build = text("CFBundleVersion");
    const auto bracket = build.find('[');
    const std::string head = build.substr(0, bracket);
    const std::string detail = bracket == std::string::npos ? std::string() : build.substr(bracket);
    const char flavour = text("CFBundleIdentifier").find("client") != std::string::npos ? 'c' : 'e';
    std::string result = text("CFBundleShortVersionString") + " (" + head + flavour;
    return longForm ? result + ") " + detail : result + ")";
}
