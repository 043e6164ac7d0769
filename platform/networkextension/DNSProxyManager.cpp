#include "networkextension/DNSProxyManager.h"

#include "dispatch/Dispatch.h"
#include "foundation/PropertyList.h"
#include "foundation/UserDefaults.h"

#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>
#include <sys/inotify.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

namespace ne {
namespace {

namespace fs = std::filesystem;
using foundation::Dictionary;
using foundation::Value;

// A refused write means this process may not change the system's configuration.
ManagerError errorFromErrno(int err, const std::string& what) {
    bool refused = err == EACCES || err == EPERM || err == EROFS;
    return {configurationErrorDomain, refused ? errorCodePermissionDenied : errorCodeReadWriteFailed,
            what + ": " + std::strerror(err)};
}

void fail(ManagerError* out, ManagerError error) {
    if (out) *out = std::move(error);
}

std::string textItem(const Dictionary& dict, std::string_view key) {
    auto it = dict.find(key);
    const std::string* text = it == dict.end() ? nullptr : it->second.string();
    return text ? *text : std::string();
}

}  // namespace

std::string ManagerError::debugDescription() const {
    return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + reason + "\"";
}

fs::path dnsProxyPreferencesPath() { return foundation::stateDirectory() / "System" / "DNSProxy.plist"; }

std::optional<DNSProxyPreferences> readDNSProxyPreferences(const fs::path& file, ManagerError* error) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return DNSProxyPreferences{};
    foundation::ReadError readError;
    auto root = foundation::readPropertyList(file, &readError);
    const Dictionary* dict = root ? root->dictionary() : nullptr;
    if (!dict) {
        std::string reason = root ? file.string() + ": not a dictionary" : readError.message;
        fail(error, {configurationErrorDomain, errorCodeReadWriteFailed, "unreadable preferences " + reason});
        return std::nullopt;
    }
    DNSProxyPreferences prefs;
    prefs.localizedDescription = textItem(*dict, "localizedDescription");
    prefs.providerBundleIdentifier = textItem(*dict, "providerBundleIdentifier");
    if (auto it = dict->find("enabled"); it != dict->end())
        if (const bool* enabled = std::get_if<bool>(&it->second)) prefs.enabled = *enabled;
    if (auto it = dict->find("providerConfiguration"); it != dict->end())
        if (const Dictionary* config = it->second.dictionary()) prefs.providerConfiguration = foundation::textEntries(*config);
    return prefs;
}

bool writeDNSProxyPreferences(const fs::path& file, const DNSProxyPreferences& prefs, ManagerError* error) {
    Dictionary root{{"localizedDescription", prefs.localizedDescription}, {"enabled", prefs.enabled}};
    if (!prefs.providerBundleIdentifier.empty()) root["providerBundleIdentifier"] = prefs.providerBundleIdentifier;
    if (prefs.providerConfiguration) {
        Dictionary config;
        for (const auto& [key, value] : *prefs.providerConfiguration) config[key] = value;
        root["providerConfiguration"] = std::move(config);
    }
    errno = 0;
    if (foundation::writePropertyListAtomically(file, Value(std::move(root)))) return true;
    fail(error, errorFromErrno(errno ? errno : EIO, "cannot write " + file.string()));
    return false;
}

struct PreferencesWatch::State : std::enable_shared_from_this<State> {
    State(fs::path file, Changed changed, Refused refused)
        : file(std::move(file)),
          changed(std::move(changed)),
          refused(std::move(refused)),
          events(dispatch::DispatchQueue::main().context()),
          retry(dispatch::DispatchQueue::main().context()) {}

