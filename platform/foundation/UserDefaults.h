#pragma once
// Settings store shared between processes: one property-list file per suite under
// <state>/AppGroups/<suite>.plist. Every read loads the file fresh, so a write of the
// other process is seen at once; every write replaces the file atomically under a
// lock, so two writers never lose each other's keys. A file that cannot be read, or
// holds no property-list dictionary, is never written over.

#include "foundation/PropertyList.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

// Why a store could not be used: its file could not be read; was read but holds no
// property-list dictionary within the reader's limits; or could not be written.
struct StoreError {
    enum class Kind { unreadable, corrupt, unwritable };
    Kind kind = Kind::unreadable;
    std::string message;  // names the file and the reason
};

// Text values, and numbers as text; absent for anything else.
std::optional<std::string> textValue(const Value& value);

// The state folder: $BRIMVALE_STATE_DIR, else $XDG_STATE_HOME/brimvale, else
// $HOME/.local/state/brimvale.
std::filesystem::path stateDirectory();

class UserDefaults {
public:
    explicit UserDefaults(std::string suiteName);

    static std::filesystem::path suitePath(std::string_view suiteName);

    // Every value of the store; a missing file is an empty store. Absent, with the
    // reason in `error`, when the file cannot be read or is corrupt.
    std::optional<Dictionary> load(StoreError* error = nullptr) const;

    // These read an unusable store as an empty one.
    std::optional<Value> object(std::string_view key) const;
    // Text values, and numbers as text (textValue); absent for anything else.
    std::optional<std::string> string(std::string_view key) const;
    // Booleans, non-zero numbers and the texts "YES", "true" and "1" count as true.
    bool boolean(std::string_view key) const;
    std::optional<Dictionary> dictionary(std::string_view key) const;
    Dictionary dictionaryRepresentation() const;

    // Sets `values` and removes `removedKeys` in one read and one write. False, with
    // the file left as it was, when it could not be read or written.
    bool update(const Dictionary& values, const std::vector<std::string>& removedKeys = {},
                StoreError* error = nullptr);
    bool set(std::string_view key, Value value);
    bool remove(std::string_view key);

    // Renames the store file, found corrupt, to a free name beside it
    // (<file>.corrupt-<local time>), so that the store starts empty and the file is
    // kept. The new path; absent, with the reason in `error`, when it cannot be moved.
    std::optional<std::filesystem::path> moveCorruptFileAside(StoreError* error = nullptr);

    const std::string& suiteName() const { return suiteName_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::string suiteName_;
    std::filesystem::path path_;
};

}  // namespace foundation
