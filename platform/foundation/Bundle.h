#pragma once
// Bundles: a folder that holds an executable and its Info.plist. The main bundle is
// the folder of the running executable.

#include "foundation/PropertyList.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace foundation {

class Bundle {
public:
    static const Bundle& main();
    // Absent when `path` is no folder.
    static std::optional<Bundle> open(const std::filesystem::path& path);

    const std::filesystem::path& path() const { return path_; }
    // The Info.plist entries; empty when the file is missing or unreadable.
    const Dictionary& infoDictionary() const { return info_; }
    std::optional<Value> objectForInfoDictionaryKey(std::string_view key) const;

private:
    explicit Bundle(std::filesystem::path path);

    std::filesystem::path path_;
    Dictionary info_;
};

}  // namespace foundation