    // Returns whether the folder is watched; it may be missing.
    bool addFolderWatch(int fd) {
        folderWatch = inotify_add_watch(fd, file.parent_path().c_str(),
                                        IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_MOVE_SELF);
        return folderWatch >= 0;
    }
    void readEvents() {
        auto read = [self = shared_from_this()](std::error_code error, std::size_t size) {
            if (error || !self->events.is_open()) return;  // closed by the destructor
            self->check();
            if (self->folderWatchEnded(size)) self->watchFolderAgain();
            self->readEvents();
        };
        events.async_read_some(asio::buffer(buffer), std::move(read));
    }
    // True when the folder went away (removed or moved) and its watch with it.
    bool folderWatchEnded(std::size_t size) {
        bool ended = false;
        for (std::size_t at = 0; at + sizeof(inotify_event) <= size;) {
            inotify_event event;
            std::memcpy(&event, buffer.data() + at, sizeof event);
            at += sizeof event + event.len;
            if (event.wd != folderWatch || !(event.mask & (IN_IGNORED | IN_MOVE_SELF))) continue;
            // A moved folder keeps its watch, which would follow it elsewhere.
            if (event.mask & IN_MOVE_SELF) inotify_rm_watch(events.native_handle(), folderWatch);
            folderWatch = -1;
            ended = true;
        }
        return ended;
    }
    // Tries again on a timer while the folder is missing; a save may have come before the watch.
    void watchFolderAgain() {
        if (addFolderWatch(events.native_handle())) {
            check();
            return;
        }
        retry.expires_after(std::chrono::milliseconds(200));
        retry.async_wait([self = shared_from_this()](std::error_code error) {
            if (!error && self->events.is_open()) self->watchFolderAgain();
        });
    }
    // Events only say that something in the folder moved; the content decides.
    void check() {
        ManagerError error;
        auto now = readDNSProxyPreferences(file, &error);
        if (!now && refused) refused(error);
        if (!changed || !now || *now == last) return;  // an unreadable file waits for the next event
        last = *now;
        changed(last);
    }

    fs::path file;
    Changed changed;
    Refused refused;
    DNSProxyPreferences last;
    asio::posix::stream_descriptor events;
    asio::steady_timer retry;
    int folderWatch = -1;
    alignas(inotify_event) std::array<char, 4096> buffer{};
};

PreferencesWatch::PreferencesWatch(fs::path file, Changed changed, Refused refused) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    state_ = std::make_shared<State>(file, std::move(changed), std::move(refused));
    // Watched before the first read, so that a change right after it is not missed.
    const bool watched = fd >= 0 && state_->addFolderWatch(fd);
    state_->last = readDNSProxyPreferences(file).value_or(DNSProxyPreferences{});
    if (fd < 0) return;
    state_->events.assign(fd);
    dispatch::DispatchQueue::main().async([state = state_, watched] {
        if (!watched) state->watchFolderAgain();
        state->readEvents();
    });
}

PreferencesWatch::~PreferencesWatch() {
    // Closing on the main queue keeps the descriptor's and the timer's handlers on one thread.
    dispatch::DispatchQueue::main().async([state = state_] {
        state->changed = nullptr;
        state->refused = nullptr;
        std::error_code ec;
        state->events.close(ec);
        state->retry.cancel();
    });
}

std::shared_ptr<DNSProxyManager> DNSProxyManager::sharedManager() {
    static const auto manager = std::make_shared<DNSProxyManager>();
    return manager;
}

void DNSProxyManager::loadFromPreferences(Completion completion) {
    ManagerError error;
    auto prefs = readDNSProxyPreferences(dnsProxyPreferencesPath(), &error);
    if (prefs) {
        localizedDescription = prefs->localizedDescription;
        enabled = prefs->enabled;
        providerProtocol.reset();
        if (!prefs->providerBundleIdentifier.empty() || prefs->providerConfiguration) {
            providerProtocol = std::make_shared<DNSProxyProviderProtocol>();
            providerProtocol->providerBundleIdentifier = prefs->providerBundleIdentifier;
            providerProtocol->providerConfiguration = prefs->providerConfiguration;
        }
    }
    std::optional<ManagerError> outcome;
    if (!prefs) outcome = error;
    dispatch::DispatchQueue::main().async([completion = std::move(completion), outcome] {
        if (completion) completion(outcome);
    });
}

void DNSProxyManager::saveToPreferences(Completion completion) {
    DNSProxyPreferences prefs{localizedDescription, enabled, {}, {}};
    if (providerProtocol) {
        prefs.providerBundleIdentifier = providerProtocol->providerBundleIdentifier;
        prefs.providerConfiguration = providerProtocol->providerConfiguration;
    }
    ManagerError error;
    std::optional<ManagerError> outcome;
    if (!writeDNSProxyPreferences(dnsProxyPreferencesPath(), prefs, &error)) outcome = error;
    dispatch::DispatchQueue::main().async([completion = std::move(completion), outcome] {
        if (completion) completion(outcome);
    });
}

}  // namespace ne
