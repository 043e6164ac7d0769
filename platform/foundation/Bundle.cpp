#include "foundation/Bundle.h"

namespace foundation {

Bundle::Bundle(std::filesystem::path path) : path_(std::move(path)) {
    auto root = readPropertyList(path_ / "Info.plist");
    if (root && root->dictionary()) info_ = *root->dictionary();
}

const Bundle& Bundle::main() {
    static const Bundle bundle = [] {
        std::error_code error;
        auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
        return Bundle(error ? std::filesystem::current_path() : executable.parent_path());
    }();
    return bundle;
}

std::optional<Bundle> Bundle::open(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) return std::nullopt;
    return Bundle(path);
}

std::optional<Value> Bundle::objectForInfoDictionaryKey(std::string_view key) const {
    auto found = info_.find(key);
    if (found == info_.end()) return std::nullopt;
    return found->second;
}

}  // namespace foundation
