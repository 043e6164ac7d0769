#include "foundation/UserDefaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

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

namespace {

bool fail(StoreError* out, StoreError::Kind kind, std::string message) {
    if (out) *out = {kind, std::move(message)};
    return false;
}

// Holds the lock file that serialises the read-modify-write cycles of all processes.
class WriterLock {
public:
    explicit WriterLock(const std::filesystem::path& store) : path_(store.string() + ".lock") {
        std::error_code error;
        std::filesystem::create_directories(store.parent_path(), error);
        descriptor_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor_ < 0) error_ = errno;
        else ::flock(descriptor_, LOCK_EX);
    }
    ~WriterLock() {
        if (descriptor_ < 0) return;
        ::flock(descriptor_, LOCK_UN);
        ::close(descriptor_);
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    bool held(StoreError* error) const {
        return descriptor_ >= 0 || fail(error, StoreError::Kind::unwritable, path_ + ": " + std::strerror(error_));
    }

private:
    std::string path_;
    int descriptor_ = -1;
    int error_ = 0;
};

std::string localTimeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return stamp;
}

}  // namespace

std::optional<std::string> textValue(const Value& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
    if (const auto* real = std::get_if<double>(&value)) return describe(*real);
    return std::nullopt;
}

std::optional<Dictionary> UserDefaults::load(StoreError* error) const {
    ReadError readError;
    auto root = readPropertyList(path_, &readError);
    if (!root) {
        if (readError.kind == ReadError::Kind::missing) return Dictionary{};
        fail(error, readError.kind == ReadError::Kind::unreadable ? StoreError::Kind::unreadable : StoreError::Kind::corrupt,
             readError.message);
        return std::nullopt;
    }
    auto* all = std::get_if<Dictionary>(&*root);
    if (!all) {
        fail(error, StoreError::Kind::corrupt, path_.string() + ": not a property-list dictionary");
        return std::nullopt;
    }
    return std::move(*all);
}

Dictionary UserDefaults::dictionaryRepresentation() const { return load().value_or(Dictionary{}); }

std::optional<Value> UserDefaults::object(std::string_view key) const {
    Dictionary all = dictionaryRepresentation();
    auto found = all.find(key);
    if (found == all.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> UserDefaults::string(std::string_view key) const {
    auto value = object(key);
    return value ? textValue(*value) : std::nullopt;
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

bool UserDefaults::update(const Dictionary& values, const std::vector<std::string>& removedKeys, StoreError* error) {
    WriterLock lock(path_);
    if (!lock.held(error)) return false;
    // What could not be read is never replaced by what little was meant to change.
    auto all = load(error);
    if (!all) return false;
    for (const auto& [key, value] : values) all->insert_or_assign(key, value);
    for (const auto& key : removedKeys) all->erase(key);
    errno = 0;
    if (!writePropertyListAtomically(path_, Value(std::move(*all))))
        return fail(error, StoreError::Kind::unwritable, path_.string() + ": " + std::strerror(errno ? errno : EIO));
    return true;
}

bool UserDefaults::set(std::string_view key, Value value) {
    return update(Dictionary{{std::string(key), std::move(value)}});
}

bool UserDefaults::remove(std::string_view key) { return update({}, {std::string(key)}); }

std::optional<std::filesystem::path> UserDefaults::moveCorruptFileAside(StoreError* error) {
    WriterLock lock(path_);
    if (!lock.held(error)) return std::nullopt;
    auto aside = path_;
    aside += ".corrupt-" + localTimeStamp();
    const auto first = aside;
    for (int n = 2; std::filesystem::exists(aside); ++n) aside = first.string() + "-" + std::to_string(n);
    if (::rename(path_.c_str(), aside.c_str()) != 0) {
        fail(error, StoreError::Kind::unwritable, "cannot move " + path_.string() + " aside: " + std::strerror(errno));
        return std::nullopt;
    }
    return aside;
}

}  // namespace foundation
