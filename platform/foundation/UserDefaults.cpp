#include "foundation/UserDefaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace foundation {

std::filesystem::path stateDirectory() {
    if (const char* state = std::getenv("BRIMVALE_STATE_DIR"); state && *state) return state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg)
        return std::filesystem::path(xdg) / "brimvale";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / ".local/state/brimvale";
}

UserDefaults::UserDefaults(std::string suiteName)
    : suiteName_(std::move(suiteName)), path_(suitePath(suiteName_)) {}

std::filesystem::path UserDefaults::suitePath(std::string_view suiteName) {
    return stateDirectory() / "AppGroups" / (std::string(suiteName) + ".plist");
}

Dictionary UserDefaults::dictionaryRepresentation() const {
    auto root = readPropertyList(path_);
    if (root && root->dictionary()) return *root->dictionary();
    return {};
}

std::optional<Value> UserDefaults::object(std::string_view key) const {
    Dictionary all = dictionaryRepresentation();
    auto found = all.find(key);
    if (found == all.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> UserDefaults::string(std::string_view key) const {
    auto value = object(key);
    if (!value) return std::nullopt;
    if (const auto* text = std::get_if<std::string>(&*value)) return *text;
    if (const auto* number = std::get_if<std::int64_t>(&*value)) return std::to_string(*number);
    if (const auto* real = std::get_if<double>(&*value)) return describe(*real);
    return std::nullopt;
}

bool UserDefaults::boolean(std::string_view key) const {
    auto value = object(key);
    if (!value) return false;
    if (const auto* flag = std::get_if<bool>(&*value)) return *flag;
    if (const auto* number = std::get_if<std::int64_t>(&*value)) return *number != 0;
    if (const auto* real = std::get_if<double>(&*value)) return *real != 0;
    if (const auto* text = std::get_if<std::string>(&*value))
        return *text == "YES" || *text == "true" || *text == "1";
    return false;
}

std::optional<Dictionary> UserDefaults::dictionary(std::string_view key) const {
    auto value = object(key);
    if (!value || !value->dictionary()) return std::nullopt;
    return *value->dictionary();
}

template <class Change>
bool UserDefaults::update(Change change) {
    std::error_code error;
    std::filesystem::create_directories(path_.parent_path(), error);
    // The lock file serialises read-modify-write cycles of all processes.
    const std::string lockPath = path_.string() + ".lock";
    int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0) return false;
    ::flock(lock, LOCK_EX);
    Dictionary all = dictionaryRepresentation();
    change(all);
    bool written = writePropertyListAtomically(path_, Value(std::move(all)));
    ::flock(lock, LOCK_UN);
    ::close(lock);
    return written;
}

bool UserDefaults::set(std::string_view key, Value value) {
    return update([&](Dictionary& all) { all.insert_or_assign(std::string(key), std::move(value)); });
}

bool UserDefaults::remove(std::string_view key) {
    return update([&](Dictionary& all) {
        if (auto found = all.find(key); found != all.end()) all.erase(found);
    });
}

}  // namespace foundation
