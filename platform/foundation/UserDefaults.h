#pragma once
// Settings store shared between processes: one property-list file per suite under
// <state>/AppGroups/<suite>.plist. Every read loads the file fresh, so a write of the
// other process is seen at once; every write replaces the file atomically under a
// lock, so two writers never lose each other's keys.

#include "foundation/PropertyList.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// The state folder: $BRIMVALE_STATE_DIR, else $XDG_STATE_HOME/brimvale, else
// $HOME/.local/state/brimvale.
std::filesystem::path stateDirectory();

class UserDefaults {
public:
    explicit UserDefaults(std::string suiteName);

    static std::filesystem::path suitePath(std::string_view suiteName);

    std::optional<Value> object(std::string_view key) const;
    // Text values, and numbers as text; absent for anything else.
    std::optional<std::string> string(std::string_view key) const;
    // Booleans, non-zero numbers and the texts "YES", "true" and "1" count as true.
    bool boolean(std::string_view key) const;
    std::optional<Dictionary> dictionary(std::string_view key) const;
    Dictionary dictionaryRepresentation() const;

    // Return false when the file could not be written.
    bool set(std::string_view key, Value value);
    bool remove(std::string_view key);

    const std::string& suiteName() const { return suiteName_; }
    const std::filesystem::path& path() const { return path_; }

private:
    template <class Change>
    bool update(Change change);

    std::string suiteName_;
    std::filesystem::path path_;
};

}  // namespace foundation
